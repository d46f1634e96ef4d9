#pragma once

#include "Clock.h"
#include "Database.h"

#include <QTimer>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace engine {
class Gateway;
}

namespace ui {

class LinkLabel;

// The dashboard: today's counters and the activity log with its Start, Stop and Clear links.
class Dashboard final : public QWidget
{
    Q_OBJECT

public:
    Dashboard(const store::Database& db, engine::Gateway* gateway, const store::Clock& clock,
                 QWidget* parent = nullptr);

    // Which folder the message box opens on: "I" inbox, "O" outbox, "" no preference.
    QString msgType;

    // Re-reads the three counters; a failing count keeps its last value and the next
    // refresh simply tries again.
    void refreshCounters();

Q_SIGNALS:
    void missedCallsClicked();
    void messageBoxRequested();

private:
    void startLog();
    void stopLog();
    void showLog(const QString& text);

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    const store::Clock& m_clock;

    LinkLabel* m_missCall;
    LinkLabel* m_inBox;
    LinkLabel* m_outBox;
    LinkLabel* m_notConfirmed;
    QLabel* m_today;
    LinkLabel* m_start;
    LinkLabel* m_stop;
    LinkLabel* m_clear;
    QPlainTextEdit* m_log;
    QTimer m_refresh;
};

} // namespace ui
