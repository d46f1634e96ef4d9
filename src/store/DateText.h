#pragma once

#include <QDate>
#include <QDateTime>
#include <QString>

namespace store {

// Date-times are kept as ISO text "YYYY-MM-DD HH:MM:SS" in local time: it sorts and compares
// as text, so ranges, ordering and day tests agree with each other.
QString isoText(const QDateTime& when);
QDateTime fromIsoText(const QString& text);

// A whole day is [that day 00:00:00, next day 00:00:00): the last minute belongs to it too.
struct DayRange
{
    QString from;  // inclusive
    QString until; // exclusive
};
DayRange dayRange(const QDate& day);
DayRange dayRange(const QDate& first, const QDate& last);

} // namespace store
