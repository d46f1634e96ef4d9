#include "NetworkCommands.h"

namespace modemsim {

NetworkCommands::NetworkCommands(ModemSettings& settings, QByteArrayList& info) : CommandFamily(settings, info) {}

void NetworkCommands::addTo(CommandTable& table)
{
    add(table, {"+CFUN"}, &NetworkCommands::functionalityCommand);
    add(table, {"+CPIN"}, &NetworkCommands::pinCommand);
    add(table, {"+CSQ"}, &NetworkCommands::signalQualityCommand);
    add(table, {"+CREG"}, &NetworkCommands::registrationCommand);
    add(table, {"+COPS"}, &NetworkCommands::operatorCommand);
}

Outcome NetworkCommands::functionalityCommand(const Command& command)
{
    const auto set = [&] {
        const auto values = CommandLine::integers(command.arguments);
        if (!values || values->isEmpty() || values->size() > 2 || !values->front())
            return error();
        const int level = *values->front();
        if (level != 0 && level != 1 && level != 4)
            return error();
        m_settings.functionality = level;
        return ok();
    };
    return extendedCommand(command, set, "+CFUN: " + number(m_settings.functionality), "+CFUN: (0,1,4),(0,1)");
}

Outcome NetworkCommands::pinCommand(const Command& command)
{
    // Nothing waits for a PIN.
    const auto set = [] { return cme(3); };
    return extendedCommand(command, set, "+CPIN: READY");
}

Outcome NetworkCommands::signalQualityCommand(const Command& command)
{
    if (command.form == Command::Test) {
        m_info.append("+CSQ: (0-31,99),(0-7,99)");
        return ok();
    }
    if (command.form != Command::Action)
        return error();
    m_info.append("+CSQ: 20,99");
    return ok();
}

Outcome NetworkCommands::registrationCommand(const Command& command)
{
    // Always registered at home; the most talkative level names the cell as well.
    const QByteArray status = m_settings.registrationReports == 2 ? ",1,\"1A2B\",\"00C3D4E5\"" : ",1";
    return numberSetting(command, m_settings.registrationReports, 2, 0, status);
}

Outcome NetworkCommands::operatorCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 4)
            return error();
        bool valid = false;
        const int mode = arguments->front().value.toInt(&valid);
        if (!valid || mode < 0 || mode > 4)
            return error();
        if (arguments->size() > 1 && !arguments->at(1).isEmpty()) {
            const int format = arguments->at(1).value.toInt(&valid);
            if (!valid || format < 0 || format > 2)
                return error();
            m_settings.operatorFormat = format;
        }
        return ok();
    };
    const QString name = m_settings.operatorFormat == 2   ? m_operatorCode
                         : m_settings.operatorFormat == 1 ? QStringLiteral("Tarvo")
                                                          : m_operatorName;
    return extendedCommand(command, set,
                           "+COPS: 0," + number(m_settings.operatorFormat) + "," + quoted(encodeString(name)),
                           "+COPS: (2," + quoted(encodeString(m_operatorName)) + ",\"Tarvo\"," +
                               quoted(m_operatorCode.toLatin1()) + "),,(0-4),(0-2)");
}

} // namespace modemsim
