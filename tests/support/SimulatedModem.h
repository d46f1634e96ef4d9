#pragma once

#include "AtLink.h"
#include "ModemSimulator.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

namespace testing_support {

// The modem simulator on a real pseudo-terminal, and a link opened on it through QSerialPort.
struct SimulatedModem : ::testing::Test
{
    modemsim::ModemSimulator sim;
    modem::AtLink link;

    void SetUp() override
    {
        QString error;
        ASSERT_TRUE(sim.start(&error)) << error.toStdString();
        openLink();
    }

    void openLink()
    {
        modem::LineSettings line;
        ASSERT_TRUE(link.ConfigurePort(sim.portName(), line, QSerialPort::NoFlowControl));
        ASSERT_TRUE(link.OpenPort()) << link.lastOpenFailureText().toStdString();
    }

    // Commands as the modem saw them, optionally only those starting with a prefix.
    QStringList commands(const QString& prefix = {}) const
    {
        QStringList result;
        for (const QString& command : sim.receivedCommands()) {
            if (command.startsWith(prefix))
                result << command;
        }
        return result;
    }
};

} // namespace testing_support
