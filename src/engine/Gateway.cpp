#include "Gateway.h"

#include "MailDays.h"
#include "MessageCounts.h"
#include "ModemStartUp.h"
#include "PageMarks.h"
#include "Pop3Mailbox.h"
#include "SerialPortName.h"
#include "SettingsTables.h"
#include "Store.h"

#include <QLoggingCategory>
#include <QThread>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcActivity, "tarvogate.activity", QtInfoMsg)

namespace engine {

void setTimerPeriod(QTimer& timer, int milliseconds)
{
    if (milliseconds <= 0)
        timer.stop();
    else
        timer.start(milliseconds);
}

void applyTimer(QTimer& timer, int milliseconds, bool enabled)
{
    if (!enabled || milliseconds <= 0)
        timer.stop();
    else if (!timer.isActive() || timer.interval() != milliseconds)
        timer.start(milliseconds);
}

Gateway::Gateway(QString storePath, const store::Clock& clock, QString programDir, QObject* parent)
    : QObject(parent), m_storePath(std::move(storePath)), m_clock(clock), m_log(clock),
      m_programDir(std::move(programDir)), m_link(this), m_sounds(m_programDir, this),
      m_sim(
          m_link, [this] { return m_settings.ModemDelayFactor; }, [this](const QString& line) { AddToActivityLog(line); }),
      m_calls(m_db, clock, this), m_replies(m_db, [this](const QString& line) { AddToActivityLog(line); }),
      m_dispatcher({m_db, clock, m_settings, m_link, m_sim,
                    [this](const store::OutboxRow& row) { return SendEmailToSMSGateway(row); },
                    [this](const QString& line) { AddToActivityLog(line); }, [this] { Q_EMIT messagesSent(); },
                    [](int ms) { QThread::msleep(ulong(ms)); }, [this] { return isStopping(); }}),
      m_receiver({m_db, clock, m_link, m_sim, m_sounds, m_replies, [this](const QString& line) { AddToActivityLog(line); },
                  [this](const QString& text) { raiseNotice(text); },
                  [this](qint64 id, const QString& sender, const QString& text, const QDateTime& when) {
                      Q_EMIT messageStored(id, sender, text, when);
                  },
                  [this] { Q_EMIT inboxChanged(); }, [this] { m_callInProgress = true; }}),
      m_timer1(this), m_timer2(this), m_timerWebMailToSMS(this), m_timerRefreshHomePage(this)
{
    m_timer1.setObjectName(u"Timer1"_s);
    m_timer2.setObjectName(u"Timer2"_s);
    m_timerWebMailToSMS.setObjectName(u"Timer_WebMailToSMS"_s);
    m_timerRefreshHomePage.setObjectName(u"timerRefreshHomePage"_s);
    m_smtp.setTrustStore(&m_db);
    connect(&m_timer1, &QTimer::timeout, this, &Gateway::onReceiveTick);
    connect(&m_timer2, &QTimer::timeout, this, &Gateway::onSendTick);
    connect(&m_timerWebMailToSMS, &QTimer::timeout, this, &Gateway::onMailboxTick);
    connect(&m_timerRefreshHomePage, &QTimer::timeout, this, &Gateway::refreshTick);

    connect(&m_link, &modem::AtLink::logLine, this, &Gateway::AddToActivityLog);
    connect(&m_link, &modem::AtLink::notice, this, &Gateway::raiseNotice);
    connect(&m_link, &modem::AtLink::unsolicitedLine, &m_calls, &modem::CallHandler::onUnsolicitedLine);
    connect(&m_link, &modem::AtLink::portLost, this, &Gateway::onPortLost);
    connect(&m_calls, &modem::CallHandler::ringingChanged, &m_link, &modem::AtLink::setCallRinging);
    connect(&m_calls, &modem::CallHandler::logLine, this, &Gateway::AddToActivityLog);
    connect(&m_calls, &modem::CallHandler::notice, this, &Gateway::raiseNotice);
    connect(&m_calls, &modem::CallHandler::callerIdentified, this, &Gateway::callerIdentified);
    connect(&m_calls, &modem::CallHandler::rang, this, [this] { m_sounds.PlayWaveFile(u"ringing.wav"_s); });
    connect(&m_calls, &modem::CallHandler::callerHungUp, this, [this] {
        m_timer1Enabled = true;
        m_timer2Enabled = true;
        applyTimers();
        Q_EMIT callerHungUp();
    });
}

Gateway::~Gateway() = default;

void Gateway::requestStop()
{
    m_stopping = true;
    m_link.requestAbort();
    // A silent mail server would otherwise hold the engine for the whole mail time-out.
    m_smtp.requestAbort();
    m_connectionTestCancelled = true;
}

void Gateway::raiseNotice(const QString& text)
{
    if (!m_inTimerRun) {
        Q_EMIT notice(text);
        return;
    }
    // Nobody started this run and nobody may be there: the log keeps it, and the screens
    // show it without a box that waits for a click.
    AddToActivityLog(u"**NOTICE** "_s + text);
    Q_EMIT backgroundNotice(text);
}

void Gateway::onPortLost()
{
    m_callInProgress = false;
    m_timer1Period = 0;
    m_timer2Period = 0;
    // Messages can still leave by e-mail.
    if (store::sendsWithoutModem(m_settings.deliveryMedia))
        m_timer2Period = m_settings.SendIntervalSeconds * 1000;
    applyTimers();
    Q_EMIT modemStateChanged(false, false);
}

void Gateway::reportRefusedPorts(bool mailbox)
{
    // Said once when the settings are read, not only at each tick that cannot run.
    if (mailbox) {
        if (m_settings.IsEnabled && !store::portNumber(m_settings.POP3Port))
            AddToActivityLog(mail::pop3PortRefusedLine(m_settings.POP3Port));
        return;
    }
    if (store::sendsWithoutModem(m_settings.deliveryMedia) && m_settings.SMSSMTPPort == 0)
        AddToActivityLog(mail::smtpPortRefusedText().trimmed());
}

void Gateway::reportUnknownWords()
{
    for (const QString& line : std::exchange(m_settings.unknownWords, {}))
        AddToActivityLog(line);
}

void Gateway::AddToActivityLog(const QString& message)
{
    if (!m_log.add(message))
        return;
    // The log lives only in memory; a copy on standard error lets an administrator follow an
    // unattended gateway (QT_LOGGING_RULES="tarvogate.activity=false" silences it).
    const QString line = m_log.lineFor(message);
    qCInfo(lcActivity).noquote() << line;
    Q_EMIT activityLogged(line);
    Q_EMIT activityLogChanged(m_log.text());
}

void Gateway::setActivityLogOn(bool on)
{
    m_log.setOn(on);
}

void Gateway::clearActivityLog()
{
    m_log.clear();
    Q_EMIT activityLogChanged(m_log.text());
}

void Gateway::reportStoreError(const store::StoreError& error)
{
    AddToActivityLog(u"**ERROR** "_s + error.message);
    if (m_pendingError.isEmpty())
        m_pendingError = error.message;
}

void Gateway::startUp()
{
    if (!m_db.isOpen()) {
        auto db = store::openStore(m_storePath);
        if (!db) {
            reportStoreError(db.error());
            Q_EMIT startUpFinished(m_pendingError);
            return;
        }
        m_db = std::move(*db);
    }
    // The lists and the dashboard trust the totals the store keeps; a file edited by hand, or
    // rows changed with the triggers gone, would show wrong numbers for good. Checked here, on
    // the engine's thread, because at a million rows it takes a good part of a second.
    if (auto rebuilt = store::reconcileCounts(m_db); !rebuilt)
        reportStoreError(rebuilt.error());
    else if (*rebuilt)
        AddToActivityLog(u"The message counts disagreed with the messages and were rebuilt."_s);
    if (auto rebuilt = store::reconcileMarks(m_db); !rebuilt)
        reportStoreError(rebuilt.error());
    else if (*rebuilt > 0)
        AddToActivityLog(
            u"The page marks of %1 message lists disagreed with the messages and were rebuilt."_s.arg(*rebuilt));

    AddToActivityLog(u"Initializing WebMail-To-SMS Properties."_s);
    if (auto r = store::loadMailbox(m_db, m_settings); !r)
        reportStoreError(r.error());
    reportRefusedPorts();
    armMailboxTimer();

    AddToActivityLog(u"Initializing SMS Delivery Properties."_s);
    if (auto r = store::loadDelivery(m_db, m_settings); !r)
        reportStoreError(r.error());
    reportUnknownWords();
    reportRefusedPorts(false);

    AddToActivityLog(u"Initializing AutoReply On MissedCall Properties."_s);
    if (auto r = store::loadMissedCallReply(m_db, m_settings); !r)
        reportStoreError(r.error());

    if (auto r = store::loadModemDelayFactor(m_db, m_settings); !r)
        reportStoreError(r.error());

    m_calls.RingCounter = 1;
    Q_EMIT modemStateChanged(false, m_link.isOpen());

    AddToActivityLog(u"Initializing Timer Properties."_s);
    if (auto r = store::loadTimerPeriods(m_db, m_settings); !r)
        reportStoreError(r.error());

    // The receive and send timers stay without a period until the modem is connected.
    m_timer1Period = 0;
    m_timer2Period = 0;
    applyTimers();
    m_timerRefreshHomePage.start(1000);

    // A run that never finished leaves its rows SENDING; the settings screen's reset frees them.
    if (auto sending = store::OutboxTable(m_db).countSending(); sending && *sending > 0)
        AddToActivityLog(u"**NOTICE** %1 outbox message(s) were left 'SENDING' by an earlier run and are not sent "
                         u"again until their status is reset in the settings."_s.arg(*sending));

    if (m_settings.deliveryMedia != store::DeliveryMedia::SmtpGateway) {
        ConnectModem();
    } else {
        // E-mail delivery needs no modem: an unattended restart must go on sending.
        m_timer2Period = m_settings.SendIntervalSeconds * 1000;
        applyTimers();
    }

    Q_EMIT startUpFinished(m_pendingError);
    m_pendingError.clear();
}

void Gateway::applyTimers()
{
    applyTimer(m_timer1, m_timer1Period, m_timer1Enabled);
    applyTimer(m_timer2, m_timer2Period, m_timer2Enabled);
}

void Gateway::ConnectModem()
{
    AddToActivityLog(u"Connecting to GSM Modem."_s);
    auto row = store::SettingsTables(m_db).modemSettings();
    if (!row) {
        reportStoreError(row.error());
        return;
    }
    if (!row->has_value()) {
        raiseNotice(u"Please set all the settings before connecting with modem."_s);
        Q_EMIT settingsRequested();
        return;
    }
    const store::ModemSettingsRow& modemRow = **row;
    const QString flowControl = modemRow.FlowControl.trimmed();
    const QString characterSet = modemRow.CharacterSet.trimmed();
    const QString lineText =
        QStringList{modemRow.BitsPerSecond, modemRow.Parity, modemRow.DataBits, modemRow.StopBits}.join(u',').trimmed();
    const QString port = modem::serialDevicePath(modemRow.CommPortName, modemRow.CommPortNo);

    modem::LineSettings line;
    // The flow control the modem is told to use (AT+FLO) is the one the port uses too.
    const QSerialPort::FlowControl flow = flowControl == u"2"_s   ? QSerialPort::HardwareControl
                                          : flowControl == u"1"_s ? QSerialPort::SoftwareControl
                                                                  : QSerialPort::NoFlowControl;
    if (port.isEmpty()) {
        Q_EMIT noModemFound(modem::openFailureText(modem::OpenFailure::NotFound, modemRow.CommPortNo, QString()));
    } else if (!modem::parseLineSettings(lineText, line)) {
        raiseNotice(u"The line settings '%1' of the modem are not complete: choose the speed, parity, data bits and "
                      u"stop bits in the settings, then connect."_s.arg(lineText));
    } else if (m_link.ConfigurePort(port, line, flow) || m_link.isOpen()) {
        if (!m_link.OpenPort()) {
            if (m_link.lastOpenFailure() == modem::OpenFailure::NotFound)
                Q_EMIT noModemFound(m_link.lastOpenFailureText());
            else
                raiseNotice(m_link.lastOpenFailureText());
        }
    }

    if (m_link.isConnected() && m_link.isOpen()) {
        AddToActivityLog(u"Connection to GSM Modem successful."_s);
        m_callInProgress = false;
        modem::InitialiseModem(m_link, flowControl, characterSet, modemRow.EnabledCallerId,
                               m_settings.ModemDelayFactor);
        m_timer1Period = m_settings.ReceiveIntervalSeconds * 1000;
        m_timer2Period = m_settings.SendIntervalSeconds * 1000;
        applyTimers();
        Q_EMIT modemStateChanged(true, m_link.isOpen());
        return;
    }
    m_link.ClosePort();
    if (store::sendsWithoutModem(m_settings.deliveryMedia)) {
        // Messages can still leave by e-mail.
        m_timer2Period = m_settings.SendIntervalSeconds * 1000;
        m_timer2Enabled = true;
        applyTimers();
    } else {
        AddToActivityLog(u"Connection to GSM modem failed."_s);
    }
    Q_EMIT modemStateChanged(false, false);
}

void Gateway::DisconnectModem()
{
    AddToActivityLog(u"Disconnecting GSM Modem."_s);
    m_link.ClosePort();
    m_callInProgress = false;
    AddToActivityLog(u"GSM Modem disconnected."_s);
    m_timer1Period = 0;
    m_timer2Period = 0;
    applyTimers();
    Q_EMIT modemStateChanged(false, false);
}

void Gateway::toggleModemConnection()
{
    if (m_link.isOpen())
        DisconnectModem();
    else
        ConnectModem();
}

void Gateway::setSetupWindowOpen(bool open)
{
    m_calls.IsSetupWindowOpen = open;
}

void Gateway::setMissedCallReplyText(const QString& text)
{
    m_settings.MissedCallReplyText = store::trimBlanks(text);
}

void Gateway::applyMissedCallReplySettings()
{
    if (!m_db.isOpen())
        return;
    if (auto r = store::loadMissedCallReply(m_db, m_settings); !r)
        reportStoreError(r.error());
}

void Gateway::refreshTick()
{
    const TimerRun run(m_inTimerRun);
    m_lastCallStateAnswer.clear();
    PollCallState();
    queueMissedCallReply();
    // The lists' page marks grow where new rows arrive; a grown stretch is cut here, off the
    // path of every insert.
    if (m_db.isOpen()) {
        if (auto cut = store::splitLongStretches(m_db); !cut)
            reportStoreError(cut.error());
        // Likewise the e-mail inbox's days whose e-mails changed are packed again here.
        if (auto packed = store::refreshMailDays(m_db); !packed)
            reportStoreError(packed.error());
    }
}

void Gateway::queueMissedCallReply()
{
    if (!m_settings.MissedCallReplyOn || m_settings.MissedCallReplyText.isEmpty())
        return;
    const std::optional<QString> caller = m_calls.missedCallOver(m_lastCallStateAnswer);
    if (!caller)
        return;
    if (auto queued = m_replies.queueMissedCallReply(*caller, m_settings.MissedCallReplyText, m_clock.now());
        !queued) {
        // Kept for the next tick rather than lost.
        AddToActivityLog(u"**ERROR** The reply to the missed call from '%1' could not be queued: %2"_s.arg(
            *caller, queued.error().message));
        return;
    }
    m_calls.forgetMissedCall();
}

void Gateway::PollCallState()
{
    if (!m_link.isConnected() || !m_link.isInitialised() || m_job != ModemJob::None)
        return;
    const ModemJobGuard job(m_job, ModemJob::CallState);
    modem::AtAnswer answer;
    const QString state = modem::withoutCrLf(m_sim.GetCallState(&answer)).trimmed().toUpper();
    m_lastCallStateAnswer = answer.text();
    if (state == u"ACTIVE"_s || state == u"INCOMING"_s || state == u"DIALING"_s || state == u"ALERTING"_s) {
        // No SMS command in the middle of a call.
        m_callInProgress = true;
        m_timer1Enabled = false;
        m_timer2Enabled = false;
        m_calls.takeCallerFromCallList(m_lastCallStateAnswer);
    } else {
        m_callInProgress = false;
        if (state.contains(u"OK"_s)) {
            m_calls.callEnded();
            m_timer1Enabled = true;
            m_timer2Enabled = true;
        }
    }
    applyTimers();
}

void Gateway::armMailboxTimer()
{
    // Polling stays off without a settings row, and with an interval that is no number.
    setTimerPeriod(m_timerWebMailToSMS, m_settings.IsEnabled ? m_settings.emailCheckIntervalMs() : 0);
}

void Gateway::shutDown()
{
    m_link.ClosePort();
    m_timer1.stop();
    m_timer2.stop();
    m_timerWebMailToSMS.stop();
    m_timerRefreshHomePage.stop();
    m_db = store::Database();
}

void Gateway::onReceiveTick()
{
    const TimerRun run(m_inTimerRun);
    if (!m_link.isConnected() || !m_link.isInitialised())
        return;
    m_timer1Period = m_settings.ReceiveIntervalSeconds * 1000;
    applyTimers();
    if (m_callInProgress || m_job != ModemJob::None)
        return;
    AddToActivityLog(u"Checking for new SMS on SIM card."_s);
    ReceiveSIMMessages(modem::scaledWait(400, m_settings.ModemDelayFactor));
}

void Gateway::onSendTick()
{
    const TimerRun run(m_inTimerRun);
    if (!store::sendsWithoutModem(m_settings.deliveryMedia) && !(m_link.isInitialised() && m_link.isConnected()))
        return;
    m_timer2Period = m_settings.SendIntervalSeconds * 1000;
    applyTimers();
    if (m_callInProgress || m_job != ModemJob::None)
        return;
    AddToActivityLog(u"Checking if there are any SMS to be sent."_s);
    SendOutboxMessages();
}

void Gateway::SendOutboxMessages()
{
    if (!m_db.isOpen() || m_job != ModemJob::None)
        return;
    const ModemJobGuard job(m_job, ModemJob::Send);
    m_dispatcher.SendOutboxMessages();
}

void Gateway::ReceiveSIMMessages(int waitMs)
{
    if (!m_db.isOpen() || m_job != ModemJob::None)
        return;
    const ModemJobGuard job(m_job, ModemJob::Receive);
    m_receiver.ReceiveSIMMessages(waitMs);
}

void Gateway::sendAll()
{
    SendOutboxMessages();
    Q_EMIT sendFinished();
}

void Gateway::receiveAll()
{
    ReceiveSIMMessages(modem::scaledWait(200, m_settings.ModemDelayFactor));
    Q_EMIT receiveFinished();
}

void Gateway::onMailboxTick()
{
    const TimerRun run(m_inTimerRun);
    if (!m_settings.IsEnabled || !m_db.isOpen())
        return;
    AddToActivityLog(u"Checking POP3 account for Webmail-to-SMS on the server: "_s + m_settings.POP3MailServer);
    mail::MailboxPollHooks hooks;
    hooks.log = [this](const QString& line) { AddToActivityLog(line); };
    hooks.notice = [this](const QString& text) { raiseNotice(text); };
    hooks.abort = &m_smtp.abortFlag();
    mail::ProcessWebMailToSMSMailbox(m_settings, m_db, m_clock, hooks, m_pop3TimeoutMs);
}

QString Gateway::SendEmailToSMSGateway(const store::OutboxRow& row)
{
    return mail::SendEmailToSMSGateway(m_smtp, m_settings, row,
                                       [this](const QString& line) { AddToActivityLog(line); });
}

int Gateway::startMailboxTest(mail::Pop3Mailbox::Account account)
{
    const int test = ++m_lastConnectionTest;
    m_connectionTestCancelled = isStopping();
    QMetaObject::invokeMethod(
        this,
        [this, test, account = std::move(account)]() mutable {
            account.timeoutMs = m_pop3TimeoutMs;
            account.abort = &m_connectionTestCancelled;
            account.log = [this](const QString& line) { AddToActivityLog(line); };
            account.pinnedKey = mail::trustedKeyFor(m_db, account.server, account.port);
            const mail::ConnectionReport report = mail::testPop3Connection(
                account, [this, test](const QString& step) { Q_EMIT connectionTestProgress(test, step); });
            Q_EMIT connectionTestFinished(test, report);
        },
        Qt::QueuedConnection);
    return test;
}

int Gateway::startSmtpTest(mail::SmtpServer server)
{
    const int test = ++m_lastConnectionTest;
    m_connectionTestCancelled = isStopping();
    QMetaObject::invokeMethod(
        this,
        [this, test, server = std::move(server)]() mutable {
            server.pinnedKey = mail::trustedKeyFor(m_db, server.server, server.port);
            server.pop3PinnedKey = mail::trustedKeyFor(m_db, server.server, server.pop3Port);
            const mail::ConnectionReport report =
                mail::testSmtpConnection(server, m_smtp.timeoutMs(), &m_connectionTestCancelled,
                                         [this, test](const QString& step) { Q_EMIT connectionTestProgress(test, step); });
            Q_EMIT connectionTestFinished(test, report);
        },
        Qt::QueuedConnection);
    return test;
}

void Gateway::startDiscovery(const QStringList& ports)
{
    m_discoveryCancelled = false;
    QMetaObject::invokeMethod(
        this, [this, ports] { discoverModems(ports); }, Qt::QueuedConnection);
}

void Gateway::discoverModems(const QStringList& ports)
{
    if (m_link.isOpen()) {
        raiseNotice(u"You can not search for a modem while the computer is connected with the modem. Disconnect "
                      u"it first."_s);
        Q_EMIT discoveryFinished({}, 0, true);
        return;
    }
    modem::DiscoveryHooks hooks;
    hooks.progress = [this](int done, int total) { Q_EMIT discoveryProgress(done, total); };
    hooks.cancelled = [this] { return m_discoveryCancelled.load() || m_link.isAborting(); };
    const modem::DiscoveryResult result = modem::discoverModems(m_link, ports, m_settings.ModemDelayFactor, hooks);
    Q_EMIT discoveryFinished(result.modems, result.searched, result.cancelled);
}

void Gateway::applyMailboxSettings()
{
    if (auto r = store::loadMailbox(m_db, m_settings); !r)
        reportStoreError(r.error());
    reportRefusedPorts();
    armMailboxTimer();
}

void Gateway::applyDeliverySettings()
{
    // The values become what the next start would load, also where a field was emptied.
    store::resetDelivery(m_settings);
    if (auto r = store::loadDelivery(m_db, m_settings); !r)
        reportStoreError(r.error());
    reportUnknownWords();
    reportRefusedPorts(false);
}

void Gateway::applyTimerSettings()
{
    if (auto r = store::loadTimerPeriods(m_db, m_settings); !r)
        reportStoreError(r.error());
    // A disabled timer has the period 0 and stops; an enabled one runs only with the modem
    // connected, except that e-mail delivery sends without a modem.
    const int receiveMs = m_settings.ReceiveIntervalSeconds * 1000;
    const int sendMs = m_settings.SendIntervalSeconds * 1000;
    if (receiveMs == 0 || m_link.isConnected())
        m_timer1Period = receiveMs;
    if (sendMs == 0 || m_link.isConnected())
        m_timer2Period = sendMs;
    if (store::sendsWithoutModem(m_settings.deliveryMedia))
        m_timer2Period = sendMs;
    applyTimers();
}

void Gateway::applyModemSettings()
{
    if (auto r = store::loadModemDelayFactor(m_db, m_settings); !r)
        reportStoreError(r.error());
}

void Gateway::setMailTimeoutMs(int timeoutMs)
{
    m_pop3TimeoutMs = timeoutMs;
    m_smtp.setTimeoutMs(timeoutMs);
}

namespace {

// A received SMS that can be read belongs to the inbox; the receiver takes it from there.
bool belongsToInbox(const modem::SimEntry& entry)
{
    return (entry.status == 0 || entry.status == 1) && entry.message &&
           entry.message->kind == modem::SmsPdu::Kind::Deliver;
}

bool holdsReceivedMessages(const QString& status)
{
    const int stat = modem::pduListingStatus(status);
    return stat == 0 || stat == 1 || stat == 4;
}

SimMessageRow simMessageRow(const modem::SimEntry& entry)
{
    SimMessageRow row;
    row.index = entry.index;
    row.status = entry.status;
    row.pdu = entry.pdu;
    if (entry.message) {
        row.text = entry.message->text;
        row.number = entry.message->address;
    } else {
        row.text = u"(not readable: %1)"_s.arg(entry.problem);
    }
    return row;
}

QString failedDeleteText(int index)
{
    return u"Error occured while executing this command: AT+CMGD="_s + QString::number(index);
}

QString stillForTheInbox(const QString& sender, int index)
{
    return u"**WARNING** The SMS from %1 in SIM slot %2 stays on the SIM card until the receiver has moved it to the "
           u"inbox."_s.arg(sender)
        .arg(index);
}

} // namespace

int Gateway::requestSimListing(const QStringList& statuses)
{
    const int request = ++m_lastSimRequest;
    QMetaObject::invokeMethod(
        this, [this, request, statuses] { listSimForManager(request, statuses); }, Qt::QueuedConnection);
    return request;
}

int Gateway::requestSimDelete(const QList<SimMessageRow>& rows)
{
    const int request = ++m_lastSimRequest;
    QMetaObject::invokeMethod(
        this, [this, request, rows] { deleteSimRows(request, rows); }, Qt::QueuedConnection);
    return request;
}

int Gateway::requestSimDeleteByStatus(const QStringList& statuses)
{
    const int request = ++m_lastSimRequest;
    QMetaObject::invokeMethod(
        this, [this, request, statuses] { deleteSimStatuses(request, statuses); }, Qt::QueuedConnection);
    return request;
}

std::optional<SimRequestOutcome> Gateway::simListingFailure(const modem::SimListing& listing, const QString& what)
{
    for (const QString& problem : listing.problems)
        AddToActivityLog(u"**WARNING** The SIM listing held something that is no message, left alone: "_s + problem);
    if (listing.callInProgress) {
        m_callInProgress = true;
        AddToActivityLog(u"**NOTICE** %1: a call is in progress."_s.arg(what));
        return SimRequestOutcome::CallInProgress;
    }
    if (!listing.listed) {
        AddToActivityLog(u"**ERROR** %1: the modem did not list the SIM card."_s.arg(what));
        return SimRequestOutcome::NotRead;
    }
    return std::nullopt;
}

void Gateway::listSimForManager(int request, const QStringList& statuses)
{
    if (!m_link.isConnected()) {
        Q_EMIT simRequestFinished(request, SimRequestOutcome::NotConnected);
        return;
    }
    const ModemJobGuard job(m_job, ModemJob::SimManager);
    SimRequestOutcome outcome = SimRequestOutcome::Done;
    for (const QString& status : statuses) {
        if (isStopping())
            break;
        // The screen's wait is a fixed one, not scaled by the delay factor.
        const modem::SimListing listing = m_sim.ListSimMessages(status, 1500);
        QList<SimMessageRow> rows;
        if (const auto failure = simListingFailure(listing, u"The SIM card was not read"_s))
            outcome = *failure;
        else
            for (const modem::SimEntry& entry : listing.entries)
                rows.append(simMessageRow(entry));
        Q_EMIT simMessagesListed(request, status, rows);
    }
    Q_EMIT simRequestFinished(request, outcome);
}

void Gateway::receiveBeforeDeleting()
{
    if (!m_db.isOpen())
        return; // nowhere to keep them: the readable ones stay on the SIM
    AddToActivityLog(u"Received SMS go to the inbox before anything is deleted from the SIM card."_s);
    m_receiver.ReceiveSIMMessages(modem::scaledWait(200, m_settings.ModemDelayFactor));
}

void Gateway::deleteSimRows(int request, const QList<SimMessageRow>& rows)
{
    if (!m_link.isConnected()) {
        Q_EMIT simRequestFinished(request, SimRequestOutcome::NotConnected);
        return;
    }
    const ModemJobGuard job(m_job, ModemJob::SimManager);
    if (std::ranges::any_of(rows, [](const SimMessageRow& row) { return row.status == 0 || row.status == 1; }))
        receiveBeforeDeleting();
    // The slots as they are now: since the list was shown, the receiver may have emptied a slot
    // and a new SMS may have arrived in it, which nobody has seen.
    const modem::SimListing listing =
        m_sim.ListSimMessages(u"ALL"_s, modem::scaledWait(200, m_settings.ModemDelayFactor));
    if (const auto failure = simListingFailure(listing, u"Nothing was deleted from the SIM card"_s)) {
        Q_EMIT simRequestFinished(request, *failure);
        return;
    }
    for (const SimMessageRow& row : rows) {
        if (isStopping() || !m_link.isConnected())
            break;
        const auto now = std::ranges::find(listing.entries, row.index, &modem::SimEntry::index);
        if (now == listing.entries.end())
            continue; // gone already: into the inbox, or deleted by someone else
        if (now->pdu.trimmed().compare(row.pdu.trimmed(), Qt::CaseInsensitive) != 0) {
            AddToActivityLog(u"**WARNING** SIM slot %1 holds another SMS than the one listed; it stays on the SIM "
                             u"card."_s.arg(row.index));
            continue;
        }
        if (belongsToInbox(*now)) {
            AddToActivityLog(stillForTheInbox(now->message->address, row.index));
            continue;
        }
        if (!now->message)
            AddToActivityLog(u"**WARNING** SIM slot %1 holds an SMS that cannot be read; deleted as listed: %2"_s.arg(
                row.index)
                                 .arg(now->pdu));
        if (!m_sim.DeleteSimMessage(row.index))
            AddToActivityLog(failedDeleteText(row.index));
    }
    Q_EMIT simRequestFinished(request, SimRequestOutcome::Done);
}

void Gateway::deleteSimStatuses(int request, const QStringList& statuses)
{
    if (!m_link.isConnected()) {
        Q_EMIT simRequestFinished(request, SimRequestOutcome::NotConnected);
        return;
    }
    const ModemJobGuard job(m_job, ModemJob::SimManager);
    if (std::ranges::any_of(statuses, holdsReceivedMessages))
        receiveBeforeDeleting();
    SimRequestOutcome outcome = SimRequestOutcome::Done;
    for (const QString& status : statuses) {
        if (isStopping() || !m_link.isConnected())
            break;
        const modem::SimDeletion deletion = m_sim.DeleteSimMessagesByStatus(status, belongsToInbox);
        if (const auto failure = simListingFailure(deletion.listing, u"Nothing was deleted from the SIM card"_s)) {
            outcome = *failure;
            break;
        }
        for (const modem::SimEntry& entry : deletion.listing.entries) {
            if (std::ranges::find(deletion.kept, entry.index) != deletion.kept.end())
                AddToActivityLog(stillForTheInbox(entry.message->address, entry.index));
            else if (std::ranges::find(deletion.failed, entry.index) != deletion.failed.end())
                AddToActivityLog(failedDeleteText(entry.index));
            else if (!entry.message)
                AddToActivityLog(u"**WARNING** SIM slot %1 held an SMS that cannot be read; deleted as listed: %2"_s
                                     .arg(entry.index)
                                     .arg(entry.pdu));
        }
    }
    Q_EMIT simRequestFinished(request, outcome);
}

} // namespace engine
