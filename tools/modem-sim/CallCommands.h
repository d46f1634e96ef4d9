#pragma once

#include "CommandFamily.h"

#include <QString>

#include <optional>

namespace modemsim {

// Voice calls, which only ever come in: RING with the caller (+CLIP), the call list (+CLCC), answering and
// hanging up. Dialling out always fails.
class CallCommands final : public CommandFamily
{
public:
    CallCommands(ModemSettings& settings, QByteArrayList& info);

    void addTo(CommandTable& table);

    // What the modem says unprompted when a call comes in or the caller gives up.
    QByteArray ring(const QString& caller, int type);
    QByteArray hangUp();

private:
    struct Call
    {
        QString number;
        int type = 145;
        int state = 4; // +CLCC <stat>: 4 incoming, 0 active
    };

    Outcome answerCommand(const Command& command);
    Outcome hangUpCommand(const Command& command);
    Outcome dialCommand(const Command& command);
    Outcome callerIdCommand(const Command& command);
    Outcome listCallsCommand(const Command& command);

    std::optional<Call> m_call;
};

} // namespace modemsim
