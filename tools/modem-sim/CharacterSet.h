#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

namespace modemsim {

// The character sets a terminal can pick with +CSCS, and the GSM 7-bit default alphabet the
// network carries text in. A message's text is kept as a QString; these turn it into what the
// terminal sees on the line and back.
class CharacterSet
{
public:
    enum Kind
    {
        Gsm,
        Ira,
        Latin1,
        Ucs2
    };

    static std::optional<Kind> fromName(const QString& name);
    static QString name(Kind kind);
    static QStringList names();

    // Characters the set cannot show become '?', as on a real modem.
    static QByteArray encode(const QString& text, Kind kind);
    // Empty when the bytes are not text of that set (UCS2 that is not whole hex groups).
    static std::optional<QString> decode(const QByteArray& bytes, Kind kind);

    // Whether the text fits the GSM default alphabet (its extension table included), and how
    // many septets it takes there; that decides the data coding and the length a header shows.
    static bool fitsGsmAlphabet(const QString& text);
    static int septetCount(const QString& text);

    static QByteArray toUcs2Hex(const QString& text);
    static std::optional<QString> fromUcs2Hex(const QByteArray& hex);
    static QByteArray toOctetHex(const QByteArray& octets);
    static std::optional<QByteArray> fromOctetHex(const QByteArray& hex);
    // -1 for a character that is not a hex digit.
    static int hexValue(char c);
};

} // namespace modemsim
