#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

namespace modemsim {

// Short messages the way the network carries them, SMS-DELIVER towards the terminal and SMS-SUBMIT
// from it (TS 23.040), which is what a terminal sees and writes in PDU mode.
class Pdu
{
public:
    enum Alphabet
    {
        Gsm7,
        EightBit,
        Ucs2
    };

    struct Message
    {
        bool submit = false; // SMS-SUBMIT rather than SMS-DELIVER
        QString address;     // the originator of a DELIVER, the destination of a SUBMIT
        int addressType = 129;
        int protocolId = 0;
        Alphabet alphabet = Gsm7;
        QDateTime timestamp; // DELIVER only: when the service centre took the message
        int validity = -1;   // SUBMIT only: the relative validity period, -1 when there is none
        int reference = 0;   // SUBMIT only
        QByteArray header;   // the user data header with its length octet; empty when there is none
        QString text;        // 8-bit data is kept as Latin-1, one character per octet
    };

    // The longest user data one message carries.
    static constexpr int kMaxSeptets = 160;
    static constexpr int kMaxOctets = 140;

    // The TPDU, without the service-centre part in front of it.
    static QByteArray encode(const Message& message);
    // Empty when the octets are not a whole DELIVER or SUBMIT, or carry more than one message holds.
    static std::optional<Message> decode(const QByteArray& tpdu);
    // The length octet, the type and the number; a lone 00 when the number is empty (the modem's own
    // service centre is meant then).
    static QByteArray serviceCentre(const QString& number, int type);

    static Alphabet alphabetOf(int dataCoding);
    static int dataCoding(Alphabet alphabet);
    // 145 for "+digits", 129 for digits, 208 (alphanumeric) for anything with other characters.
    static int addressTypeOf(const QString& number);

    static QByteArray concatenationHeader(int reference, bool sixteenBitReference, int parts, int sequence);
    // The texts of the parts when each part carries a header of `headerOctets` octets (its length octet
    // included): the GSM alphabet when the whole text fits it, UCS2 otherwise. An escape pair or a surrogate
    // pair never straddles two parts.
    static QStringList split(const QString& text, int headerOctets);

    // Septets packed into octets from the least significant bit on, after `fillBits` zero bits.
    static QByteArray packSeptets(const QByteArray& septets, int fillBits);
    // Empty when the octets end before `count` septets from `firstBit` on.
    static std::optional<QByteArray> unpackSeptets(const QByteArray& octets, int firstBit, int count);
};

} // namespace modemsim
