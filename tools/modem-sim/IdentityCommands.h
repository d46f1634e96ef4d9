#pragma once

#include "CommandFamily.h"

#include <QString>

namespace modemsim {

// Who the modem says it is: ATI, the manufacturer, model, revision and serial number (in their 27.007 "+CG"
// and V.250 "+G" spellings), the subscriber on the SIM and the capabilities.
class IdentityCommands final : public CommandFamily
{
public:
    IdentityCommands(ModemSettings& settings, QByteArrayList& info);

    void addTo(CommandTable& table);
    void setIdentity(const QString& manufacturer, const QString& model, const QString& revision, const QString& imei);

private:
    // A command that does no more than name something.
    Outcome identityCommand(const Command& command, const QByteArray& answer);

    Outcome identificationCommand(const Command& command);
    Outcome manufacturerCommand(const Command& command);
    Outcome modelCommand(const Command& command);
    Outcome revisionCommand(const Command& command);
    Outcome serialNumberCommand(const Command& command);
    Outcome subscriberCommand(const Command& command);
    Outcome capabilitiesCommand(const Command& command);

    QString m_manufacturer = QStringLiteral("Tarvo");
    QString m_model = QStringLiteral("TG-100");
    QString m_revision = QStringLiteral("1.0.0");
    QString m_imei = QStringLiteral("356938035643809");
    QString m_imsi = QStringLiteral("262991234567890");
};

} // namespace modemsim
