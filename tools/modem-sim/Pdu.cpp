#include "Pdu.h"

#include "CharacterSet.h"

#include <QTimeZone>

#include <algorithm>

namespace modemsim {

namespace {

// Semi-octet values of a BCD number; 0xF fills the last octet of an odd count.
constexpr char16_t kBcdDigits[] = u"0123456789*#abc";
constexpr int kBcdFiller = 0x0F;

constexpr int kMtiDeliver = 0x00;
constexpr int kMtiSubmit = 0x01;
constexpr int kMoreMessagesNotWaiting = 0x04;
constexpr int kValidityRelative = 0x10;
constexpr int kHeaderIndicator = 0x40;

constexpr int kTypeInternational = 0x10;
constexpr int kTypeAlphanumeric = 0x50;
constexpr int kTypeOfNumberMask = 0x70;
constexpr int kAlphanumericAddress = 0xD0;

// Reads a TPDU front to back; reading past its end only marks it broken, so a decoder checks once at the end.
class Reader
{
public:
    explicit Reader(const QByteArray& bytes) : m_bytes(bytes) {}

    int octet()
    {
        if (m_at >= m_bytes.size()) {
            m_broken = true;
            return 0;
        }
        return static_cast<unsigned char>(m_bytes[m_at++]);
    }

    QByteArray take(qsizetype count)
    {
        if (count > m_bytes.size() - m_at) {
            m_broken = true;
            return QByteArray(count, '\0');
        }
        const QByteArray taken = m_bytes.mid(m_at, count);
        m_at += count;
        return taken;
    }

