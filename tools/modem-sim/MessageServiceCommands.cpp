#include "MessageServiceCommands.h"

namespace modemsim {

namespace {

// 27.005 error numbers
constexpr int kOperationNotAllowed = 302;

} // namespace

MessageServiceCommands::MessageServiceCommands(ModemSettings& settings, QByteArrayList& info, const SimStorage& sim)
    : CommandFamily(settings, info), m_sim(sim)
{}

void MessageServiceCommands::addTo(CommandTable& table)
{
    add(table, {"+CMGF"}, &MessageServiceCommands::messageFormatCommand);
    add(table, {"+CSDH"}, &MessageServiceCommands::showHeadersCommand);
    add(table, {"+CSMS"}, &MessageServiceCommands::messageServiceCommand);
    add(table, {"+CPMS"}, &MessageServiceCommands::storageCommand);
    add(table, {"+CSCA"}, &MessageServiceCommands::serviceCentreCommand);
    add(table, {"+CSMP"}, &MessageServiceCommands::submitParametersCommand);
    add(table, {"+CNMI"}, &MessageServiceCommands::newMessageIndicationCommand);
}

Outcome MessageServiceCommands::messageFormatCommand(const Command& command)
{
    return numberSetting(command, m_settings.textMode, 1);
}

Outcome MessageServiceCommands::showHeadersCommand(const Command& command)
{
    return numberSetting(command, m_settings.showHeaders, 1);
}

Outcome MessageServiceCommands::messageServiceCommand(const Command& command)
{
    const Outcome outcome = numberSetting(command, m_settings.messageService, 1, 0, ",1,1,1");
    // Either service supports receiving, sending and broadcast messages alike.
    if (command.form == Command::Set && outcome.kind == Outcome::Ok)
        m_info.append("+CSMS: 1,1,1");
    return outcome;
}

Outcome MessageServiceCommands::storageCommand(const Command& command)
{
    const QByteArray used = number(static_cast<int>(m_sim.messages().size()));
    const QByteArray total = number(m_sim.capacity());
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 3)
            return error();
        // The SIM is the only storage this modem has.
        for (const Argument& argument : *arguments) {
            if (!argument.isEmpty() && argument.value.toUpper() != "SM")
                return cms(kOperationNotAllowed);
        }
        m_info.append("+CPMS: " + used + "," + total + "," + used + "," + total + "," + used + "," + total);
        return ok();
    };
    const QByteArray one = "\"SM\"," + used + "," + total;
    return extendedCommand(command, set, "+CPMS: " + one + "," + one + "," + one, "+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
}

Outcome MessageServiceCommands::serviceCentreCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 2 || arguments->front().isEmpty())
            return error();
        const auto centre = decodeString(arguments->front());
        if (!centre)
            return error();
        const auto type = numberTypeAt(*arguments, 1, *centre);
        if (!type)
            return error();
        m_settings.serviceCentre = *centre;
        m_settings.serviceCentreType = *type;
        return ok();
    };
    return extendedCommand(command, set,
                           "+CSCA: " + quoted(encodeString(m_settings.serviceCentre)) + "," +
                               number(m_settings.serviceCentreType));
}

Outcome MessageServiceCommands::submitParametersCommand(const Command& command)
{
    auto& parameters = m_settings.submitParameters;
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->size() > 4)
            return error();
        auto updated = parameters;
        for (qsizetype i = 0; i < arguments->size(); ++i) {
            const Argument& argument = arguments->at(i);
            // A validity period may also be given as an absolute time string; only the relative
            // form is kept.
            if (argument.isEmpty() || (i == 1 && argument.quoted))
                continue;
            bool valid = false;
            const int value = argument.value.toInt(&valid);
            if (!valid || argument.quoted || value < 0 || value > 255)
                return error();
            updated[static_cast<std::size_t>(i)] = value;
        }
        parameters = updated;
        return ok();
    };
    QByteArrayList shown;
    for (const int value : parameters)
        shown.append(number(value));
    return extendedCommand(command, set, "+CSMP: " + shown.join(','));
}

Outcome MessageServiceCommands::newMessageIndicationCommand(const Command& command)
{
    // What is left out keeps its value.
    return numberListSetting(command, m_settings.newMessageIndication, m_settings.newMessageIndication,
                             {3, 3, 3, 2, 1});
}

} // namespace modemsim
