#pragma once

#include "ActivityLog.h"
#include "Clock.h"
#include "Database.h"
#include "GatewaySettings.h"

#include "AtLink.h"
#include "CallHandler.h"
#include "ModemDiscovery.h"
#include "SimCommands.h"

#include "MailConnectionTest.h"
#include "SmtpGateway.h"

#include "AutoReplies.h"
#include "InboxReceiver.h"
#include "OutboxDispatcher.h"
#include "SoundPlayer.h"

#include <QObject>
#include <QTimer>

#include <atomic>
#include <optional>

namespace engine {

// What the modem is doing for the engine. One job at a time: a tick that finds another job
// running does nothing and is not queued.
enum class ModemJob
{
    None,
    Send,
    Receive,
    CallState,
    SimManager,
};

// Holds a job for as long as it lives.
class ModemJobGuard
{
public:
    ModemJobGuard(ModemJob& holder, ModemJob job) : m_holder(holder), m_previous(holder) { m_holder = job; }
    ~ModemJobGuard() { m_holder = m_previous; }
    ModemJobGuard(const ModemJobGuard&) = delete;
    ModemJobGuard& operator=(const ModemJobGuard&) = delete;

private:
    ModemJob& m_holder;
    ModemJob m_previous;
};

// One message of the SIM as the SIM manager screen lists it.
struct SimMessageRow
{
    int index = 0;
    int status = 0; // 0 REC UNREAD, 1 REC READ, 2 STO UNSENT, 3 STO SENT
    QString text;   // decoded, whatever its alphabet; for a message that cannot be read, why
    QString number; // the sender of a received message, the recipient of a stored one
    QString pdu;    // as listed: a delete goes ahead only while the slot still holds it
};

// How a request of the SIM manager ended.
enum class SimRequestOutcome
{
    Done,
    NotConnected,
    CallInProgress, // the modem was on a call: the SIM was left alone
    NotRead,        // the modem gave no listing: nothing was deleted
};

// The gateway's engine. It lives on its own thread and does everything that talks to the
// store in the background, the modem and the mail servers, one job at a time. The screens ask
// through queued calls and learn results from its signals; it never waits for a person.
class Gateway final : public QObject
{
    Q_OBJECT

public:
    // programDir: where the program's sounds are looked for.
    Gateway(QString storePath, const store::Clock& clock, QString programDir = {}, QObject* parent = nullptr);
    ~Gateway() override;

    // For tests on the gateway's own thread; screens use the signals.
    const store::GatewaySettings& settings() const { return m_settings; }
    const store::ActivityLog& activityLog() const { return m_log; }
    bool isStarted() const { return m_db.isOpen(); }
    int RingCounter() const { return m_calls.RingCounter; }
    modem::AtLink& link() { return m_link; }
    modem::SimCommands& sim() { return m_sim; }
    modem::CallHandler& calls() { return m_calls; }
    SoundPlayer& sounds() { return m_sounds; }

    QTimer& Timer1() { return m_timer1; }
    QTimer& Timer2() { return m_timer2; }
    QTimer& Timer_WebMailToSMS() { return m_timerWebMailToSMS; }
    QTimer& timerRefreshHomePage() { return m_timerRefreshHomePage; }

    // One outbox row to the SMTP SMS gateway; the empty text when the server took it.
    QString SendEmailToSMSGateway(const store::OutboxRow& row);
    mail::SmtpGateway& smtp() { return m_smtp; }
    // The wait for an unanswering mail server (10 s for the mailbox by default).
    void setMailTimeoutMs(int timeoutMs);

    // The answer of the latest call-state query, read by the missed-call reply check.
    const QString& lastCallStateAnswer() const { return m_lastCallStateAnswer; }
    ModemJob modemJob() const { return m_job; }
    // The modem reported a voice call: no SMS command goes to it until the call is over.
    bool callInProgress() const { return m_callInProgress; }
    InboxReceiver& receiver() { return m_receiver; }

public Q_SLOTS:
    // The engine's part of the main window's loading: its own store connection, the settings
    // in their order with their log lines, the timers. Emits startUpFinished at the end.
    void startUp();
    // Stops every timer and closes what the engine holds; the thread can end afterwards.
    void shutDown();
    // May be called from any thread: cuts short the modem wait in progress, so shutDown
    // comes without waiting for a silent modem.
    void requestStop();
    // True once requestStop was called: runs end between rows and parts.
    bool isStopping() const { return m_stopping.load(); }

