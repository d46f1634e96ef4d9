#include "CallLogWindow.h"
#include "CallTable.h"
#include "Dashboard.h"
#include "DateText.h"
#include "FakeDialogs.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "LinkLabel.h"
#include "MailRequestInboxWindow.h"
#include "MainWindow.h"
#include "ReceivedSmsReport.h"
#include "Store.h"
#include "TestSupport.h"
#include "WebMailTables.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest/QTest>

#include <functional>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

struct ReportScreensTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock; // 14 March 2026, 09:26:53
    FakeDialogs dialogs;
    store::Database db;
    QDate today = clock.now().date();

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
    }

    // Received SMS of one day, one a second from 08:00, the first numbered 1.
    void receivedSms(int rows, const QDate& day)
    {
        store::Transaction transaction(db);
        for (int i = 1; i <= rows; ++i)
            ASSERT_TRUE(store::InboxTable(db).insert(u"+49151%1"_s.arg(i, 8, 10, QChar(u'0')), u"sms %1"_s.arg(i),
                                                     QDateTime(day, QTime(8, 0)).addSecs(i)));
        ASSERT_TRUE(transaction.commit());
    }

    // Filed e-mails, one a minute back from today 09:00, the newest numbered 1.
    void mails(int rows, bool sentToSms, const QString& from = u"user%1@example.org"_s)
    {
        store::Transaction transaction(db);
        for (int i = 1; i <= rows; ++i) {
            store::ReceivedMailRow mail;
            mail.EmailFromAddress = from.arg(i);
            mail.EmailSubject = u"subject %1"_s.arg(i);
            mail.EmailDateTime = store::isoText(QDateTime(today, QTime(9, 0)).addSecs(-60 * i));
            mail.EmailTextMessage = u"<smsusername>u%1</smsusername>\r\n<message>text %1</message>"_s.arg(i);
            mail.MessageReceivedOn = store::isoText(clock.now());
            mail.IsEmailSentToSMS = sentToSms;
            mail.ReasonForNotSendingSMS = sentToSms ? QString() : u"  Invalid SMS Username  "_s;
            ASSERT_TRUE(store::WebMailTables(db).file(mail));
        }
        ASSERT_TRUE(transaction.commit());
    }

    template <typename T> static T* child(const QWidget* screen, const QString& name)
    {
        T* found = screen->findChild<T*>(name);
        EXPECT_NE(found, nullptr) << name.toStdString();
        return found;
    }

    static QStringList column(const QTreeWidget* list, int index)
    {
        QStringList texts;
        for (int row = 0; row < list->topLevelItemCount(); ++row)
            texts << list->topLevelItem(row)->text(index);
        return texts;
    }

    static void enterPage(const QWidget* screen, const QString& typed)
    {
        auto* box = child<QLineEdit>(screen, u"txtPages"_s);
        box->clear();
        QTest::keyClicks(box, typed);
        QTest::keyClick(box, Qt::Key_Return);
    }

    static void setRange(const QWidget* screen, const QString& fromName, const QString& toName, const QDate& from,
                         const QDate& to)
    {
        child<QDateEdit>(screen, fromName)->setDate(from);
        child<QDateEdit>(screen, toName)->setDate(to);
    }
};

// What a paged screen shows after the steps of one case.
struct PagingCase
{
    const char* name;
    // The rows the case lists, named: cases in a row with the same name share them.
    struct Rows
    {
        QString name;
        std::function<void(ReportScreensTest&)> fill;
    } rows;
    std::function<void(QWidget*)> steps;
    QString caption;
    int shown;
    QString first; // the first row's text in the column checked; empty: not checked
    QString pageBox;
    bool next;
    bool previous;
    QStringList messages;
};

