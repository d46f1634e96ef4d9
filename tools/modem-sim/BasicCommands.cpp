#include "BasicCommands.h"

namespace modemsim {

BasicCommands::BasicCommands(ModemSettings& settings, QByteArrayList& info) : CommandFamily(settings, info) {}

void BasicCommands::addTo(CommandTable& table)
{
    add(table, {"E"}, &BasicCommands::echoCommand);
    add(table, {"V"}, &BasicCommands::verboseCommand);
    add(table, {"Q"}, &BasicCommands::quietCommand);
    add(table, {"Z", "&F"}, &BasicCommands::resetCommand);
    // Settings of a data line that an SMS terminal sends out of habit; nothing here depends on them.
    add(table, {"&C", "&D", "&K", "&W", "X", "L", "M"}, &BasicCommands::acceptedCommand);
    add(table, {"+FLO"}, &BasicCommands::flowControlCommand);
    add(table, {"+IFC"}, &BasicCommands::localFlowControlCommand);
    add(table, {"+IPR"}, &BasicCommands::bitRateCommand);
    add(table, {"+CSCS"}, &BasicCommands::characterSetCommand);
    add(table, {"+CMEE"}, &BasicCommands::errorReportCommand);
}

bool BasicCommands::isRegister(const QByteArray& name)
{
    return name.size() > 1 && name[0] == 'S' && name[1] >= '0' && name[1] <= '9';
}

Outcome BasicCommands::registerCommand(const Command& command)
{
    if (command.form == Command::Read) {
        const int index = command.name.mid(1).toInt();
        const int value = index == 3 ? 13 : index == 4 ? 10 : index == 5 ? 8 : 0;
        m_info.append(number(value).rightJustified(3, '0'));
    }
    return ok();
}

void BasicCommands::setEchoAtPowerUp(bool on)
{
    m_echoAtPowerUp = on;
    m_settings.echo = on;
}

Outcome BasicCommands::echoCommand(const Command& command)
{
    return switchCommand(command, m_settings.echo);
}

Outcome BasicCommands::verboseCommand(const Command& command)
{
    return switchCommand(command, m_settings.verbose);
}

Outcome BasicCommands::quietCommand(const Command& command)
{
    return switchCommand(command, m_settings.quiet);
}

Outcome BasicCommands::resetCommand(const Command& command)
{
    if (command.form != Command::Action)
        return error();
    m_settings = ModemSettings{};
    m_settings.echo = m_echoAtPowerUp;
    return ok();
}

Outcome BasicCommands::acceptedCommand(const Command&)
{
    return ok();
}

Outcome BasicCommands::flowControlCommand(const Command& command)
{
    return numberSetting(command, m_settings.flowControl, 2, 2);
}

Outcome BasicCommands::localFlowControlCommand(const Command& command)
{
    // What is left out goes back to hardware flow control, not to what was set before.
    return numberListSetting(command, m_settings.localFlowControl, {2, 2}, {2, 2});
}

Outcome BasicCommands::bitRateCommand(const Command& command)
{
    // Any rate is taken; the pseudo-terminal does not care.
    const auto set = [&] { return CommandLine::integers(command.arguments) ? ok() : error(); };
    return extendedCommand(command, set, "+IPR: 115200", "+IPR: (),(1200,2400,4800,9600,19200,38400,57600,115200)");
}

Outcome BasicCommands::characterSetCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->size() > 1)
            return error();
        if (arguments->isEmpty() || arguments->front().isEmpty()) {
            m_settings.characterSet = CharacterSet::Gsm;
            return ok();
        }
        const auto kind = CharacterSet::fromName(QString::fromLatin1(arguments->front().value));
        if (!kind)
            return error();
        m_settings.characterSet = *kind;
        return ok();
    };
    QByteArrayList names;
    for (const QString& name : CharacterSet::names())
        names.append(quoted(name.toLatin1()));
    return extendedCommand(command, set, "+CSCS: " + quoted(CharacterSet::name(m_settings.characterSet).toLatin1()),
                           "+CSCS: (" + names.join(',') + ")");
}

Outcome BasicCommands::errorReportCommand(const Command& command)
{
    return numberSetting(command, m_settings.errorReports, 2);
}

} // namespace modemsim
