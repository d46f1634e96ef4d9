#include "IdentityCommands.h"

namespace modemsim {

IdentityCommands::IdentityCommands(ModemSettings& settings, QByteArrayList& info) : CommandFamily(settings, info) {}

void IdentityCommands::addTo(CommandTable& table)
{
    add(table, {"I"}, &IdentityCommands::identificationCommand);
    add(table, {"+CGMI", "+GMI"}, &IdentityCommands::manufacturerCommand);
    add(table, {"+CGMM", "+GMM"}, &IdentityCommands::modelCommand);
    add(table, {"+CGMR", "+GMR"}, &IdentityCommands::revisionCommand);
    add(table, {"+CGSN", "+GSN"}, &IdentityCommands::serialNumberCommand);
    add(table, {"+CIMI"}, &IdentityCommands::subscriberCommand);
    add(table, {"+GCAP"}, &IdentityCommands::capabilitiesCommand);
}

void IdentityCommands::setIdentity(const QString& manufacturer, const QString& model, const QString& revision,
                                   const QString& imei)
{
    m_manufacturer = manufacturer;
    m_model = model;
    m_revision = revision;
    m_imei = imei;
}

Outcome IdentityCommands::identityCommand(const Command& command, const QByteArray& answer)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Action)
        return error();
    m_info.append(answer);
    return ok();
}

Outcome IdentityCommands::identificationCommand(const Command& command)
{
    if (command.form != Command::Action)
        return error();
    m_info.append(m_manufacturer.toLatin1() + "\r\n" + m_model.toLatin1() + "\r\nRevision: " + m_revision.toLatin1());
    return ok();
}

Outcome IdentityCommands::manufacturerCommand(const Command& command)
{
    return identityCommand(command, m_manufacturer.toLatin1());
}

Outcome IdentityCommands::modelCommand(const Command& command)
{
    return identityCommand(command, m_model.toLatin1());
}

Outcome IdentityCommands::revisionCommand(const Command& command)
{
    return identityCommand(command, m_revision.toLatin1());
}

Outcome IdentityCommands::serialNumberCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form == Command::Read)
        return error();
    m_info.append(m_imei.toLatin1());
    return ok();
}

Outcome IdentityCommands::subscriberCommand(const Command& command)
{
    return identityCommand(command, m_imsi.toLatin1());
}

Outcome IdentityCommands::capabilitiesCommand(const Command& command)
{
    return identityCommand(command, "+GCAP: +CGSM");
}

} // namespace modemsim
