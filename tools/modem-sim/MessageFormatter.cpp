#include "MessageFormatter.h"

#include "CharacterSet.h"
#include "Pdu.h"

#include <cstdlib>

namespace modemsim {

namespace {

QByteArray number(int value)
{
    return QByteArray::number(value);
}

QByteArray quoted(const QByteArray& text)
{
    return '"' + text + '"';
}

} // namespace

MessageFormatter::MessageFormatter(const ModemSettings& settings) : m_settings(settings) {}

QByteArray MessageFormatter::encodeString(const QString& text) const
{
    return CharacterSet::encode(text, m_settings.characterSet);
}

QByteArray MessageFormatter::messageData(const StoredMessage& message) const
{
    // Text outside the default alphabet reaches a text-mode terminal as hex, whatever +CSCS says.
    switch (message.alphabet) {
    case Pdu::Gsm7:
        break;
    case Pdu::EightBit:
        return CharacterSet::toOctetHex(message.text.toLatin1());
    case Pdu::Ucs2:
        return CharacterSet::toUcs2Hex(message.text);
    }
    return encodeString(message.text);
}

int MessageFormatter::messageLength(const StoredMessage& message) const
{
    switch (message.alphabet) {
    case Pdu::Gsm7:
        break;
    case Pdu::EightBit:
        return static_cast<int>(message.text.size());
    case Pdu::Ucs2:
        return static_cast<int>(message.text.size()) * 2;
    }
    return CharacterSet::septetCount(message.text);
}

QByteArray MessageFormatter::timestampText(const QDateTime& timestamp) const
{
    // The zone is counted in quarter hours.
    const int quarters = timestamp.offsetFromUtc() / 900;
    return timestamp.toString(QStringLiteral("yy/MM/dd,hh:mm:ss")).toLatin1() + (quarters < 0 ? '-' : '+') +
           number(std::abs(quarters)).rightJustified(2, '0');
}

QByteArray MessageFormatter::listHeader(int index, const StoredMessage& message) const
{
    QByteArray header = "+CMGL: " + number(index) + "," + quoted(message.status.toLatin1()) + "," +
                        quoted(encodeString(message.number)) + ",,";
    if (message.isIncoming())
        header.append(quoted(timestampText(message.timestamp)));
    if (m_settings.showHeaders)
        header.append("," + number(message.numberType) + "," + number(messageLength(message)));
    return header;
}

QByteArray MessageFormatter::readHeader(const StoredMessage& message) const
{
    QByteArray header =
        "+CMGR: " + quoted(message.status.toLatin1()) + "," + quoted(encodeString(message.number)) + ",";
    if (message.isIncoming())
        header.append("," + quoted(timestampText(message.timestamp)));
    if (m_settings.showHeaders)
        header.append(headerDetails(message));
    return header;
}

QByteArray MessageFormatter::headerDetails(const StoredMessage& message) const
{
    // A received message shows how it was delivered; a stored one shows how it would be submitted, validity
    // period included.
    const bool incoming = message.isIncoming();
    return "," + number(message.numberType) + (incoming ? ",4,0," : ",17,0,") +
           number(Pdu::dataCoding(message.alphabet)) + (incoming ? "," : ",167,") +
           quoted(encodeString(m_settings.serviceCentre)) + "," + number(m_settings.serviceCentreType) + "," +
           number(messageLength(message));
}

std::pair<QByteArray, int> MessageFormatter::pduOf(const StoredMessage& message) const
{
    Pdu::Message tpdu;
    tpdu.submit = !message.isIncoming();
    tpdu.address = message.number;
    tpdu.addressType = message.numberType;
    tpdu.alphabet = message.alphabet;
    tpdu.timestamp = message.timestamp;
    tpdu.header = message.header;
    tpdu.text = message.text;
    if (tpdu.submit) {
        tpdu.validity = m_settings.submitParameters[1];
        tpdu.protocolId = m_settings.submitParameters[2];
    }
    const QByteArray encoded = Pdu::encode(tpdu);
    const QByteArray centre = Pdu::serviceCentre(m_settings.serviceCentre, m_settings.serviceCentreType);
    return {CharacterSet::toOctetHex(centre + encoded), static_cast<int>(encoded.size())};
}

QByteArray MessageFormatter::pduListEntry(int index, const StoredMessage& message) const
{
    const auto [hex, length] = pduOf(message);
    return "+CMGL: " + number(index) + "," + number(SimStorage::statusNumber(message.status)) + ",," + number(length) +
           "\r\n" + hex;
}

} // namespace modemsim