    // May be called from any thread: a fresh modem search over the given devices, reported
    // through discoveryProgress and discoveryFinished.
    void startDiscovery(const QStringList& ports);
    // May be called from any thread: the search in progress ends at its next step.
    void requestDiscoveryCancel() { m_discoveryCancelled = true; }
    // The search itself; refused while the modem is connected, since it would use its port.
    void discoverModems(const QStringList& ports);

    // May be called from any thread: a login test of a mail server with the values given (as
    // typed, perhaps not yet saved), with the trusted keys, time-outs and Cancel of the engine.
    // Returns the test's number, which its connectionTestProgress and connectionTestFinished
    // signals carry.
    int startMailboxTest(mail::Pop3Mailbox::Account account);
    int startSmtpTest(mail::SmtpServer server);
    // May be called from any thread: the test in progress ends within about a second.
    void requestConnectionTestCancel() { m_connectionTestCancelled = true; }

    // A settings screen has stored its rows; the engine takes the new values at once.
    // The mailbox values and the mailbox timer.
    void applyMailboxSettings();
    // The delivery media, mixed-mode rule, SIM delivery mode and SMTP gateway values.
    void applyDeliverySettings();
    // The receive and send periods and their timers.
    void applyTimerSettings();
    // The modem delay factor; the line settings apply at the next connection.
    void applyModemSettings();

    void AddToActivityLog(const QString& message);
    void setActivityLogOn(bool on);
    void clearActivityLog();

    void ConnectModem();
    void DisconnectModem();
    // The first toolbar button: disconnect when the port is open, connect otherwise.
    void toggleModemConnection();
    // One tick of the one-second refresh: the call-state poll, then the missed-call reply.
    void refreshTick();
    void PollCallState();
    void setSetupWindowOpen(bool open);
    // Every pending outbox row, as the send timer sends them.
    void SendOutboxMessages();
    // Every received SMS on the SIM into the inbox; waitMs for the listing.
    void ReceiveSIMMessages(int waitMs);
    // "Send All" and "Receive All" of the screens: the same jobs, started by a person.
    void sendAll();
    void receiveAll();
    // The timers' ticks, with their guards: a tick that finds the modem busy does nothing.
    void onReceiveTick();
    void onSendTick();
    // One poll of the e-mail-to-SMS mailbox, as the mailbox timer runs it.
    void onMailboxTick();
    void setMissedCallReplyText(const QString& text);
    // The missed-call reply screen has stored its row: the switch and the text apply at once.
    void applyMissedCallReplySettings();

    // May be called from any thread: the SIM manager's requests. Each runs on the engine's
    // thread after the job in progress and returns its number, which its signals carry.
    // Statuses are the modem's names ("ALL", "REC READ", ...), in the order wanted.
    int requestSimListing(const QStringList& statuses);
    // The rows as listed; a slot that holds another message by now is left alone.
    int requestSimDelete(const QList<engine::SimMessageRow>& rows);
    int requestSimDeleteByStatus(const QStringList& statuses);

Q_SIGNALS:
    void activityLogChanged(const QString& text);
    // A line as written to the log (not emitted while the log is off).
    void activityLogged(const QString& line);
    // menuConnected: the menu offers "Disconnect" (it does after a connect attempt that
    // opened the port, even when the initialisation then failed); portOpen: the link is up.
    void modemStateChanged(bool menuConnected, bool portOpen);
    // A message for the operator about an action the operator started, shown in a box; the
    // engine goes on at once.
    void notice(const QString& text);
    // A message raised by a timer's run: nobody is waiting for it, so it is logged and shown
    // without a modal box (an unattended gateway would pile them up).
    void backgroundNotice(const QString& text);
    // No device at the configured port: the text asks whether to open the settings.
    void noModemFound(const QString& question);
    // The modem settings are missing: the settings screen should open.
    void settingsRequested();
    void callerHungUp();
    void callerIdentified();
    // Rows were booked SENT: the message box redraws its tree.
    void messagesSent();
    // A received SMS is in the inbox (the message box shows it in bold on its inbox).
    void messageStored(qint64 id, const QString& sender, const QString& text, const QDateTime& when);
    void inboxChanged();
    // A receive or send run the operator started is over.
    void receiveFinished();
    void sendFinished();
    // An error description the loading left pending, shown once by the main window; empty
    // when there was none.
    void startUpFinished(const QString& pendingError);
    // done of total devices probed by the modem search.
    void discoveryProgress(int done, int total);
    // The search is over: what answered (nothing when cancelled), and how many devices it tried.
    void discoveryFinished(const QList<modem::FoundModem>& modems, int searched, bool cancelled);
    void connectionTestProgress(int test, const QString& step);
    void connectionTestFinished(int test, const mail::ConnectionReport& report);
    // The SIM manager's listing of one status, in the modem's order.
    void simMessagesListed(int request, const QString& status, const QList<engine::SimMessageRow>& rows);
    void simRequestFinished(int request, engine::SimRequestOutcome outcome);

private:
    // Marks the run of a timer's tick: notices raised in it are not for a box.
    class TimerRun
    {
    public:
        explicit TimerRun(bool& flag) : m_flag(flag), m_previous(flag) { m_flag = true; }
        ~TimerRun() { m_flag = m_previous; }
        TimerRun(const TimerRun&) = delete;
        TimerRun& operator=(const TimerRun&) = delete;

