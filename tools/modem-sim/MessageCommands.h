#pragma once

#include "CommandFamily.h"
#include "MessageFormatter.h"
#include "ModemSimulator.h"
#include "SimStorage.h"

#include <QList>

namespace modemsim {

// Short messages in text and PDU mode (27.005): the service settings, messages coming in and read from the SIM,
// and messages sent or written to it.
class MessageCommands final : public CommandFamily
{
public:
    MessageCommands(ModemSettings& settings, QByteArrayList& info, SimStorage& sim);

    void addTo(CommandTable& table);

    struct Arrival
    {
        int index = 0;           // the slot it was stored in; 0 when it was shown at once, -1 when the SIM is full
        QByteArray announcement; // what the modem says about it unprompted
    };
    Arrival receive(const QString& sender, const QString& text);

    // The text after the prompt, up to its Ctrl-Z: sent or stored as the command that asked for it wanted.
    Outcome takeBody(const QByteArray& body);
    // The text was given up (ESC) or a scripted fault stands in for it.
    void dropBody();

    QList<SentMessage> sentMessages() const { return m_sent; }

private:
    // What the text after a "> " prompt is for.
    struct PendingMessage
    {
        bool send = true;
        QString number;
        int numberType = 129;
        QString status;
        bool pdu = false;
        int length = 0; // in PDU mode: the TPDU octets the command line announced
    };

    Outcome messageFormatCommand(const Command& command);
    Outcome showHeadersCommand(const Command& command);
    Outcome messageServiceCommand(const Command& command);
    Outcome storageCommand(const Command& command);
    Outcome serviceCentreCommand(const Command& command);
    Outcome submitParametersCommand(const Command& command);
    Outcome newMessageIndicationCommand(const Command& command);
    Outcome listMessagesCommand(const Command& command);
    Outcome readMessageCommand(const Command& command);
    Outcome deleteMessageCommand(const Command& command);
    Outcome writeMessageCommand(const Command& command);
    Outcome sendStoredCommand(const Command& command);
    Outcome sendMessageCommand(const Command& command);

    Outcome takeTextBody(const PendingMessage& pending, const QByteArray& body);
    Outcome takePduBody(const PendingMessage& pending, const QByteArray& body);
    Outcome takeMessage(const PendingMessage& pending, const StoredMessage& message);
    int takeReference();

    SimStorage& m_sim;
    MessageFormatter m_formatter;
    PendingMessage m_pending;
    int m_nextReference = 1;
    QList<SentMessage> m_sent;
};

} // namespace modemsim
