#pragma once

#include "Clock.h"

#include <QLocale>
#include <QString>

namespace store {

// The gateway's running commentary: newest line first, kept to about 12000 characters so a
// gateway running for weeks holds a small text. Nothing is written to disk.
class ActivityLog
{
public:
    static constexpr qsizetype kTrimAbove = 12000;
    static constexpr qsizetype kKeepWhenTrimmed = 2000;

    explicit ActivityLog(const Clock& clock, QLocale locale = QLocale::system());

    bool isOn() const { return m_on; }
    void setOn(bool on) { m_on = on; }

    // Returns false when the log is off and the line was dropped.
    bool add(const QString& message);
    void clear() { m_text.clear(); }

    const QString& text() const { return m_text; }
    // Only for tests and for restoring a view: replaces the text as it stands.
    void setText(const QString& text) { m_text = text; }

    // "[" + now + "] : " + message, without the line break.
    QString lineFor(const QString& message) const;

private:
    QString timestamp() const;

    const Clock& m_clock;
    QLocale m_locale;
    QString m_timeFormat;
    QString m_text;
    bool m_on = false;
};

} // namespace store
