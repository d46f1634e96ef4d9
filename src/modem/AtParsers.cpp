#include "AtParsers.h"

#include <cfenv>
#include <cmath>

using namespace Qt::StringLiterals;

namespace modem {

namespace {
const QString kCrLf = u"\r\n"_s;
}

QString callStateFromClcc(const QString& answer)
{
    if (answer.contains(u',')) {
        const QStringList fields = answer.split(u',');
        if (fields.size() < 3)
            return u""_s;
        static const QString kNames[] = {u"Active"_s,   u"Held"_s,     u"Dialing"_s,
                                         u"Alerting"_s, u"Incoming"_s, u"Waiting"_s};
        const QString& value = fields.at(2);
        if (value.size() == 1 && value.at(0) >= u'0' && value.at(0) <= u'5')
            return kNames[value.at(0).unicode() - u'0'];
        return u""_s;
    }
    if (answer.contains(u"ERROR"_s))
        return u"ERROR"_s;
    return answer;
}

QString callerNumberIn(const QString& data)
{
    const qsizetype clip = data.indexOf(u"+CLIP: \""_s);
    if (clip >= 0) {
        const qsizetype start = clip + 8;
        const qsizetype end = data.indexOf(u'"', start);
        return end > start ? data.mid(start, end - start) : QString();
    }
    // +CLCC: <id>,<dir>,<stat>,<mode>,<mpty>,"<number>",<type> (3GPP TS 27.007 7.18)
    const qsizetype clcc = data.indexOf(u"+CLCC: "_s);
    if (clcc >= 0) {
        const qsizetype lineEnd = data.indexOf(kCrLf, clcc);
        const QStringList fields = data.mid(clcc, lineEnd < 0 ? -1 : lineEnd - clcc).split(u',');
        if (fields.size() > 5) {
            QString number = fields.at(5);
            if (number.startsWith(u'"') && number.endsWith(u'"') && number.size() > 2)
                return number.mid(1, number.size() - 2);
        }
    }
    return {};
}

QString cmgwIndex(const QString& answer)
{
    const qsizetype at = answer.indexOf(u"+CMGW:"_s);
    if (at < 0)
        return {};
    const qsizetype start = at + 6;
    const qsizetype end = answer.indexOf(kCrLf, start);
    return answer.mid(start, end < 0 ? -1 : end - start).trimmed();
}

QStringList smsParts(const QString& text, int partLength)
{
    QStringList parts;
    qsizetype from = 0;
    while (from < text.size()) {
        qsizetype length = std::min<qsizetype>(partLength, text.size() - from);
        if (length > 1 && from + length < text.size() && text.at(from + length - 1).isHighSurrogate())
            --length;
        parts << text.mid(from, length);
        from += length;
    }
    return parts;
}

int scaledWait(double multiplierMs, double delayFactor)
{
    // Round half to even, as the waits were always computed.
    const int previous = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(multiplierMs * delayFactor);
    std::fesetround(previous);
    return int(std::clamp(rounded, 0.0, 32767.0));
}

QString informationLine(QStringView answer)
{
    const auto pieces = answer.split(u"\r\n");
    return pieces.size() < 2 ? QString() : pieces.at(1).trimmed().toString();
}

QString withoutCrLf(const QString& text)
{
    return QString(text).remove(kCrLf);
}

CallerIdentity identifyCaller(const QString& number, const std::vector<CountryCodeRow>& countries)
{
    QString digits = number;
    if (digits.startsWith(u'+'))
        digits.remove(0, 1);
    else if (digits.startsWith(u"00"_s))
        digits.remove(0, 2);

    CallerIdentity identity;
    qsizetype codeLength = 0;
    for (const CountryCodeRow& row : countries) {
        const QString code = row.code.trimmed();
        if (code.isEmpty())
            continue;
        if (digits.left(code.size()) == code) {
            identity.countryId = QString::number(row.countryId);
            identity.countryCode = code;
            codeLength = code.size();
            break;
        }
    }
    QString national = digits.mid(codeLength);
    if (national.startsWith(u'0') && national.size() > 10)
        national.remove(0, 1);
    identity.national = national;
    identity.isMobile = national.startsWith(u'9');
    return identity;
}

} // namespace modem