void expectPaging(QWidget* screen, const QTreeWidget* list, int textColumn, const PagingCase& c, FakeDialogs& dialogs)
{
    SCOPED_TRACE(c.name);
    EXPECT_EQ(screen->findChild<QLabel*>(u"lblPages"_s)->text(), c.caption);
    EXPECT_EQ(list->topLevelItemCount(), c.shown);
    if (!c.first.isEmpty() && list->topLevelItemCount() > 0) {
        EXPECT_EQ(list->topLevelItem(0)->text(textColumn), c.first);
    }
    EXPECT_EQ(screen->findChild<QLineEdit*>(u"txtPages"_s)->text(), c.pageBox);
    EXPECT_EQ(screen->findChild<QPushButton*>(u"cmdNext"_s)->isEnabled(), c.next);
    EXPECT_EQ(screen->findChild<QPushButton*>(u"cmdPrevious"_s)->isEnabled(), c.previous);
    EXPECT_EQ(dialogs.texts, c.messages);
}

QPushButton* button(const QWidget* screen, const QString& name)
{
    return screen->findChild<QPushButton*>(name);
}

} // namespace

TEST_F(ReportScreensTest, ReceivedSmsReportPagesByFiveHundred)
{
    auto click = [](const QString& name) { return [name](QWidget* s) { button(s, name)->click(); }; };
    const PagingCase cases[] = {
        {"1000 rows: two full pages",
         {u"1000"_s, [this](auto&) { receivedSms(1000, today); }},
         click(u"cmdNext"_s),
         u"of 2 Pages. Total Records : 1000"_s,
         500,
         u"sms 500"_s,
         u"2"_s,
         false,
         true,
         {}},
        {"1200 rows: page 3 holds rows 1001 to 1200",
         {u"1200"_s, [this](auto&) { receivedSms(1200, today); }},
         [](QWidget* s) { enterPage(s, u"3"_s); },
         u"of 3 Pages. Total Records : 1200"_s,
         200,
         u"sms 200"_s,
         u"3"_s,
         false,
         true,
         {}},
        {"Previous from page 3",
         {u"1200"_s, [this](auto&) { receivedSms(1200, today); }},
         [](QWidget* s) {
             enterPage(s, u"3"_s);
             button(s, u"cmdPrevious"_s)->click();
         },
         u"of 3 Pages. Total Records : 1200"_s,
         500,
         u"sms 700"_s,
         u"2"_s,
         true,
         true,
         {}},
        {"a page number out of range",
         {u"1200"_s, [this](auto&) { receivedSms(1200, today); }},
         [](QWidget* s) { enterPage(s, u"4"_s); },
         u"of 3 Pages. Total Records : 1200"_s,
         500,
         u"sms 1200"_s,
         u"1"_s,
         true,
         false,
         {u"This page does not exist."_s}},
        {"Show returns to page 1",
         {u"1200"_s, [this](auto&) { receivedSms(1200, today); }},
         [&](QWidget* s) {
             enterPage(s, u"3"_s);
             button(s, u"cmdShow"_s)->click();
         },
         u"of 3 Pages. Total Records : 1200"_s,
         500,
         u"sms 1200"_s,
         u"1"_s,
         true,
         false,
         {}},
        {"a decimal point in the page box",
         {u"1200"_s, [this](auto&) { receivedSms(1200, today); }},
         [](QWidget* s) { QTest::keyClicks(s->findChild<QLineEdit*>(u"txtPages"_s), u"."_s); },
         u"of 3 Pages. Total Records : 1200"_s,
         500,
         u"sms 1200"_s,
         u"1"_s,
         true,
         false,
         {u"Please enter numeric value."_s}},
        {"one page: nowhere to go",
         {u"500"_s, [this](auto&) { receivedSms(500, today); }},
         [](QWidget*) {},
         u"of 1 Pages. Total Records : 500"_s,
         500,
         u"sms 500"_s,
         u"1"_s,
         false,
         false,
         {}},
        {"the To day counts whole, the day after not",
         {u"3 and 2"_s,
          [this](auto&) {
              receivedSms(3, today);
              receivedSms(2, today.addDays(1));
          }},
         [this](QWidget* s) {
             setRange(s, u"DtpFromDate"_s, u"DtpToDate"_s, today.addDays(-3), today);
             button(s, u"cmdShow"_s)->click();
         },
         u"of 1 Pages. Total Records : 3"_s,
         3,
         u"sms 3"_s,
         u"1"_s,
         false,
         false,
         {}},
        {"nothing in range",
         {u"none"_s, [](auto&) {}},
         click(u"cmdExport"_s),
         QString(),
         0,
         QString(),
         u"1"_s,
         false,
         false,
         {u"Records from all pages based on search criteria will be selected for Export."_s,
          u"No record found for exporting."_s}},
    };
    QString filled = u"?"_s;
    for (const PagingCase& c : cases) {
        // Cases in a row that list the same rows share them: a thousand rows take a while to file.
        if (c.rows.name != filled) {
            ASSERT_TRUE(db.exec(u"DELETE FROM Message_InBox"_s));
            c.rows.fill(*this);
            filled = c.rows.name;
        }
        dialogs.texts.clear();
        ui::ReceivedSmsReport report(db, dialogs, clock);
        report.show();
        c.steps(&report);
        expectPaging(&report, report.findChild<QTreeWidget*>(u"lstSMS"_s), 1, c, dialogs);
    }
}

