#include "ModemFixture.h"

void ModemFixture::SetUp()
{
    QString error;
    ASSERT_TRUE(m_modem.start(&error)) << error.toStdString();
    m_client = std::make_unique<PortClient>(m_modem.portName());
    ASSERT_TRUE(m_client->isOpen()) << m_modem.portName().toStdString();
}

std::string ModemFixture::ask(const QByteArray& line)
{
    return text(m_client->ask(line));
}

std::string ModemFixture::answer()
{
    return text(m_client->readAnswer());
}

void ModemFixture::useQuietTextMode()
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    ASSERT_EQ(ask("AT+CMGF=1;+CMEE=1"), "\r\nOK\r\n");
}

void ModemFixture::useQuietPduMode()
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    ASSERT_EQ(ask("AT+CMGF=0;+CMEE=1"), "\r\nOK\r\n");
}

std::string text(const QByteArray& bytes)
{
    return bytes.toStdString();
}
