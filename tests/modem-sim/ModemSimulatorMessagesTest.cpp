// SMS in text mode through the port: listing and reading the SIM, writing, sending, deleting,
// a full SIM and new-message indications.

#include "ModemFixture.h"

#include <QTimeZone>

using ModemSimMessages = ModemFixture;

namespace {

// 09:26:53 at UTC+1, which the modem writes as four quarter hours.
const QDateTime kReceived(QDate(2026, 3, 14), QTime(9, 26, 53), QTimeZone(3600));

QStringList statuses(const QList<modemsim::SimMessage>& messages)
{
    QStringList result;
    for (const auto& message : messages)
        result.append(QStringLiteral("%1 %2").arg(message.index).arg(message.status));
    return result;
}

} // namespace

TEST_F(ModemSimMessages, ListingSelectsByStatusAndListingUnreadMakesThemRead)
{
    ASSERT_EQ(m_modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+4917011111111"),
                                 QStringLiteral("Termin um 10"), kReceived),
              1);
    ASSERT_EQ(m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+4917022222222"),
                                 QStringLiteral("Schon gelesen"), kReceived),
              2);
    ASSERT_EQ(
        m_modem.addMessage(QStringLiteral("STO UNSENT"), QStringLiteral("+4917033333333"), QStringLiteral("Entwurf")),
        3);
    ASSERT_EQ(
        m_modem.addMessage(QStringLiteral("sto sent"), QStringLiteral("+4917044444444"), QStringLiteral("Erledigt")),
        4);
    ASSERT_EQ(m_modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+4917055555555"),
                                 QStringLiteral("Ära €"), kReceived),
              5);
    useQuietTextMode();

    // In the GSM character set Ä is 0x5B, and € is the escape 0x1B followed by 0x65.
    EXPECT_EQ(ask("AT+CMGL=\"REC UNREAD\""),
              "\r\n+CMGL: 1,\"REC UNREAD\",\"+4917011111111\",,\"26/03/14,09:26:53+04\"\r\nTermin um 10\r\n"
              "+CMGL: 5,\"REC UNREAD\",\"+4917055555555\",,\"26/03/14,09:26:53+04\"\r\n\x5B"
              "ra \x1B\x65\r\n"
              "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=\"REC UNREAD\""), "\r\nOK\r\n");
    EXPECT_EQ(statuses(m_modem.simMessages()),
              QStringList({"1 REC READ", "2 REC READ", "3 STO UNSENT", "4 STO SENT", "5 REC READ"}));

    EXPECT_EQ(ask("AT+CMGL=\"STO UNSENT\""),
              "\r\n+CMGL: 3,\"STO UNSENT\",\"+4917033333333\",,\r\nEntwurf\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CSDH=1;+CMGL=\"STO SENT\""),
              "\r\n+CMGL: 4,\"STO SENT\",\"+4917044444444\",,,145,8\r\nErledigt\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=\"REC READ\""),
              "\r\n+CMGL: 1,\"REC READ\",\"+4917011111111\",,\"26/03/14,09:26:53+04\",145,12\r\nTermin um 10\r\n"
              "+CMGL: 2,\"REC READ\",\"+4917022222222\",,\"26/03/14,09:26:53+04\",145,13\r\nSchon gelesen\r\n"
              "+CMGL: 5,\"REC READ\",\"+4917055555555\",,\"26/03/14,09:26:53+04\",145,6\r\n\x5B"
              "ra \x1B\x65\r\n"
              "\r\nOK\r\n");
    const std::string all = ask("AT+CMGL=\"ALL\"");
    for (const char* index : {"+CMGL: 1,", "+CMGL: 2,", "+CMGL: 3,", "+CMGL: 4,", "+CMGL: 5,"})
        EXPECT_NE(all.find(index), std::string::npos) << index;
    EXPECT_EQ(ask("AT+CMGL=\"NEW\""), "\r\nERROR\r\n");
}

TEST_F(ModemSimMessages, TextOutsideTheGsmAlphabetIsListedAsUcs2Hex)
{
    m_modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+4917011111111"), QStringLiteral("Привет"),
                       kReceived);
    useQuietTextMode();
    EXPECT_EQ(ask("AT+CSDH=1;+CMGL=\"ALL\""),
              "\r\n+CMGL: 1,\"REC UNREAD\",\"+4917011111111\",,\"26/03/14,09:26:53+04\",145,12\r\n"
              "041F04400438043204350442\r\n\r\nOK\r\n");
}