TEST_F(ReportScreensTest, ReceivedSmsReportSortsDeletesAndHandsTheRangeToTheExport)
{
    ASSERT_TRUE(store::InboxTable(db).insert(u"+3361234"_s, u"b second"_s, QDateTime(today, QTime(23, 59, 30))));
    ASSERT_TRUE(
        store::InboxTable(db).insert(u"+4915100"_s, u"a first\r\nline two"_s, QDateTime(today, QTime(0, 0, 5))));
    ASSERT_TRUE(store::InboxTable(db).insert(u"+1202555"_s, u"c third"_s, QDateTime(today, QTime(12, 30, 0))));
    ui::ReceivedSmsReport report(db, dialogs, clock);
    report.show();
    auto* list = child<QTreeWidget>(&report, u"lstSMS"_s);
    EXPECT_EQ(column(list, 2),
              (QStringList{u"14/03/2026 23:59:30"_s, u"14/03/2026 12:30:00"_s, u"14/03/2026 00:00:05"_s}));
    EXPECT_EQ(column(list, 1).at(2), u"a first\r\nline two"_s);

    struct Sort
    {
        int header;
        QStringList numbers;
    };
    for (const Sort& sort : {Sort{0, {u"+1202555"_s, u"+3361234"_s, u"+4915100"_s}},
                             Sort{1, {u"+4915100"_s, u"+3361234"_s, u"+1202555"_s}},
                             Sort{3, {u"+4915100"_s, u"+3361234"_s, u"+1202555"_s}},
                             Sort{2, {u"+3361234"_s, u"+1202555"_s, u"+4915100"_s}}}) {
        Q_EMIT list->header()->sectionClicked(sort.header);
        EXPECT_EQ(column(list, 0), sort.numbers) << sort.header;
    }

    // Checking a row enables the deletion; No keeps the rows but refills; Yes deletes the checked.
    auto* remove = child<QPushButton>(&report, u"CmdDelete"_s);
    EXPECT_FALSE(remove->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    EXPECT_TRUE(remove->isEnabled());
    dialogs.answerNext(FakeDialogs::No);
    remove->click();
    EXPECT_EQ(dialogs.lastText(), u"Are you sure to delete the SMS?"_s);
    EXPECT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(1)->checkState(0), Qt::Unchecked);
    EXPECT_FALSE(remove->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Checked);
    remove->click();
    EXPECT_EQ(column(list, 0), (QStringList{u"+3361234"_s, u"+4915100"_s}));
    EXPECT_EQ(store::InboxTable(db).countUnread().value_or(-1), 2);

    dialogs.texts.clear();
    button(&report, u"cmdExport"_s)->click();
    EXPECT_EQ(report.TotalSMSToBeExport, 2);
    EXPECT_EQ(report.SMSReportFromDate, today);
    EXPECT_EQ(report.SMSReportToDate, today);
    EXPECT_EQ(dialogs.texts,
              QStringList{u"Records from all pages based on search criteria will be selected for Export."_s});
    EXPECT_EQ(dialogs.opened, QStringList{u"Frm_ExportSMS_Step2"_s});
}

