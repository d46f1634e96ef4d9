#include "ActivityLog.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace store {

namespace {

const QString kCrLf = u"\r\n"_s;

// The locale's long time format without its time-zone name: the short date, a blank and the
// long time read the way the desktop shows them.
QString longTimeWithoutZone(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(u"\\s*\\(?t+\\)?"_s);
    format.remove(zone);
    return format.trimmed();
}

} // namespace

ActivityLog::ActivityLog(const Clock& clock, QLocale locale)
    : m_clock(clock), m_locale(std::move(locale)), m_timeFormat(longTimeWithoutZone(m_locale))
{}

QString ActivityLog::timestamp() const
{
    const QDateTime now = m_clock.now();
    return m_locale.toString(now.date(), QLocale::ShortFormat) + u' ' + m_locale.toString(now.time(), m_timeFormat);
}

QString ActivityLog::lineFor(const QString& message) const
{
    return u"["_s + timestamp() + u"] : "_s + message;
}

bool ActivityLog::add(const QString& message)
{
    if (!m_on)
        return false;
    m_text = lineFor(message) + kCrLf + m_text;
    // The cut keeps the newest lines and may end inside a line.
    if (m_text.size() > kTrimAbove)
        m_text = lineFor(u"**NOTICE** Removing old entries from the activity log."_s) + kCrLf +
                 m_text.left(kKeepWhenTrimmed);
    return true;
}

} // namespace store
