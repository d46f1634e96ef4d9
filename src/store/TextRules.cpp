#include "TextRules.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace store {

QString trimBlanks(const QString& text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    return text.mid(first, last - first);
}

std::optional<int> portNumber(const QString& text)
{
    static const QRegularExpression digits(u"^[0-9]{1,5}$"_s);
    const QString trimmed = text.trimmed();
    if (!digits.match(trimmed).hasMatch())
        return std::nullopt;
    const int port = trimmed.toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    return port;
}

bool isSendableNumber(const QString& number)
{
    static const QRegularExpression digits(u"^\\+?[0-9]+$"_s);
    return digits.match(number).hasMatch();
}

} // namespace store
