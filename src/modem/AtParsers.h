#pragma once

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace modem {

// Pure readers of modem answers and helpers around them; no I/O here, so each can be tested
// against captured replies.

// "AT+CLCC": the state name of the first call ("Active", "Held", "Dialing", "Alerting",
// "Incoming", "Waiting"), "" for another state value, "ERROR", or the answer itself when it
// lists no call.
QString callStateFromClcc(const QString& answer);

// The caller's number in a "+CLIP: "<number>",..." line or, failing that, in the number field
// of a "+CLCC:" line; empty when there is none.
QString callerNumberIn(const QString& data);

// The number after an information line's prefix ("+CMGW: 12", "+CMSS: 7"), empty when
// there is none.
QString cmgwIndex(const QString& answer);

// SMS parts of at most 160 characters each, in order; an empty text has no parts. A part never
// ends between the two halves of a character outside the basic plane.
QStringList smsParts(const QString& text, int partLength = 160);

// A wait of multiplier x delay factor milliseconds, rounded half to even and kept within a
// 16-bit integer, as every modem wait is computed.
int scaledWait(double multiplierMs, double delayFactor);

// The first information line of an answer such as AT+CGMI's: the second piece between CR LF
// pairs, trimmed. With or without the command's echo in front, that is the modem's first line.
QString informationLine(QStringView answer);

// The number without its CR LF pairs: how trace lines show modem answers.
QString withoutCrLf(const QString& text);

struct CountryCodeRow
{
    qint64 countryId = 0;
    QString code;
};

struct CallerIdentity
{
    QString countryId = QStringLiteral("0");
    QString countryCode = QStringLiteral("0");
    QString national;      // the number after its country code
    bool isMobile = false; // the national number starts with 9
};

// Splits a caller's number into country code and national number: "+" or "00" is dropped,
// the first country row (in the order given) whose code starts the number wins, and a
// national number longer than 10 characters loses a leading 0.
CallerIdentity identifyCaller(const QString& number, const std::vector<CountryCodeRow>& countries);

} // namespace modem
