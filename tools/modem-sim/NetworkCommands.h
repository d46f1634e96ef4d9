#pragma once

#include "CommandFamily.h"

#include <QString>

namespace modemsim {

// The radio side, which never fails here: the modem is switched on, needs no PIN, hears the network well and is
// registered at home with one operator.
class NetworkCommands final : public CommandFamily
{
public:
    NetworkCommands(ModemSettings& settings, QByteArrayList& info);

    void addTo(CommandTable& table);

private:
    Outcome functionalityCommand(const Command& command);
    Outcome pinCommand(const Command& command);
    Outcome signalQualityCommand(const Command& command);
    Outcome registrationCommand(const Command& command);
    Outcome operatorCommand(const Command& command);

    QString m_operatorName = QStringLiteral("Tarvo Mobile");
    QString m_operatorCode = QStringLiteral("26299");
};

} // namespace modemsim
