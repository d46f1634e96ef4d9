#pragma once

#include "CommandFamily.h"

namespace modemsim {

// The commands that set up the line itself (V.250): echo, result codes, reset, S registers, flow control,
// the bit rate, the character set of strings and how errors are reported.
class BasicCommands final : public CommandFamily
{
public:
    BasicCommands(ModemSettings& settings, QByteArrayList& info);

    void addTo(CommandTable& table);
    // S registers are numbered ("S0", "S7"), so they are answered here by name rather than looked up.
    static bool isRegister(const QByteArray& name);
    Outcome registerCommand(const Command& command);

    // Whether the modem echoes after power-up and after ATZ.
    void setEchoAtPowerUp(bool on);

private:
    Outcome echoCommand(const Command& command);
    Outcome verboseCommand(const Command& command);
    Outcome quietCommand(const Command& command);
    Outcome resetCommand(const Command& command);
    Outcome acceptedCommand(const Command& command);
    Outcome flowControlCommand(const Command& command);
    Outcome localFlowControlCommand(const Command& command);
    Outcome bitRateCommand(const Command& command);
    Outcome characterSetCommand(const Command& command);
    Outcome errorReportCommand(const Command& command);

    bool m_echoAtPowerUp = true;
};

} // namespace modemsim
