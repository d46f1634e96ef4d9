#pragma once

#include "CommandFamily.h"
#include "MessageFormatter.h"
#include "SimStorage.h"

namespace modemsim {

// Messages that come in and the SIM they land on: the +CMTI or +CMT announcement +CNMI asks for, listing
// (+CMGL), reading (+CMGR) and deleting (+CMGD), in text and PDU mode.
class MessageReadingCommands final : public CommandFamily
{
public:
    MessageReadingCommands(ModemSettings& settings, QByteArrayList& info, SimStorage& sim);

    void addTo(CommandTable& table);

    struct Arrival
    {
        int index = 0;           // the slot it was stored in; 0 when it was shown at once, -1 when the SIM is full
        QByteArray announcement; // what the modem says about it unprompted
    };
    Arrival receive(const QString& sender, const QString& text);

private:
    Outcome listMessagesCommand(const Command& command);
    Outcome readMessageCommand(const Command& command);
    Outcome deleteMessageCommand(const Command& command);

    SimStorage& m_sim;
    MessageFormatter m_formatter;
};

} // namespace modemsim
