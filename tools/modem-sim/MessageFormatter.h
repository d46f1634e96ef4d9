#pragma once

#include "ModemSettings.h"
#include "SimStorage.h"

#include <QByteArray>
#include <QDateTime>

#include <utility>

namespace modemsim {

// How a message shows to the terminal: the +CMGL, +CMGR and +CMT headers and the text in text mode, the
// service-centre part and TPDU in hex in PDU mode. What it shows follows the settings of the moment.
class MessageFormatter
{
public:
    explicit MessageFormatter(const ModemSettings& settings);

    // The text in the character set of the terminal, or in hex for 8-bit and UCS2 messages.
    QByteArray messageData(const StoredMessage& message) const;
    QByteArray timestampText(const QDateTime& timestamp) const;
    QByteArray listHeader(int index, const StoredMessage& message) const;
    QByteArray readHeader(const StoredMessage& message) const;
    // What +CSDH=1 adds to a header.
    QByteArray headerDetails(const StoredMessage& message) const;
    // The service-centre part and the TPDU in hex, and the TPDU's length in octets.
    std::pair<QByteArray, int> pduOf(const StoredMessage& message) const;
    QByteArray pduListEntry(int index, const StoredMessage& message) const;

private:
    int messageLength(const StoredMessage& message) const;
    QByteArray encodeString(const QString& text) const;

    const ModemSettings& m_settings;
};

} // namespace modemsim
