#include "Gateway.h"

#include "Store.h"

#include <QLoggingCategory>

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

Gateway::Gateway(QString storePath, const store::Clock& clock, QObject* parent)
    : QObject(parent),
      m_storePath(std::move(storePath)),
      m_clock(clock),
      m_log(clock),
      m_timer1(this),
      m_timer2(this),
      m_timerWebMailToSMS(this),
      m_timerRefreshHomePage(this)
{
    m_timer1.setObjectName(u"Timer1"_s);
    m_timer2.setObjectName(u"Timer2"_s);
    m_timerWebMailToSMS.setObjectName(u"Timer_WebMailToSMS"_s);
    m_timerRefreshHomePage.setObjectName(u"timerRefreshHomePage"_s);
    connect(&m_timer1, &QTimer::timeout, this, &Gateway::onReceiveTick);
    connect(&m_timer2, &QTimer::timeout, this, &Gateway::onSendTick);
    connect(&m_timerWebMailToSMS, &QTimer::timeout, this, &Gateway::onMailboxTick);
    connect(&m_timerRefreshHomePage, &QTimer::timeout, this, &Gateway::onRefreshTick);
}

Gateway::~Gateway() = default;

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

    AddToActivityLog(u"Initializing WebMail-To-SMS Properties."_s);
    if (auto r = store::loadMailbox(m_db, m_settings); !r)
        reportStoreError(r.error());
    armMailboxTimer();

    AddToActivityLog(u"Initializing SMS Delivery Properties."_s);
    if (auto r = store::loadDelivery(m_db, m_settings); !r)
        reportStoreError(r.error());

    AddToActivityLog(u"Initializing AutoReply On MissedCall Properties."_s);
    if (auto r = store::loadMissedCallReply(m_db, m_settings); !r)
        reportStoreError(r.error());

    if (auto r = store::loadModemDelayFactor(m_db, m_settings); !r)
        reportStoreError(r.error());

    m_ringCounter = 1;
    Q_EMIT modemStateChanged(ModemConnected);

    AddToActivityLog(u"Initializing Timer Properties."_s);
    if (auto r = store::loadTimerPeriods(m_db, m_settings); !r)
        reportStoreError(r.error());

    // The receive and send timers stay without a period until the modem is connected.
    setTimerPeriod(m_timer1, 0);
    setTimerPeriod(m_timer2, 0);
    m_timerRefreshHomePage.start(1000);

    Q_EMIT startUpFinished(m_pendingError);
    m_pendingError.clear();
}

void Gateway::armMailboxTimer()
{
    // Polling stays off without a settings row, and with an interval that is no number.
    setTimerPeriod(m_timerWebMailToSMS, m_settings.IsEnabled ? m_settings.emailCheckIntervalMs() : 0);
}

void Gateway::shutDown()
{
    m_timer1.stop();
    m_timer2.stop();
    m_timerWebMailToSMS.stop();
    m_timerRefreshHomePage.stop();
    m_db = store::Database();
}

void Gateway::onReceiveTick()
{
}

void Gateway::onSendTick()
{
}

void Gateway::onMailboxTick()
{
}

void Gateway::onRefreshTick()
{
}

} // namespace engine
