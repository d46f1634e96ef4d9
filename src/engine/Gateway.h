#pragma once

#include "ActivityLog.h"
#include "Clock.h"
#include "Database.h"
#include "GatewaySettings.h"

#include <QObject>
#include <QTimer>

namespace engine {

// The gateway's engine. It lives on its own thread and does everything that talks to the
// store in the background, the modem and the mail servers, one job at a time. The screens ask
// through queued calls and learn results from its signals; it never waits for a person.
class Gateway final : public QObject
{
    Q_OBJECT

public:
    Gateway(QString storePath, const store::Clock& clock, QObject* parent = nullptr);
    ~Gateway() override;

    // For tests on the gateway's own thread; screens use the signals.
    const store::GatewaySettings& settings() const { return m_settings; }
    const store::ActivityLog& activityLog() const { return m_log; }
    bool isStarted() const { return m_db.isOpen(); }
    int RingCounter() const { return m_ringCounter; }

    QTimer& Timer1() { return m_timer1; }
    QTimer& Timer2() { return m_timer2; }
    QTimer& Timer_WebMailToSMS() { return m_timerWebMailToSMS; }
    QTimer& timerRefreshHomePage() { return m_timerRefreshHomePage; }

    // Run-time flags; false at start.
    bool ModemConnected = false;
    bool ModemInitialised = false;
    bool ModemBusy = false;
    bool SendInProgress = false;
    bool ReceiveInProgress = false;

public Q_SLOTS:
    // The engine's part of the main window's loading: its own store connection, the settings
    // in their order with their log lines, the timers. Emits startUpFinished at the end.
    void startUp();
    // Stops every timer and closes what the engine holds; the thread can end afterwards.
    void shutDown();

    void AddToActivityLog(const QString& message);
    void setActivityLogOn(bool on);
    void clearActivityLog();

Q_SIGNALS:
    void activityLogChanged(const QString& text);
    // A line as written to the log (not emitted while the log is off).
    void activityLogged(const QString& line);
    void modemStateChanged(bool connected);
    // An error description the loading left pending, shown once by the main window; empty
    // when there was none.
    void startUpFinished(const QString& pendingError);

private:
    void armMailboxTimer();
    void onReceiveTick();
    void onSendTick();
    void onMailboxTick();
    void onRefreshTick();
    void reportStoreError(const store::StoreError& error);

    QString m_storePath;
    const store::Clock& m_clock;
    store::Database m_db;
    store::GatewaySettings m_settings;
    store::ActivityLog m_log;
    QString m_pendingError;
    int m_ringCounter = 0;

    QTimer m_timer1;
    QTimer m_timer2;
    QTimer m_timerWebMailToSMS;
    QTimer m_timerRefreshHomePage;
};

// A timer period of 0 means the timer does not fire (a QTimer with 0 would fire constantly).
void setTimerPeriod(QTimer& timer, int milliseconds);

} // namespace engine
