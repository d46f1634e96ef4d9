#include "Dashboard.h"

#include "CallTable.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "LinkLabel.h"
#include "OutboxTable.h"
#include "ScreenParts.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

QLabel* heading(const QString& text, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    QFont f = label->font();
    f.setBold(true);
    label->setFont(f);
    return label;
}

void showCount(LinkLabel* label, const QString& caption, const std::expected<qint64, store::StoreError>& count)
{
    if (count)
        label->setText(caption + u" ("_s + QString::number(*count) + u")"_s);
}

// How many lines `after` has gained at its top over `before`. The log only ever grows at the top
// and loses lines at the bottom when it is trimmed, so `after` is new lines followed by a
// beginning of `before`; anything else (a cleared log) counts as nothing gained.
int linesAddedOnTop(const QString& before, const QString& after)
{
    if (before.isEmpty())
        return 0;
    int lines = 0;
    for (qsizetype from = 0; from < after.size(); ++lines) {
        if (before.startsWith(QStringView(after).mid(from)))
            return lines;
        const qsizetype lineEnd = after.indexOf(u'\n', from);
        if (lineEnd < 0)
            break;
        from = lineEnd + 1;
    }
    return 0;
}

} // namespace

Dashboard::Dashboard(const store::Database& db, engine::Gateway* gateway, const store::Clock& clock, QWidget* parent)
    : QWidget(parent), m_db(db), m_gateway(gateway), m_clock(clock)
{
    setObjectName(u"frm_HomePage"_s);
    setWindowTitle(u"Home"_s);

    m_missCall = named(new LinkLabel(u"Missed Calls (0)"_s, this), u"LblMissCall"_s);
    m_inBox = named(new LinkLabel(u"Inbox (0)"_s, this), u"lblInBox"_s);
    m_outBox = named(new LinkLabel(u"Outbox (0)"_s, this), u"lblOutBox"_s);
    // Sends the modem never confirmed: only the operator can tell whether they went, and
    // resets them in the settings to send them again.
    m_notConfirmed = named(new LinkLabel(u"Not confirmed (0)"_s, this), u"lblNotConfirmed"_s);
    m_notConfirmed->setToolTip(u"Messages that went to the modem without a confirmation. They are not sent again "
                               u"by themselves; reset their status under Settings to send them again."_s);
    m_notConfirmed->hide();
    m_today = named(new QLabel(this), u"lblToday"_s);
    m_start = named(new LinkLabel(u"Start"_s, this), u"lblStart"_s);
    m_stop = named(new LinkLabel(u"Stop"_s, this), u"lblStop"_s);
    m_clear = named(new LinkLabel(u"Clear"_s, this), u"lblClear"_s);
    m_log = named(new QPlainTextEdit(this), u"txtActivityLog"_s);
    m_log->setReadOnly(true);
    m_log->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_log->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));

    auto* counters = new QVBoxLayout;
    counters->addWidget(heading(u"Today's Call Report :"_s, this));
    counters->addWidget(m_missCall);
    counters->addSpacing(8);
    counters->addWidget(heading(u"Message Box :"_s, this));
    counters->addWidget(m_inBox);
    counters->addWidget(m_outBox);
    counters->addWidget(m_notConfirmed);
    counters->addStretch();
    auto* todayRow = new QHBoxLayout;
    todayRow->addWidget(heading(u"Today:"_s, this));
    todayRow->addWidget(m_today);
    todayRow->addStretch();
    counters->addLayout(todayRow);

    auto* logLinks = new QHBoxLayout;
    QLabel* logHeading = heading(u"Activity &Log:"_s, this);
    logHeading->setBuddy(m_log);
    logLinks->addWidget(logHeading);
    logLinks->addWidget(new QLabel(u"["_s, this));
    logLinks->addWidget(m_start);
    logLinks->addWidget(new QLabel(u"|"_s, this));
    logLinks->addWidget(m_stop);
    logLinks->addWidget(new QLabel(u"]"_s, this));
    logLinks->addStretch();
    logLinks->addWidget(m_clear);

    auto* logColumn = new QVBoxLayout;
    logColumn->addLayout(logLinks);
    logColumn->addWidget(m_log, 1);

    auto* layout = new QHBoxLayout(this);
    layout->addLayout(counters);
    layout->addSpacing(16);
    layout->addLayout(logColumn, 1);

    connect(m_start, &LinkLabel::clicked, this, &Dashboard::startLog);
    connect(m_stop, &LinkLabel::clicked, this, &Dashboard::stopLog);
    connect(m_clear, &LinkLabel::clicked, this, [this] {
        m_log->clear();
        QMetaObject::invokeMethod(m_gateway, &engine::Gateway::clearActivityLog, Qt::QueuedConnection);
    });
    connect(m_missCall, &LinkLabel::clicked, this, &Dashboard::missedCallsClicked);
    connect(m_inBox, &LinkLabel::clicked, this, [this] {
        msgType = u"I"_s;
        Q_EMIT messageBoxRequested();
    });
    connect(m_outBox, &LinkLabel::clicked, this, [this] {
        msgType = u"O"_s;
        Q_EMIT messageBoxRequested();
    });
    connect(m_notConfirmed, &LinkLabel::clicked, this, [this] {
        msgType = u"O"_s;
        Q_EMIT messageBoxRequested();
    });
    connect(m_gateway, &engine::Gateway::activityLogChanged, this, &Dashboard::showLog);

    // The log is on from the start: "Start" is shown done, "Stop" offered.
    m_start->setEnabled(false);
    m_start->setUnderlined(false);
    m_stop->setEnabled(true);
    QMetaObject::invokeMethod(
        m_gateway, [gateway = m_gateway] { gateway->setActivityLogOn(true); }, Qt::QueuedConnection);

    msgType.clear();
    m_today->setText(m_clock.now().date().toString(u"dd-MMMM-yyyy"_s));
    refreshCounters();
    m_refresh.setObjectName(u"timerRefreshCounters"_s);
    connect(&m_refresh, &QTimer::timeout, this, &Dashboard::refreshCounters);
    m_refresh.start(1000);
}

