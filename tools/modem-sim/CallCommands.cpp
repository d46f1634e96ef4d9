#include "CallCommands.h"

namespace modemsim {

CallCommands::CallCommands(ModemSettings& settings, QByteArrayList& info) : CommandFamily(settings, info) {}

void CallCommands::addTo(CommandTable& table)
{
    add(table, {"A"}, &CallCommands::answerCommand);
    add(table, {"H", "+CHUP"}, &CallCommands::hangUpCommand);
    add(table, {"D"}, &CallCommands::dialCommand);
    add(table, {"+CLIP"}, &CallCommands::callerIdCommand);
    add(table, {"+CLCC"}, &CallCommands::listCallsCommand);
}

QByteArray CallCommands::ring(const QString& caller, int type)
{
    if (!m_call)
        m_call = Call{caller, type, 4};
    QByteArray said = m_settings.verbose ? unsolicited("RING") : QByteArray("2\r");
    if (m_settings.callerId)
        said.append(unsolicited("+CLIP: " + quoted(encodeString(caller)) + "," + number(type) + ",,,,0"));
    return said;
}

QByteArray CallCommands::hangUp()
{
    m_call.reset();
    return m_settings.verbose ? unsolicited("NO CARRIER") : QByteArray("3\r");
}

Outcome CallCommands::answerCommand(const Command&)
{
    if (!m_call)
        return {Outcome::NoCarrier, 0};
    m_call->state = 0;
    return ok();
}

Outcome CallCommands::hangUpCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    m_call.reset();
    return ok();
}

Outcome CallCommands::dialCommand(const Command&)
{
    // No calls go out from this modem.
    return {Outcome::NoCarrier, 0};
}

Outcome CallCommands::callerIdCommand(const Command& command)
{
    // The second number says the network provisions the service.
    return numberSetting(command, m_settings.callerId, 1, 0, ",1");
}

Outcome CallCommands::listCallsCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Action)
        return error();
    if (m_call)
        m_info.append("+CLCC: 1,1," + number(m_call->state) + ",0,0," + quoted(encodeString(m_call->number)) + "," +
                      number(m_call->type));
    return ok();
}

} // namespace modemsim
