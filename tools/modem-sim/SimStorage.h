#pragma once

#include "ModemSimulator.h"
#include "Pdu.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <map>

namespace modemsim {

// A message's status as 27.005 words it in text mode; PDU mode numbers the four from 0 in this order.
inline const QString kRecUnread = QStringLiteral("REC UNREAD");
inline const QString kRecRead = QStringLiteral("REC READ");
inline const QString kStoUnsent = QStringLiteral("STO UNSENT");
inline const QString kStoSent = QStringLiteral("STO SENT");

struct StoredMessage
{
    QString status;
    QString number; // the originator of a received message, the recipient of a stored one
    int numberType = 129;
    QString text;
    QDateTime timestamp;
    Pdu::Alphabet alphabet = Pdu::Gsm7;
    QByteArray header; // the user data header with its length octet, as a part of a longer message has

    bool isIncoming() const { return status.startsWith(u"REC"); }
};

// The messages on the SIM, in slots numbered from 1 up to its capacity; the only storage this modem has.
class SimStorage
{
public:
    int capacity() const { return m_capacity; }
    // Slots beyond the new capacity are lost with their messages.
    void setCapacity(int count);
    std::map<int, StoredMessage>& messages() { return m_messages; }
    const std::map<int, StoredMessage>& messages() const { return m_messages; }
    // Into the lowest free slot; its index, or -1 when the SIM is full.
    int store(const StoredMessage& message);

    // A received or stored message as the tests put it on the SIM: -1 for an unknown status or a full SIM.
    int addMessage(const QString& status, const QString& sender, const QString& text, const QDateTime& timestamp);
    // The parts of a longer message, or only those of `onlyParts`; -1 for a part that found no free slot.
    QList<int> addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                      bool sixteenBitReference, const QList<int>& onlyParts,
                                      const QDateTime& timestamp);
    QList<SimMessage> simMessages() const;

    // The status a text-mode argument names, in any case; empty when it names none.
    static QString statusName(const QByteArray& given);
    // The PDU-mode number of a status, and back; -1 and empty for what has none.
    static int statusNumber(const QString& status);
    static QString statusOfNumber(int number);

private:
    int m_capacity = 30;
    std::map<int, StoredMessage> m_messages;
};

} // namespace modemsim
