#include "SimStorage.h"

#include "CharacterSet.h"

#include <algorithm>

namespace modemsim {

namespace {

const QStringList& statusesByNumber()
{
    static const QStringList statuses = {kRecUnread, kRecRead, kStoUnsent, kStoSent};
    return statuses;
}

} // namespace

void SimStorage::setCapacity(int count)
{
    m_capacity = std::max(0, count);
    m_messages.erase(m_messages.upper_bound(m_capacity), m_messages.end());
}

int SimStorage::store(const StoredMessage& message)
{
    for (int index = 1; index <= m_capacity; ++index) {
        if (!m_messages.contains(index)) {
            m_messages[index] = message;
            return index;
        }
    }
    return -1;
}

int SimStorage::addMessage(const QString& status, const QString& sender, const QString& text,
                           const QDateTime& timestamp)
{
    const QString name = statusName(status.toLatin1());
    if (name.isEmpty())
        return -1;
    const QDateTime when = timestamp.isValid() ? timestamp : QDateTime::currentDateTime();
    return store(StoredMessage{name,
                               sender,
                               Pdu::addressTypeOf(sender),
                               text,
                               when,
                               CharacterSet::fitsGsmAlphabet(text) ? Pdu::Gsm7 : Pdu::Ucs2,
                               {}});
}

QList<int> SimStorage::addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                              bool sixteenBitReference, const QList<int>& onlyParts,
                                              const QDateTime& timestamp)
{
    const int headerOctets = static_cast<int>(Pdu::concatenationHeader(reference, sixteenBitReference, 1, 1).size());
    const QStringList parts = Pdu::split(text, headerOctets);
    if (parts.size() > 255)
        return {};
    const auto total = static_cast<int>(parts.size());
    const QDateTime when = timestamp.isValid() ? timestamp : QDateTime::currentDateTime();
    // All parts share the alphabet the whole text needs.
    const Pdu::Alphabet alphabet = CharacterSet::fitsGsmAlphabet(text) ? Pdu::Gsm7 : Pdu::Ucs2;
    QList<int> indexes;
    for (int sequence = 1; sequence <= total; ++sequence) {
        if (!onlyParts.isEmpty() && !onlyParts.contains(sequence))
            continue;
        indexes.append(
            store(StoredMessage{kRecUnread, sender, Pdu::addressTypeOf(sender), parts[sequence - 1], when, alphabet,
                                Pdu::concatenationHeader(reference, sixteenBitReference, total, sequence)}));
    }
    return indexes;
}

QList<SimMessage> SimStorage::simMessages() const
{
    QList<SimMessage> messages;
    for (const auto& [index, message] : m_messages)
        messages.append(SimMessage{index, message.status, message.number, message.text, message.timestamp});
    return messages;
}

QString SimStorage::statusName(const QByteArray& given)
{
    const QString upper = QString::fromLatin1(given).toUpper();
    for (const QString& status : statusesByNumber()) {
        if (upper == status)
            return status;
    }
    return {};
}

int SimStorage::statusNumber(const QString& status)
{
    return static_cast<int>(statusesByNumber().indexOf(status));
}

QString SimStorage::statusOfNumber(int number)
{
    return statusesByNumber().value(number);
}

} // namespace modemsim