TEST_F(ReportScreensTest, MailInboxPagesByAHundred)
{
    auto narrow = [](QWidget* s) {
        enterPage(s, u"3"_s);
        QTest::keyClicks(s->findChild<QLineEdit*>(u"txtEmail"_s), u"user10"_s);
        button(s, u"cmdSearch"_s)->click();
    };
    const PagingCase cases[] = {
        {"exactly 100: one page without the word",
         {u"100"_s, [this](auto&) { mails(100, false); }},
         [](QWidget*) {},
         u"of 1 Total records: 100"_s,
         100,
         u"subject 1"_s,
         u"1"_s,
         false,
         false,
         {}},
        {"101: page 2 holds one",
         {u"101"_s, [this](auto&) { mails(101, false); }},
         [](QWidget* s) { button(s, u"cmdNext"_s)->click(); },
         u"of 2 Pages. Total records: 101"_s,
         1,
         u"subject 101"_s,
         u"2"_s,
         false,
         true,
         {}},
        {"a narrowing search keeps page 3",
         {u"250"_s, [this](auto&) { mails(250, false); }},
         narrow,
         u"of 1 Pages. Total records: 11"_s,
         0,
         QString(),
         u"3"_s,
         false,
         true,
         {}},
        {"page 0 does not exist",
         {u"150"_s, [this](auto&) { mails(150, false); }},
         [](QWidget* s) { enterPage(s, u"0"_s); },
         u"of 2 Pages. Total records: 150"_s,
         100,
         u"subject 1"_s,
         u"1"_s,
         true,
         false,
         {u"This page does not exist."_s}},
        {"opened: refused requests of the last seven days only",
         {u"mixed"_s,
          [this](auto&) {
              mails(3, true);
              mails(2, false);
              store::ReceivedMailRow old;
              old.EmailDateTime = store::isoText(QDateTime(today.addDays(-8), QTime(23, 59, 59)));
              ASSERT_TRUE(store::WebMailTables(db).file(old));
          }},
         [](QWidget*) {},
         u"of 1 Pages. Total records: 2"_s,
         2,
         u"subject 1"_s,
         u"1"_s,
         false,
         false,
         {}},
        {"the user name as the element starts",
         {u"30"_s, [this](auto&) { mails(30, false); }},
         [](QWidget* s) {
             QTest::keyClicks(s->findChild<QLineEdit*>(u"txtSMSUserName"_s), u"U2"_s);
             button(s, u"cmdSearch"_s)->click();
         },
         u"of 1 Pages. Total records: 11"_s,
         11,
         u"subject 2"_s,
         u"1"_s,
         false,
         false,
         {}},
    };
    for (const PagingCase& c : cases) {
        ASSERT_TRUE(db.exec(u"DELETE FROM WebMailToSMS_MessagesReceived"_s));
        c.rows.fill(*this);
        dialogs.texts.clear();
        ui::MailRequestInboxWindow screen(db, dialogs, clock, 100);
        screen.setAttribute(Qt::WA_DeleteOnClose, false);
        c.steps(&screen);
        expectPaging(&screen, screen.findChild<QTreeWidget*>(u"ListMessage"_s), 2, c, dialogs);
    }
}