    QByteArray rest() { return take(m_bytes.size() - m_at); }
    bool broken() const { return m_broken; }

private:
    const QByteArray& m_bytes;
    qsizetype m_at = 0;
    bool m_broken = false;
};

int octetAt(const QByteArray& bytes, qsizetype at)
{
    return static_cast<unsigned char>(bytes[at]);
}

bool isBcdNumber(const QString& digits)
{
    return std::ranges::all_of(digits, [](QChar c) { return (c >= u'0' && c <= u'9') || c == u'*' || c == u'#'; });
}

QByteArray bcd(const QString& digits)
{
    const auto nibble = [&](qsizetype at) {
        if (at >= digits.size())
            return kBcdFiller;
        const auto found = std::u16string_view(kBcdDigits).find(digits[at].unicode());
        return found == std::u16string_view::npos ? kBcdFiller : static_cast<int>(found);
    };
    QByteArray out;
    for (qsizetype i = 0; i < digits.size(); i += 2)
        out.append(static_cast<char>(nibble(i) | (nibble(i + 1) << 4)));
    return out;
}

QByteArray encodeAddress(const QString& number, int type)
{
    const QString digits = number.startsWith(u'+') ? number.mid(1) : number;
    QByteArray out;
    if ((type & kTypeOfNumberMask) == kTypeAlphanumeric || !isBcdNumber(digits)) {
        // The length counts the semi-octets the packed septets take.
        const QByteArray septets = CharacterSet::encode(number, CharacterSet::Gsm);
        out.append(static_cast<char>((septets.size() * 7 + 3) / 4));
        out.append(static_cast<char>(kAlphanumericAddress));
        out.append(Pdu::packSeptets(septets, 0));
        return out;
    }
    out.append(static_cast<char>(digits.size()));
    out.append(static_cast<char>(type | 0x80));
    out.append(bcd(digits));
    return out;
}

bool readAddress(Reader& reader, QString& address, int& type)
{
    const int semiOctets = reader.octet();
    type = reader.octet();
    const QByteArray octets = reader.take((semiOctets + 1) / 2);
    if (reader.broken())
        return false;
    if ((type & kTypeOfNumberMask) == kTypeAlphanumeric) {
        const auto septets = Pdu::unpackSeptets(octets, 0, semiOctets * 4 / 7);
        if (!septets)
            return false;
        address = CharacterSet::decode(*septets, CharacterSet::Gsm).value_or(QString());
        return true;
    }
    QString digits;
    for (int i = 0; i < semiOctets; ++i) {
        const int nibble = (octetAt(octets, i / 2) >> (i % 2 == 0 ? 0 : 4)) & 0x0F;
        if (nibble == kBcdFiller)
            break;
        digits.append(QChar(kBcdDigits[nibble]));
    }
    address = ((type & kTypeOfNumberMask) == kTypeInternational ? QStringLiteral("+") : QString()) + digits;
    return true;
}

// Each field is two decimal digits with the units in the high semi-octet; bit 3 of the zone is its sign.
QByteArray encodeTimestamp(const QDateTime& timestamp)
{
    const auto field = [](int value) { return static_cast<char>(((value % 10) << 4) | (value / 10 % 10)); };
    const QDate date = timestamp.date();
    const QTime time = timestamp.time();
    const int quarters = timestamp.offsetFromUtc() / 900;
    QByteArray out;
    for (const int value : {date.year() % 100, date.month(), date.day(), time.hour(), time.minute(), time.second()})
        out.append(field(value));
    out.append(static_cast<char>(field(std::abs(quarters)) | (quarters < 0 ? 0x08 : 0)));
    return out;
}

QDateTime decodeTimestamp(const QByteArray& octets)
{
    const auto field = [&](int at) { return (octetAt(octets, at) & 0x0F) * 10 + (octetAt(octets, at) >> 4); };
    const int zone = octetAt(octets, 6);
    const int quarters = ((zone & 0x07) * 10 + (zone >> 4)) * ((zone & 0x08) != 0 ? -1 : 1);
    return QDateTime(QDate(2000 + field(0), field(1), field(2)), QTime(field(3), field(4), field(5)),
                     QTimeZone(quarters * 900));
}

QByteArray toUcs2(const QString& text)
{
    QByteArray out;
    for (const QChar c : text) {
        out.append(static_cast<char>(c.unicode() >> 8));
        out.append(static_cast<char>(c.unicode() & 0xFF));
    }
    return out;
}

// The septets of a GSM text start on a septet boundary, so the header is followed by fill bits.
int firstTextBit(qsizetype headerOctets)
{
    return static_cast<int>((headerOctets * 8 + 6) / 7 * 7);
}

QByteArray encodeUserData(const Pdu::Message& message)
{
    const QByteArray& header = message.header;
    QByteArray out;
    if (message.alphabet == Pdu::Gsm7) {
        const QByteArray septets = CharacterSet::encode(message.text, CharacterSet::Gsm);
        const int firstBit = firstTextBit(header.size());
        out.append(static_cast<char>(firstBit / 7 + septets.size()));
        out.append(header);
        out.append(Pdu::packSeptets(septets, firstBit - static_cast<int>(header.size()) * 8));
        return out;
    }
    const QByteArray data = message.alphabet == Pdu::Ucs2 ? toUcs2(message.text) : message.text.toLatin1();
    out.append(static_cast<char>(header.size() + data.size()));
    out.append(header);
    out.append(data);
    return out;
}

bool readUserData(Reader& reader, bool hasHeader, Pdu::Message& message)
{
    const int length = reader.octet();
    const QByteArray data = reader.rest();
    if (reader.broken())
        return false;
    qsizetype headerOctets = 0;
    if (hasHeader) {
        if (data.isEmpty() || octetAt(data, 0) + 1 > data.size())
            return false;
        headerOctets = octetAt(data, 0) + 1;
        message.header = data.left(headerOctets);
    }
    if (message.alphabet == Pdu::Gsm7) {
        const int firstBit = firstTextBit(headerOctets);
        if (length > Pdu::kMaxSeptets || data.size() != (length * 7 + 7) / 8 || length < firstBit / 7)
            return false;
        const auto septets = Pdu::unpackSeptets(data, firstBit, length - firstBit / 7);
        if (!septets)
            return false;
        message.text = CharacterSet::decode(*septets, CharacterSet::Gsm).value_or(QString());
        return true;
    }
    if (length > Pdu::kMaxOctets || data.size() != length || headerOctets > length)
        return false;
    const QByteArray payload = data.mid(headerOctets);
    if (message.alphabet == Pdu::EightBit) {
        message.text = QString::fromLatin1(payload);
        return true;
    }
    if (payload.size() % 2 != 0)
        return false;
    message.text.clear();
    for (qsizetype i = 0; i < payload.size(); i += 2)
        message.text.append(QChar(static_cast<char16_t>((octetAt(payload, i) << 8) | octetAt(payload, i + 1))));
    return true;
}

} // namespace

QByteArray Pdu::encode(const Message& message)
{
    const int header = message.header.isEmpty() ? 0 : kHeaderIndicator;
    QByteArray out;
    if (message.submit) {
        out.append(static_cast<char>(kMtiSubmit | header | (message.validity >= 0 ? kValidityRelative : 0)));
        out.append(static_cast<char>(message.reference));
        out.append(encodeAddress(message.address, message.addressType));
        out.append(static_cast<char>(message.protocolId));
        out.append(static_cast<char>(dataCoding(message.alphabet)));
        if (message.validity >= 0)
            out.append(static_cast<char>(message.validity));
    } else {
        out.append(static_cast<char>(kMtiDeliver | kMoreMessagesNotWaiting | header));
        out.append(encodeAddress(message.address, message.addressType));
        out.append(static_cast<char>(message.protocolId));
        out.append(static_cast<char>(dataCoding(message.alphabet)));
        out.append(encodeTimestamp(message.timestamp));
    }
    out.append(encodeUserData(message));
    return out;
}

std::optional<Pdu::Message> Pdu::decode(const QByteArray& tpdu)
{
    Reader reader(tpdu);
    Message message;
    const int first = reader.octet();
    const int type = first & 0x03;
    if (type == kMtiSubmit) {
        message.submit = true;
        message.reference = reader.octet();
    } else if (type != kMtiDeliver) {
        return std::nullopt;
    }
    if (!readAddress(reader, message.address, message.addressType))
        return std::nullopt;
    message.protocolId = reader.octet();
    message.alphabet = alphabetOf(reader.octet());
    if (!message.submit) {
        message.timestamp = decodeTimestamp(reader.take(7));
    } else {
        switch ((first >> 3) & 0x03) {
        case 2:
            message.validity = reader.octet();
            break;
        case 1: // enhanced
        case 3: // absolute
            reader.take(7);
            break;
        default:
            break;
        }
    }
    if (!readUserData(reader, (first & kHeaderIndicator) != 0, message) || reader.broken())
        return std::nullopt;
    return message;
}

QByteArray Pdu::serviceCentre(const QString& number, int type)
{
    if (number.isEmpty())
        return QByteArray(1, '\0');
    const QByteArray address = static_cast<char>(type | 0x80) + bcd(number.startsWith(u'+') ? number.mid(1) : number);
    return static_cast<char>(address.size()) + address;
}

Pdu::Alphabet Pdu::alphabetOf(int dataCoding)
{
    // The general and the automatic-deletion groups name the alphabet in bits 3..2, the message-class
    // group says 8-bit in bit 2, and one message-waiting group is UCS2; the rest is the default alphabet.
    if ((dataCoding & 0x80) == 0) {
        const int alphabet = (dataCoding >> 2) & 0x03;
        return alphabet == 1 ? EightBit : alphabet == 2 ? Ucs2 : Gsm7;
    }
    if ((dataCoding & 0xF0) == 0xF0)
        return (dataCoding & 0x04) != 0 ? EightBit : Gsm7;
    return (dataCoding & 0xF0) == 0xE0 ? Ucs2 : Gsm7;
}

int Pdu::dataCoding(Alphabet alphabet)
{
    switch (alphabet) {
    case Gsm7:
        break;
    case EightBit:
        return 0x04;
    case Ucs2:
        return 0x08;
    }
    return 0x00;
}

int Pdu::addressTypeOf(const QString& number)
{
    const bool international = number.startsWith(u'+');
    if (!isBcdNumber(international ? number.mid(1) : number))
        return kAlphanumericAddress;
    return international ? 145 : 129;
}

QByteArray Pdu::concatenationHeader(int reference, bool sixteenBitReference, int parts, int sequence)
{
    QByteArray header;
    if (sixteenBitReference)
        header = QByteArray("\x06\x08\x04", 3) + static_cast<char>((reference >> 8) & 0xFF) +
                 static_cast<char>(reference & 0xFF);
    else
        header = QByteArray("\x05\x00\x03", 3) + static_cast<char>(reference & 0xFF);
    return header + static_cast<char>(parts) + static_cast<char>(sequence);
}

QStringList Pdu::split(const QString& text, int headerOctets)
{
    const bool gsm = CharacterSet::fitsGsmAlphabet(text);
    const int room = kMaxOctets - headerOctets;
    const int capacity = gsm ? room * 8 / 7 : room / 2;
    QStringList parts(1);
    int used = 0;
    for (qsizetype i = 0; i < text.size();) {
        qsizetype length = 1;
        if (!gsm && text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            length = 2;
        const QString piece = text.mid(i, length);
        const int cost = gsm ? CharacterSet::septetCount(piece) : static_cast<int>(length);
        if (used + cost > capacity && used > 0) {
            parts.append(QString());
            used = 0;
        }
        parts.back().append(piece);
        used += cost;
        i += length;
    }
    return parts;
}

QByteArray Pdu::packSeptets(const QByteArray& septets, int fillBits)
{
    QByteArray out((fillBits + septets.size() * 7 + 7) / 8, '\0');
    int bit = fillBits;
    for (const char septet : septets) {
        for (int i = 0; i < 7; ++i, ++bit) {
            if (((septet >> i) & 1) != 0)
                out[bit / 8] = static_cast<char>(out[bit / 8] | (1 << (bit % 8)));
        }
    }
    return out;
}

std::optional<QByteArray> Pdu::unpackSeptets(const QByteArray& octets, int firstBit, int count)
{
    if (firstBit + count * 7 > octets.size() * 8)
        return std::nullopt;
    QByteArray septets;
    int bit = firstBit;
    for (int n = 0; n < count; ++n) {
        int septet = 0;
        for (int i = 0; i < 7; ++i, ++bit)
            septet |= ((octetAt(octets, bit / 8) >> (bit % 8)) & 1) << i;
        septets.append(static_cast<char>(septet));
    }
    return septets;
}

} // namespace modemsim