void Dashboard::refreshCounters()
{
    showCount(m_missCall, u"Missed Calls"_s, store::CallTable(m_db).countMissedOn(m_clock.now().date()));
    showCount(m_inBox, u"Inbox"_s, store::InboxTable(m_db).countUnread());
    showCount(m_outBox, u"Outbox"_s, store::OutboxTable(m_db).countPending());
    const auto unconfirmed = store::OutboxTable(m_db).countSending();
    showCount(m_notConfirmed, u"Not confirmed"_s, unconfirmed);
    m_notConfirmed->setVisible(unconfirmed && *unconfirmed > 0);
}

void Dashboard::startLog()
{
    QMetaObject::invokeMethod(
        m_gateway, [gateway = m_gateway] { gateway->setActivityLogOn(true); }, Qt::QueuedConnection);
    m_stop->setEnabled(true);
    m_stop->setUnderlined(true);
    m_start->setEnabled(false);
    m_start->setUnderlined(false);
}

void Dashboard::stopLog()
{
    QMetaObject::invokeMethod(
        m_gateway, [gateway = m_gateway] { gateway->setActivityLogOn(false); }, Qt::QueuedConnection);
    m_stop->setEnabled(false);
    m_stop->setUnderlined(false);
    m_start->setEnabled(true);
    m_start->setUnderlined(true);
}

void Dashboard::showLog(const QString& text)
{
    // The log separates lines with CR LF; the text box wants plain line feeds.
    QString shown = text;
    shown.replace(u"\r\n"_s, u"\n"_s);
    QScrollBar* vertical = m_log->verticalScrollBar();
    QScrollBar* horizontal = m_log->horizontalScrollBar();
    const int firstLine = vertical->value();
    const int across = horizontal->value();
    const int added = firstLine > 0 ? linesAddedOnTop(m_log->toPlainText(), shown) : 0;
    m_log->setPlainText(shown);
    // New lines arrive at the top. There the operator watches them come in; scrolled down to
    // read, the lines being read stay put until the operator scrolls back to the top.
    vertical->setValue(firstLine > 0 ? firstLine + added : 0);
    horizontal->setValue(across);
}

} // namespace ui