TEST_F(ReportScreensTest, MailInboxShowsTheChosenTextAndDeletesOnlyTheFiledCopies)
{
    mails(3, false);
    mails(2, true, u"sent%1@example.org"_s);
    ui::MailRequestInboxWindow screen(db, dialogs, clock, 100);
    screen.setAttribute(Qt::WA_DeleteOnClose, false);
    auto* list = child<QTreeWidget>(&screen, u"ListMessage"_s);
    EXPECT_EQ(child<QComboBox>(&screen, u"cmbEmailType"_s)->currentText(), u"Emails could NOT be sent to SMS"_s);
    EXPECT_EQ(child<QDateEdit>(&screen, u"dtpFromDate"_s)->date(), today.addDays(-7));
    ASSERT_EQ(list->topLevelItemCount(), 3);
    EXPECT_EQ(list->topLevelItem(0)->text(0), u"2026-03-14 08:59:00"_s);
    EXPECT_EQ(list->topLevelItem(0)->text(4), u"Invalid SMS Username"_s);

    child<QComboBox>(&screen, u"cmbEmailType"_s)->setCurrentText(u"Emails sent to SMS"_s);
    button(&screen, u"cmdSearch"_s)->click();
    EXPECT_EQ(column(list, 1), (QStringList{u"sent1@example.org"_s, u"sent2@example.org"_s}));
    EXPECT_EQ(column(list, 4), (QStringList{QString(), QString()}));
    child<QComboBox>(&screen, u"cmbEmailType"_s)->setCurrentText(u"All Received Emails"_s);
    button(&screen, u"cmdSearch"_s)->click();
    ASSERT_EQ(list->topLevelItemCount(), 5);

    Q_EMIT list->itemClicked(list->topLevelItem(1), 0);
    EXPECT_EQ(child<QPlainTextEdit>(&screen, u"txtMessage"_s)->toPlainText(),
              u"<smsusername>u1</smsusername>\n<message>text 1</message>"_s);

    // Nothing selected: the question, then why nothing happened. No: nothing at all.
    dialogs.texts.clear();
    QTest::keyClick(list, Qt::Key_Delete);
    EXPECT_EQ(dialogs.texts, (QStringList{u"Are you sure to delete the message(s)?"_s,
                                          u"Please select message which you want to delete."_s}));
    list->topLevelItem(0)->setSelected(true);
    list->topLevelItem(3)->setSelected(true);
    dialogs.answerNext(FakeDialogs::No);
    button(&screen, u"cmdDelete"_s)->click();
    EXPECT_EQ(list->topLevelItemCount(), 5);
    button(&screen, u"cmdDelete"_s)->click();
    // Newest first, ties by the order filed: user1, sent1, user2, sent2, user3.
    EXPECT_EQ(column(list, 1), (QStringList{u"sent1@example.org"_s, u"user2@example.org"_s, u"user3@example.org"_s}));
    EXPECT_EQ(child<QLabel>(&screen, u"lblPages"_s)->text(), u"of 1 Pages. Total records: 3"_s);
}