TEST_F(ModemSimMessages, ReadingOneMessageMarksItRead)
{
    m_modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+4917011111111"), QStringLiteral("Hallo"),
                       kReceived);
    useQuietTextMode();
    EXPECT_EQ(ask("AT+CMGR=1"), "\r\n+CMGR: \"REC UNREAD\",\"+4917011111111\",,\"26/03/14,09:26:53+04\"\r\nHallo\r\n"
                                "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGR=1"), "\r\n+CMGR: \"REC READ\",\"+4917011111111\",,\"26/03/14,09:26:53+04\"\r\nHallo\r\n"
                                "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGR=2"), "\r\n+CMS ERROR: 321\r\n");
}

TEST_F(ModemSimMessages, WritingStoresUnsentWithOrWithoutWaitingForThePrompt)
{
    useQuietTextMode();
    EXPECT_EQ(ask("AT+CMGW=\"+4915112345678\""), "\r\n> ");
    m_client->send("Termin morgen\x1A");
    EXPECT_EQ(answer(), "\r\n+CMGW: 1\r\n\r\nOK\r\n");

    // Command line and text in one write, as some clients do.
    m_client->send("AT+CMGW=\"+4915187654321\"\rZweiter Entwurf\x1A");
    EXPECT_EQ(answer(), "\r\n> ");
    EXPECT_EQ(answer(), "\r\n+CMGW: 2\r\n\r\nOK\r\n");

    // ESC gives the message up.
    EXPECT_EQ(ask("AT+CMGW=\"+4915100000000\""), "\r\n> ");
    m_client->send("doch nicht\x1B");
    EXPECT_EQ(answer(), "\r\nOK\r\n");

    const auto messages = m_modem.simMessages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[0].status, QStringLiteral("STO UNSENT"));
    EXPECT_EQ(messages[0].sender, QStringLiteral("+4915112345678"));
    EXPECT_EQ(messages[0].text, QStringLiteral("Termin morgen"));
    EXPECT_EQ(messages[1].text, QStringLiteral("Zweiter Entwurf"));
}

TEST_F(ModemSimMessages, EchoCoversTheMessageTextToo)
{
    ASSERT_EQ(ask("AT+CMGF=1"), "AT+CMGF=1\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGS=\"+4915112345678\""), "AT+CMGS=\"+4915112345678\"\r\r\n> ");
    m_client->send("Hallo\x1A");
    EXPECT_EQ(answer(), "Hallo\r\n+CMGS: 1\r\n\r\nOK\r\n");
}

TEST_F(ModemSimMessages, SendingGivesCountingReferencesAndRecordsTheMessages)
{
    useQuietTextMode();
    EXPECT_EQ(ask("AT+CMGS=\"+4915112345678\""), "\r\n> ");
    m_client->send("Erste Nachricht\x1A");
    EXPECT_EQ(answer(), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGS=\"015112345678\",129"), "\r\n> ");
    m_client->send("Zweite\x1A");
    EXPECT_EQ(answer(), "\r\n+CMGS: 2\r\n\r\nOK\r\n");

    const auto sent = m_modem.sentMessages();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].number, QStringLiteral("+4915112345678"));
    EXPECT_EQ(sent[0].text, QStringLiteral("Erste Nachricht"));
    EXPECT_EQ(sent[0].reference, 1);
    EXPECT_FALSE(sent[0].fromStorage);
    EXPECT_EQ(sent[1].number, QStringLiteral("015112345678"));
    EXPECT_EQ(sent[1].reference, 2);

    // More than one message holds is refused.
    EXPECT_EQ(ask("AT+CMGS=\"+4915112345678\""), "\r\n> ");
    m_client->send(QByteArray(161, 'x') + '\x1A');
    EXPECT_EQ(answer(), "\r\n+CMS ERROR: 305\r\n");
    EXPECT_EQ(m_modem.sentMessages().size(), 2);
}

TEST_F(ModemSimMessages, Ucs2CharacterSetCarriesNumbersAndTextAsHex)
{
    useQuietTextMode();
    ASSERT_EQ(ask("AT+CSCS=\"UCS2\""), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGS=\"002B0034003900310035003100310032\""), "\r\n> ");
    m_client->send("041F04400438043204350442\x1A");
    EXPECT_EQ(answer(), "\r\n+CMGS: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(m_modem.sentMessages().size(), 1);
    EXPECT_EQ(m_modem.sentMessages()[0].number, QStringLiteral("+4915112"));
    EXPECT_EQ(m_modem.sentMessages()[0].text, QStringLiteral("Привет"));

    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+49"), QStringLiteral("Hi"), kReceived);
    EXPECT_EQ(ask("AT+CMGR=1"), "\r\n+CMGR: \"REC READ\",\"002B00340039\",,\"26/03/14,09:26:53+04\"\r\n00480069\r\n"
                                "\r\nOK\r\n");
}