    private:
        bool& m_flag;
        bool m_previous;
    };

    void raiseNotice(const QString& text);
    void onPortLost();
    void armMailboxTimer();
    void applyTimers();
    void reportStoreError(const store::StoreError& error);
    // A stored mailbox port (or, with mailbox false, SMTP port) that is no port number: logged
    // when the settings are read; that route is then not used.
    void reportRefusedPorts(bool mailbox = true);
    // Stored delivery words the loading did not know: logged once per loading.
    void reportUnknownWords();
    // The missed-call reply, once the call-state answer of this tick says the call is over.
    void queueMissedCallReply();
    void listSimForManager(int request, const QStringList& statuses);
    void deleteSimRows(int request, const QList<SimMessageRow>& rows);
    void deleteSimStatuses(int request, const QStringList& statuses);
    // A readable received SMS leaves the SIM only through the inbox: the receiver takes what
    // it can before the SIM manager deletes anything.
    void receiveBeforeDeleting();
    // The listing was refused for a call, or came not at all: logged, and the outcome to report.
    std::optional<SimRequestOutcome> simListingFailure(const modem::SimListing& listing, const QString& what);

    QString m_storePath;
    const store::Clock& m_clock;
    store::Database m_db;
    store::GatewaySettings m_settings;
    store::ActivityLog m_log;
    QString m_programDir;
    QString m_pendingError;
    QString m_lastCallStateAnswer;
    ModemJob m_job = ModemJob::None;
    bool m_callInProgress = false;
    bool m_inTimerRun = false;
    // A timer fires only with a period and while enabled; a call in progress disables the
    // receive and send timers without losing their periods.
    int m_timer1Period = 0;
    int m_timer2Period = 0;
    bool m_timer1Enabled = true;
    bool m_timer2Enabled = true;

    modem::AtLink m_link;
    SoundPlayer m_sounds;
    modem::SimCommands m_sim;
    modem::CallHandler m_calls;
    AutoReplies m_replies;
    mail::SmtpGateway m_smtp;
    OutboxDispatcher m_dispatcher;
    InboxReceiver m_receiver;
    int m_pop3TimeoutMs = 10000;
    std::atomic<bool> m_discoveryCancelled = false;
    std::atomic<bool> m_connectionTestCancelled = false;
    std::atomic<int> m_lastConnectionTest = 0;
    std::atomic<int> m_lastSimRequest = 0;
    std::atomic<bool> m_stopping = false;

    QTimer m_timer1;
    QTimer m_timer2;
    QTimer m_timerWebMailToSMS;
    QTimer m_timerRefreshHomePage;
};

// A timer period of 0 means the timer does not fire (a QTimer with 0 would fire constantly).
void setTimerPeriod(QTimer& timer, int milliseconds);
// Runs the timer with the period while enabled, without restarting a running countdown.
void applyTimer(QTimer& timer, int milliseconds, bool enabled);

} // namespace engine
