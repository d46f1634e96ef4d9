#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

namespace {
const QString kFormat = u"yyyy-MM-dd HH:mm:ss"_s;
}

QString isoText(const QDateTime& when)
{
    return when.toLocalTime().toString(kFormat);
}

QDateTime fromIsoText(const QString& text)
{
    return QDateTime::fromString(text, kFormat);
}

DayRange dayRange(const QDate& day)
{
    return dayRange(day, day);
}

DayRange dayRange(const QDate& first, const QDate& last)
{
    return {first.toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s,
            last.addDays(1).toString(u"yyyy-MM-dd"_s) + u" 00:00:00"_s};
}

} // namespace store