TEST_F(ModemSimMessages, SendingFromStorageMarksTheMessageSent)
{
    useQuietTextMode();
    ASSERT_EQ(
        m_modem.addMessage(QStringLiteral("STO UNSENT"), QStringLiteral("+4915112345678"), QStringLiteral("Vom SIM")),
        1);
    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+4917011111111"), QStringLiteral("Eingang"));
    EXPECT_EQ(ask("AT+CMSS=1"), "\r\n+CMSS: 1\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMSS=1,\"+4915199999999\""), "\r\n+CMSS: 2\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMSS=7"), "\r\n+CMS ERROR: 321\r\n");

    EXPECT_EQ(statuses(m_modem.simMessages()), QStringList({"1 STO SENT", "2 REC READ"}));
    const auto sent = m_modem.sentMessages();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].number, QStringLiteral("+4915112345678"));
    EXPECT_EQ(sent[0].text, QStringLiteral("Vom SIM"));
    EXPECT_TRUE(sent[0].fromStorage);
    EXPECT_EQ(sent[1].number, QStringLiteral("+4915199999999"));
}

TEST_F(ModemSimMessages, DeletingOneOrByStatusFlag)
{
    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+491"), QStringLiteral("a"));
    m_modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+492"), QStringLiteral("b"));
    m_modem.addMessage(QStringLiteral("STO SENT"), QStringLiteral("+493"), QStringLiteral("c"));
    m_modem.addMessage(QStringLiteral("STO UNSENT"), QStringLiteral("+494"), QStringLiteral("d"));
    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+495"), QStringLiteral("e"));
    useQuietTextMode();

    EXPECT_EQ(ask("AT+CMGD=5"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGD=5"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGD=31"), "\r\n+CMS ERROR: 321\r\n");
    EXPECT_EQ(statuses(m_modem.simMessages()),
              QStringList({"1 REC READ", "2 REC UNREAD", "3 STO SENT", "4 STO UNSENT"}));

    EXPECT_EQ(ask("AT+CMGD=1,2"), "\r\nOK\r\n");
    EXPECT_EQ(statuses(m_modem.simMessages()), QStringList({"2 REC UNREAD", "4 STO UNSENT"}));
    // A freed slot is the next one used.
    EXPECT_EQ(m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+496"), QStringLiteral("f")), 1);

    EXPECT_EQ(ask("AT+CMGD=1,4"), "\r\nOK\r\n");
    EXPECT_TRUE(m_modem.simMessages().isEmpty());
}

TEST_F(ModemSimMessages, FullSimRefusesNewMessages)
{
    m_modem.setSimCapacity(2);
    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+491"), QStringLiteral("a"));
    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+492"), QStringLiteral("b"));
    useQuietTextMode();
    ASSERT_EQ(ask("AT+CNMI=2,1"), "\r\nOK\r\n");

    EXPECT_EQ(m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+493"), QStringLiteral("c")), -1);
    EXPECT_EQ(m_modem.injectIncomingSms(QStringLiteral("+494"), QStringLiteral("d")), -1);
    EXPECT_EQ(ask("AT+CMGW=\"+495\""), "\r\n> ");
    m_client->send("e\x1A");
    // Nothing announced the refused incoming message before this answer.
    EXPECT_EQ(answer(), "\r\n+CMS ERROR: 322\r\n");
    EXPECT_EQ(ask("AT+CPMS?"), "\r\n+CPMS: \"SM\",2,2,\"SM\",2,2,\"SM\",2,2\r\n\r\nOK\r\n");
}

TEST_F(ModemSimMessages, IncomingMessageIsAnnouncedOnlyWhenCnmiAskedForIt)
{
    useQuietTextMode();
    EXPECT_EQ(m_modem.injectIncomingSms(QStringLiteral("+4917011111111"), QStringLiteral("still")), 1);
    m_client->send("AT\r");
    EXPECT_EQ(answer(), "\r\nOK\r\n");

    ASSERT_EQ(ask("AT+CNMI=2,1,0,0,0"), "\r\nOK\r\n");
    EXPECT_EQ(m_modem.injectIncomingSms(QStringLiteral("+4917011111111"), QStringLiteral("gemeldet")), 2);
    EXPECT_EQ(text(m_client->readUntil("+CMTI: \"SM\",2\r\n")), "\r\n+CMTI: \"SM\",2\r\n");
    EXPECT_EQ(statuses(m_modem.simMessages()), QStringList({"1 REC UNREAD", "2 REC UNREAD"}));

    // Routed straight to the terminal, the message is not stored.
    ASSERT_EQ(ask("AT+CNMI=2,2"), "\r\nOK\r\n");
    EXPECT_EQ(m_modem.injectIncomingSms(QStringLiteral("+4917011111111"), QStringLiteral("direkt")), 0);
    const std::string direct = text(m_client->readUntil("\r\ndirekt\r\n"));
    EXPECT_EQ(direct.rfind("\r\n+CMT: \"+4917011111111\",,\"", 0), 0u) << direct;
    EXPECT_EQ(m_modem.simMessages().size(), 2);
}