TEST_F(ReportScreensTest, CallLogListsWholeDaysAndDeletesTheCheckedCalls)
{
    store::CallTable calls(db);
    ASSERT_TRUE(calls.insert(QDateTime(today, QTime(23, 59, 30)), u"+4915199999999"_s));
    ASSERT_TRUE(calls.insert(QDateTime(today, QTime(7, 5, 0)), QString()));
    ASSERT_TRUE(calls.insert(QDateTime(today, QTime(8, 0, 0)), u"+4930111"_s, false));
    ASSERT_TRUE(calls.insert(QDateTime(today.addDays(-1), QTime(18, 15, 0)), u"+4930222"_s));
    ui::CallLogWindow screen(db, dialogs, clock);
    auto* list = child<QTreeWidget>(&screen, u"ListLogs"_s);
    EXPECT_EQ(column(list, 1), (QStringList{QString(), u"+4915199999999"_s}));
    EXPECT_EQ(column(list, 0), (QStringList{u"14/03/2026"_s, u"14/03/2026"_s}));
    EXPECT_EQ(column(list, 2).at(1), QLocale().toString(QTime(23, 59, 30), QLocale::ShortFormat));
    EXPECT_TRUE(list->isColumnHidden(3));

    // From after To: the message, and the list as it was.
    setRange(&screen, u"DtpFrom"_s, u"DtpTo"_s, today, today.addDays(-1));
    button(&screen, u"cmdSearch"_s)->click();
    EXPECT_EQ(dialogs.lastText(), u"'From Date' should be less than 'To Date'."_s);
    EXPECT_EQ(list->topLevelItemCount(), 2);
    setRange(&screen, u"DtpFrom"_s, u"DtpTo"_s, today.addDays(-1), today);
    button(&screen, u"cmdSearch"_s)->click();
    ASSERT_EQ(column(list, 1), (QStringList{u"+4930222"_s, QString(), u"+4915199999999"_s}));

    auto* remove = child<QPushButton>(&screen, u"cmdDelete"_s);
    auto* all = child<QCheckBox>(&screen, u"chkAll"_s);
    EXPECT_FALSE(remove->isEnabled());
    all->click();
    EXPECT_TRUE(remove->isEnabled());
    list->topLevelItem(1)->setCheckState(0, Qt::Unchecked);
    EXPECT_TRUE(remove->isEnabled());
    dialogs.answerNext(FakeDialogs::No);
    remove->click();
    EXPECT_EQ(dialogs.lastText(), u"Are u sure to delete the logs?"_s);
    EXPECT_EQ(list->topLevelItemCount(), 3);
    remove->click();
    EXPECT_EQ(dialogs.lastText(), u"Records Deleted Successfully!!!"_s);
    EXPECT_EQ(column(list, 1), (QStringList{QString()}));
    EXPECT_FALSE(remove->isEnabled());
    EXPECT_TRUE(all->isChecked());
    // The answered call was never listed and is still there.
    EXPECT_EQ(db.prepare(u"SELECT COUNT(*) FROM MissedCallStatistics"_s).scalar().value_or(-1), 2);
}

TEST_F(ReportScreensTest, TheMainWindowOpensEachReportFromItsEntry)
{
    ASSERT_TRUE(store::CallTable(db).insert(QDateTime(today, QTime(23, 59, 30)), u"+4915199999999"_s));
    engine::Gateway gateway(folder.storePath(), clock);
    ui::MainWindow window(db, &gateway, dialogs, clock, false);
    QSignalSpy loaded(&window, &ui::MainWindow::loaded);
    window.load();
    ASSERT_TRUE(waitUntil([&] { return loaded.count() == 1; }));

    // The dashboard's link: beside the main window, once, and with today's late call in it.
    auto* link = window.findChild<ui::LinkLabel*>(u"LblMissCall"_s);
    link->click();
    link->click();
    const auto logs = window.findChildren<ui::CallLogWindow*>(u"Frm_ManageLogs"_s);
    ASSERT_EQ(logs.size(), 1);
    EXPECT_TRUE(logs.first()->isVisible());
    EXPECT_FALSE(logs.first()->isModal());
    EXPECT_EQ(logs.first()->findChild<QTreeWidget*>(u"ListLogs"_s)->topLevelItemCount(), 1);
    logs.first()->close();

    int listed = -1;
    dialogs.onDialog[u"Frm_SMSReport"_s] = [&](QDialog& screen) {
        listed = screen.findChild<QTreeWidget*>(u"lstSMS"_s) != nullptr ? 0 : -1;
        screen.reject();
    };
    for (const QString& entry : {u"MR"_s, u"SMSR"_s}) {
        QAction* action = window.findChild<QAction*>(entry);
        ASSERT_NE(action, nullptr);
        EXPECT_TRUE(action->isEnabled());
        action->trigger();
    }
    EXPECT_EQ(dialogs.opened, (QStringList{u"Frm_ManageLogs"_s, u"Frm_SMSReport"_s}));
    EXPECT_EQ(listed, 0);

    window.findChild<QAction*>(u"mnuPOP3Inbox"_s)->trigger();
    window.findChild<QAction*>(u"mnuPOP3Inbox"_s)->trigger();
    const auto inboxes = window.findChildren<ui::MailRequestInboxWindow*>(u"frm_POP3InBoxForWebToSMS"_s);
    ASSERT_EQ(inboxes.size(), 1);
    EXPECT_TRUE(inboxes.first()->isVisible());
}
