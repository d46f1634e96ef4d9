#include "CharacterSet.h"

#include <array>

namespace modemsim {

namespace {

// The GSM 03.38 default alphabet, indexed by septet. 0x1B is the escape to the extension
// table and has no character of its own.
constexpr std::array<char16_t, 128> kGsmBasic = {
    u'@',      u'\u00A3', u'$',      u'\u00A5', u'\u00E8', u'\u00E9', u'\u00F9', u'\u00EC', // 0x00
    u'\u00F2', u'\u00C7', u'\n',     u'\u00D8', u'\u00F8', u'\r',     u'\u00C5', u'\u00E5', // 0x08
    u'\u0394', u'_',      u'\u03A6', u'\u0393', u'\u039B', u'\u03A9', u'\u03A0', u'\u03A8', // 0x10
    u'\u03A3', u'\u0398', u'\u039E', u'\0',     u'\u00C6', u'\u00E6', u'\u00DF', u'\u00C9', // 0x18
    u' ',      u'!',      u'"',      u'#',      u'\u00A4', u'%',      u'&',      u'\'',     // 0x20
    u'(',      u')',      u'*',      u'+',      u',',      u'-',      u'.',      u'/',      // 0x28
    u'0',      u'1',      u'2',      u'3',      u'4',      u'5',      u'6',      u'7',      // 0x30
    u'8',      u'9',      u':',      u';',      u'<',      u'=',      u'>',      u'?',      // 0x38
    u'\u00A1', u'A',      u'B',      u'C',      u'D',      u'E',      u'F',      u'G',      // 0x40
    u'H',      u'I',      u'J',      u'K',      u'L',      u'M',      u'N',      u'O',      // 0x48
    u'P',      u'Q',      u'R',      u'S',      u'T',      u'U',      u'V',      u'W',      // 0x50
    u'X',      u'Y',      u'Z',      u'\u00C4', u'\u00D6', u'\u00D1', u'\u00DC', u'\u00A7', // 0x58
    u'\u00BF', u'a',      u'b',      u'c',      u'd',      u'e',      u'f',      u'g',      // 0x60
    u'h',      u'i',      u'j',      u'k',      u'l',      u'm',      u'n',      u'o',      // 0x68
    u'p',      u'q',      u'r',      u's',      u't',      u'u',      u'v',      u'w',      // 0x70
    u'x',      u'y',      u'z',      u'\u00E4', u'\u00F6', u'\u00F1', u'\u00FC', u'\u00E0', // 0x78
};

struct Extension
{
    char16_t character;
    char septet;
};
constexpr std::array<Extension, 10> kGsmExtension = {{
    {u'\f', 0x0A},
    {u'^', 0x14},
    {u'{', 0x28},
    {u'}', 0x29},
    {u'\\', 0x2F},
    {u'[', 0x3C},
    {u'~', 0x3D},
    {u']', 0x3E},
    {u'|', 0x40},
    {u'\u20AC', 0x65},
}};

int basicSeptet(char16_t c)
{
    if (c == u'\0')
        return -1;
    for (std::size_t i = 0; i < kGsmBasic.size(); ++i) {
        if (kGsmBasic[i] == c)
            return static_cast<int>(i);
    }
    return -1;
}

int extensionSeptet(char16_t c)
{
    for (const Extension& e : kGsmExtension) {
        if (e.character == c)
            return e.septet;
    }
    return -1;
}

} // namespace

std::optional<CharacterSet::Kind> CharacterSet::fromName(const QString& name)
{
    const QString upper = name.toUpper();
    if (upper == u"GSM")
        return Gsm;
    if (upper == u"IRA")
        return Ira;
    if (upper == u"8859-1")
        return Latin1;
    if (upper == u"UCS2")
        return Ucs2;
    return std::nullopt;
}

QString CharacterSet::name(Kind kind)
{
    switch (kind) {
    case Gsm:
        return QStringLiteral("GSM");
    case Ira:
        return QStringLiteral("IRA");
    case Latin1:
        return QStringLiteral("8859-1");
    case Ucs2:
        return QStringLiteral("UCS2");
    }
    return {};
}

QStringList CharacterSet::names()
{
    return {name(Gsm), name(Ira), name(Latin1), name(Ucs2)};
}

QByteArray CharacterSet::encode(const QString& text, Kind kind)
{
    QByteArray out;
    switch (kind) {
    case Gsm:
        for (const QChar c : text) {
            if (const int septet = basicSeptet(c.unicode()); septet >= 0) {
                out.append(static_cast<char>(septet));
            } else if (const int extended = extensionSeptet(c.unicode()); extended >= 0) {
                out.append('\x1B');
                out.append(static_cast<char>(extended));
            } else {
                out.append('?');
            }
        }
        return out;
    case Ira:
        for (const QChar c : text)
            out.append(c.unicode() < 0x80 ? static_cast<char>(c.unicode()) : '?');
        return out;
    case Latin1:
        for (const QChar c : text)
            out.append(c.unicode() < 0x100 ? static_cast<char>(c.unicode()) : '?');
        return out;
    case Ucs2:
        return toUcs2Hex(text);
    }
    return out;
}

std::optional<QString> CharacterSet::decode(const QByteArray& bytes, Kind kind)
{
    QString out;
    switch (kind) {
    case Gsm:
        for (qsizetype i = 0; i < bytes.size(); ++i) {
            const auto septet = static_cast<unsigned char>(bytes[i]);
            if (septet == 0x1B && i + 1 < bytes.size()) {
                const char next = bytes[++i];
                char16_t found = u'?';
                for (const Extension& e : kGsmExtension) {
                    if (e.septet == next)
                        found = e.character;
                }
                out.append(QChar(found));
            } else {
                out.append(septet < 0x80 && septet != 0x1B ? QChar(kGsmBasic[septet]) : QChar(u'?'));
            }
        }
        return out;
    case Ira:
        for (const char byte : bytes)
            out.append(static_cast<unsigned char>(byte) < 0x80 ? QChar(byte) : QChar(u'?'));
        return out;
    case Latin1:
        return QString::fromLatin1(bytes);
    case Ucs2:
        return fromUcs2Hex(bytes);
    }
    return out;
}

bool CharacterSet::fitsGsmAlphabet(const QString& text)
{
    for (const QChar c : text) {
        if (basicSeptet(c.unicode()) < 0 && extensionSeptet(c.unicode()) < 0)
            return false;
    }
    return true;
}

int CharacterSet::septetCount(const QString& text)
{
    int count = 0;
    for (const QChar c : text)
        count += basicSeptet(c.unicode()) >= 0 ? 1 : 2;
    return count;
}

QByteArray CharacterSet::toUcs2Hex(const QString& text)
{
    QByteArray out;
    for (const QChar c : text)
        out.append(QByteArray::number(c.unicode(), 16).rightJustified(4, '0').toUpper());
    return out;
}

std::optional<QString> CharacterSet::fromUcs2Hex(const QByteArray& hex)
{
    if (hex.size() % 4 != 0)
        return std::nullopt;
    QString out;
    for (qsizetype i = 0; i < hex.size(); i += 4) {
        int unit = 0;
        for (qsizetype j = i; j < i + 4; ++j) {
            const int digit = hexValue(hex[j]);
            if (digit < 0)
                return std::nullopt;
            unit = unit * 16 + digit;
        }
        out.append(QChar(static_cast<char16_t>(unit)));
    }
    return out;
}

int CharacterSet::hexValue(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray CharacterSet::toOctetHex(const QByteArray& octets)
{
    return octets.toHex().toUpper();
}

std::optional<QByteArray> CharacterSet::fromOctetHex(const QByteArray& hex)
{
    if (hex.size() % 2 != 0)
        return std::nullopt;
    QByteArray out;
    for (qsizetype i = 0; i < hex.size(); i += 2) {
        const int high = hexValue(hex[i]);
        const int low = hexValue(hex[i + 1]);
        if (high < 0 || low < 0)
            return std::nullopt;
        out.append(static_cast<char>(high * 16 + low));
    }
    return out;
}

} // namespace modemsim
