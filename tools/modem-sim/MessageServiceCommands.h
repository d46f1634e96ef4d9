#pragma once

#include "CommandFamily.h"
#include "SimStorage.h"

namespace modemsim {

// How the SMS service is set up (27.005 §3.2 and §3.3, and +CNMI): text or PDU mode, the headers shown, the message
// service, the storage, the service centre, the parameters of messages sent and how new messages are announced.
class MessageServiceCommands final : public CommandFamily
{
public:
    MessageServiceCommands(ModemSettings& settings, QByteArrayList& info, const SimStorage& sim);

    void addTo(CommandTable& table);

private:
    Outcome messageFormatCommand(const Command& command);
    Outcome showHeadersCommand(const Command& command);
    Outcome messageServiceCommand(const Command& command);
    Outcome storageCommand(const Command& command);
    Outcome serviceCentreCommand(const Command& command);
    Outcome submitParametersCommand(const Command& command);
    Outcome newMessageIndicationCommand(const Command& command);

    const SimStorage& m_sim;
};

} // namespace modemsim
