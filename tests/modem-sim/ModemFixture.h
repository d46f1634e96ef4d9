#pragma once

#include "ModemSimulator.h"
#include "PortClient.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

// A started simulator and a client on its port. Answers come back as std::string so a failed
// comparison shows the CR and LF bytes.
class ModemFixture : public ::testing::Test
{
protected:
    void SetUp() override;

    std::string ask(const QByteArray& line);
    std::string answer();
    // Echo off, text mode, numbered errors: the setting most message tests talk in.
    void useQuietTextMode();
    // Echo off, PDU mode (the power-up default), numbered errors.
    void useQuietPduMode();

    modemsim::ModemSimulator m_modem;
    std::unique_ptr<PortClient> m_client;
};

std::string text(const QByteArray& bytes);
