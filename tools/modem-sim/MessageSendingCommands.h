#pragma once

#include "CommandFamily.h"
#include "ModemSimulator.h"
#include "SimStorage.h"

#include <QList>

namespace modemsim {

// Messages that go out or are written to the SIM (27.005 §3.5): +CMGS and +CMGW, which prompt for the text, and
// +CMSS, which sends a stored one. The text after the prompt is taken in text or PDU mode, as the command line
// was given.
class MessageSendingCommands final : public CommandFamily
{
public:
    MessageSendingCommands(ModemSettings& settings, QByteArrayList& info, SimStorage& sim);

    void addTo(CommandTable& table);

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

    Outcome writeMessageCommand(const Command& command);
    Outcome sendStoredCommand(const Command& command);
    Outcome sendMessageCommand(const Command& command);

    Outcome takeTextBody(const PendingMessage& pending, const QByteArray& body);
    Outcome takePduBody(const PendingMessage& pending, const QByteArray& body);
    Outcome takeMessage(const PendingMessage& pending, const StoredMessage& message);
    int takeReference();

    SimStorage& m_sim;
    PendingMessage m_pending;
    int m_nextReference = 1;
    QList<SentMessage> m_sent;
};

} // namespace modemsim
