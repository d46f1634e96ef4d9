#include "ReportQueries.h"
#include "CallTable.h"
#include "DateText.h"
#include "InboxTable.h"
#include "PageMarks.h"
#include "TestStore.h"
#include "WebMailTables.h"

#include <functional>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::openTestStore;
using testing_support::scalarOf;
using testing_support::TempFolder;

namespace {

const QDate kDay(2026, 3, 14);

// A page of a report, as ids, read by its number or on from a shown row's key.
using PageIds = std::function<std::pair<QList<qint64>, std::vector<store::ReportKey>>(const store::ReportPaging&)>;

struct ReportQueriesTest : ::testing::Test
{
    TempFolder folder;
    store::Database db = openTestStore(folder.storePath());

    QList<qint64> ids(const QString& sql, const QStringList& values = {}) const
    {
        auto st = db.prepare(sql);
        for (int i = 0; i < int(values.size()); ++i)
            st.bind(i + 1, values.at(i));
        auto rows = st.collect([](const store::Statement& row) { return row.integer(0); });
        EXPECT_TRUE(rows);
        return rows ? QList<qint64>(rows->begin(), rows->end()) : QList<qint64>();
    }

    // Every page three ways: by its number, by Next from the page before, by Previous from the
    // page after. Each must give the reference order, cut into pages.
    void expectPagesFollow(const QList<qint64>& reference, int pageSize, const PageIds& read)
    {
        const int pages = int((reference.size() + pageSize - 1) / pageSize);
        std::vector<std::vector<store::ReportKey>> keys(std::size_t(pages) + 1);
        for (int page = 1; page <= pages; ++page) {
            store::ReportPaging paging{page, pageSize, std::nullopt, std::nullopt};
            auto [rows, shown] = read(paging);
            EXPECT_EQ(rows, reference.mid((page - 1) * pageSize, pageSize)) << "page " << page << " by number";
            keys.at(std::size_t(page)) = shown;
        }
        for (int page = 2; page <= pages; ++page) {
            const auto& before = keys.at(std::size_t(page - 1));
            ASSERT_FALSE(before.empty());
            auto [rows, shown] = read({page, pageSize, before.back(), std::nullopt});
            EXPECT_EQ(rows, reference.mid((page - 1) * pageSize, pageSize)) << "page " << page << " by Next";
        }
        for (int page = 1; page < pages; ++page) {
            const auto& after = keys.at(std::size_t(page + 1));
            ASSERT_FALSE(after.empty());
            auto [rows, shown] = read({page, pageSize, std::nullopt, after.front()});
            EXPECT_EQ(rows, reference.mid((page - 1) * pageSize, pageSize)) << "page " << page << " by Previous";
        }
        // Beyond the last page there is nothing, and no failure.
        auto [rows, shown] = read({pages + 1, pageSize, std::nullopt, std::nullopt});
        EXPECT_TRUE(rows.isEmpty());
    }
};

template <typename Row>
std::pair<QList<qint64>, std::vector<store::ReportKey>>
idsOf(const std::expected<store::ReportPage<Row>, store::StoreError>& page)
{
    EXPECT_TRUE(page) << (page ? std::string() : page.error().message.toStdString());
    std::pair<QList<qint64>, std::vector<store::ReportKey>> result;
    if (page) {
        for (const Row& row : page->rows) {
            result.first << row.id;
            result.second.push_back(row.key);
        }
    }
    return result;
}

} // namespace

// Whole days: From 00:00:00 up to the start of the day after To, so the day's last minute is in.
TEST_F(ReportQueriesTest, AMissedCallInTheLastMinuteOfTheDayIsListedAndAnsweredCallsNever)
{
    store::CallTable calls(db);
    struct Call
    {
        QDateTime when;
        bool missed;
        bool listed;
    };
    const Call cases[] = {
        {QDateTime(kDay.addDays(-1), QTime(23, 59, 59)), true, false},
        {QDateTime(kDay, QTime(0, 0, 0)), true, true},
        {QDateTime(kDay, QTime(12, 0, 0)), false, false},
        {QDateTime(kDay, QTime(23, 59, 0)), true, true},
        {QDateTime(kDay, QTime(23, 59, 30)), true, true},
        {QDateTime(kDay.addDays(1), QTime(0, 0, 0)), true, false},
    };
    QList<qint64> expected;
    for (const Call& call : cases) {
        auto id = calls.insert(call.when, u"+4915112345678"_s, call.missed);
        ASSERT_TRUE(id);
        if (call.listed)
            expected << *id;
    }
    auto page = store::missedCallsPage(db, kDay, kDay, {});
    EXPECT_EQ(idsOf(page).first, expected);
    EXPECT_EQ(page->total, 3);
    EXPECT_EQ(page->rows.back().callDateTime, u"2026-03-14 23:59:30"_s);

    const store::DayRange days = store::reportDays(kDay, kDay.addDays(2));
    EXPECT_EQ(days.from, u"2026-03-14 00:00:00"_s);
    EXPECT_EQ(days.until, u"2026-03-17 00:00:00"_s);
}

// Ties on the sort column, NULL numbers and texts, rows outside the range: every order the
// report offers reads the same rows by number, by Next and by Previous, on either side of the
// size from which a sort walks its own index.
TEST_F(ReportQueriesTest, EveryPageOfEverySortMatchesTheOrderOfTheWholeRange)
{
    struct Case
    {
        int rows;
        int pageSize;
        int days = 1;    // the rows are spread over this many days around kDay
        int stretch = 0; // marks made anew this long, if not 0
    };
    for (const Case& size : {Case{60, 7}, Case{2100, 700}, Case{300, 11, 5, 4}}) {
        SCOPED_TRACE(size.rows);
        ASSERT_TRUE(db.exec(u"DELETE FROM Message_InBox"_s));
        if (size.stretch > 0) {
            // Many short stretches over several days: a range of days is placed in each sort from
            // the days the stretches keep.
            for (const store::MarkedList& list : store::markedLists())
                ASSERT_TRUE(store::installMarks(db, list, size.stretch));
        }
        store::Transaction transaction(db);
        store::InboxTable inbox(db);
        for (int i = 0; i < size.rows; ++i) {
            // Three messages a second, so dates tie; every 13th sender and 17th text unknown.
            const QDateTime when(kDay.addDays(i % size.days - size.days / 2), QTime(0, 0).addSecs(i / 3));
            const QString sender = i % 13 == 5 ? QString() : u"+49151%1"_s.arg(i % 41, 4, 10, QChar(u'0'));
            const QString text = i % 17 == 3 ? QString() : u"text %1"_s.arg(i % 29);
            ASSERT_TRUE(inbox.insert(sender, text, when));
        }
        ASSERT_TRUE(inbox.insert(u"+4915100000000"_s, u"the day before"_s, QDateTime(kDay.addDays(-1), QTime(23, 0))));
        ASSERT_TRUE(inbox.insert(u"+4915100000000"_s, u"the day after"_s, QDateTime(kDay.addDays(1), QTime(0, 0))));
        ASSERT_TRUE(transaction.commit());
        if (size.stretch > 0) {
            ASSERT_GT(store::splitLongStretches(db, size.stretch).value_or(-1), 0);
        }

        const std::pair<QString, QString> sorts[] = {
            {store::kReceivedSmsNewestFirst, u"InboxDateTime DESC, InBox_Id"_s},
            {u"SenderMobileNo"_s, u"SenderMobileNo, InBox_Id"_s},
            {u"Message"_s, u"Message, InBox_Id"_s},
        };
        // The day alone, and three days that hold every row (then the marks of each sort serve).
        for (const int around : {0, 1}) {
            const QDate from = kDay.addDays(-around);
            const QDate to = kDay.addDays(around);
            const store::DayRange days = store::reportDays(from, to);
            for (const auto& [key, order] : sorts) {
                SCOPED_TRACE(key.toStdString() + " around " + std::to_string(around));
                const QList<qint64> reference = ids(
                    u"SELECT InBox_Id FROM Message_InBox WHERE InboxDateTime >= ?1 AND InboxDateTime < ?2 ORDER BY "_s +
                        order,
                    {days.from, days.until});
                if (size.days == 1) {
                    ASSERT_EQ(reference.size(), size.rows + 2 * around);
                }
                expectPagesFollow(reference, size.pageSize, [&](const store::ReportPaging& paging) {
                    return idsOf(store::receivedSmsPage(db, from, to, key, paging));
                });
            }
        }
        if (size.days == 1) {
            EXPECT_EQ(store::countReceivedSms(db, kDay, kDay).value_or(-1), size.rows);
            EXPECT_EQ(store::countReceivedSms(db, kDay.addDays(-1), kDay.addDays(1)).value_or(-1), size.rows + 2);
        }
        if (size.stretch > 0) {
            EXPECT_GT(scalarOf(db, u"SELECT COUNT(*) FROM List_PageMarkDays"_s), size.rows / size.stretch);
        }
    }
}

TEST_F(ReportQueriesTest, MissedCallsAndFiledMailsPageTheSameWay)
{
    {
        store::Transaction transaction(db);
        for (int i = 0; i < 95; ++i) {
            ASSERT_TRUE(store::CallTable(db).insert(QDateTime(kDay, QTime(8, 0).addSecs(i / 2)), u"+4917%1"_s.arg(i),
                                                    i % 4 != 0));
            store::ReceivedMailRow mail;
            mail.EmailFromAddress = u"user%1@example.org"_s.arg(i % 3);
            mail.EmailDateTime = store::isoText(QDateTime(kDay.addDays(-(i % 9)), QTime(10, 0).addSecs(i / 4)));
            mail.EmailTextMessage = u"<smsusername>user%1</smsusername>"_s.arg(i % 3);
            mail.IsEmailSentToSMS = i % 3 == 0;
            ASSERT_TRUE(store::WebMailTables(db).file(mail));
        }
        ASSERT_TRUE(transaction.commit());
    }
    const QList<qint64> calls =
        ids(u"SELECT id FROM MissedCallStatistics WHERE IsMissCall<>0 ORDER BY callDateTime, id"_s);
    ASSERT_EQ(calls.size(), 71);
    expectPagesFollow(calls, 10, [&](const store::ReportPaging& paging) {
        return idsOf(store::missedCallsPage(db, kDay, kDay, paging));
    });

    struct MailCase
    {
        store::MailFilter filter;
        QString condition;
        QString sender;
    };
    const MailCase mails[] = {
        {store::MailFilter::All, u"1"_s, QString()},
        {store::MailFilter::SentToSms, u"IsEmailSentToSMS<>0"_s, QString()},
        {store::MailFilter::NotSentToSms, u"IsEmailSentToSMS=0"_s, QString()},
        {store::MailFilter::All, u"EmailFromAddress LIKE '%user1@%'"_s, u" USER1@ "_s},
    };
    for (const MailCase& mail : mails) {
        SCOPED_TRACE(mail.condition.toStdString());
        // Seven days back from the day, as the screen opens: the eighth and ninth day are out.
        const QList<qint64> reference =
            ids(u"SELECT id FROM WebMailToSMS_MessagesReceived WHERE EmailDateTime >= '2026-03-07 00:00:00' AND "_s +
                mail.condition + u" ORDER BY EmailDateTime DESC, id"_s);
        ASSERT_FALSE(reference.isEmpty());
        store::MailInboxFilter filter{mail.filter, mail.sender, QString(), kDay.addDays(-7), kDay};
        expectPagesFollow(reference, 9, [&](const store::ReportPaging& paging) {
            return idsOf(store::mailInboxPage(db, filter, paging));
        });
    }
}

// What the operator types is matched as typed: "%" and "_" are no wildcards, letter case does
// not matter, and the user name is what the element starts with.
TEST_F(ReportQueriesTest, TypedSearchTextsMatchThemselvesInAnyCase)
{
    struct Mail
    {
        QString from;
        QString text;
    };
    const Mail filed[] = {
        {u"100%sure@example.org"_s, u"<SMSUserName>john_doe</SMSUserName><message>hi</message>"_s},
        {u"100xsure@example.org"_s, u"<smsusername>johnxdoe</smsusername>"_s},
        {u"o'brien@example.org"_s, u"<smsusername>Ann</smsusername> <smsusername>john_doe"_s},
        {u"a_b@example.org"_s, u"<smsusername> johnny</smsusername>"_s},
    };
    QList<qint64> id;
    for (const Mail& mail : filed) {
        store::ReceivedMailRow row;
        row.EmailFromAddress = mail.from;
        row.EmailTextMessage = mail.text;
        row.EmailDateTime = u"2026-03-14 10:00:00"_s;
        id << store::WebMailTables(db).file(row).value_or(-1);
    }
    struct Case
    {
        QString sender;
        QString user;
        QList<qint64> found; // newest first, ties by id
    };
    const Case cases[] = {
        {u"0%s"_s, QString(), {id[0]}},
        {u"A_B"_s, QString(), {id[3]}},
        {u"O'Brien"_s, QString(), {id[2]}},
        {u"\\"_s, QString(), {}},
        // The user is the first element's, as the request was charged: Ann's second one is no one's.
        {QString(), u"JOHN_"_s, {id[0]}},
        {QString(), u"ann"_s, {id[2]}},
        {QString(), u"johnny"_s, {}},
        {u"example"_s, u"john"_s, {id[0], id[1]}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE((c.sender + u" / "_s + c.user).toStdString());
        store::MailInboxFilter filter{store::MailFilter::All, c.sender, c.user, kDay, kDay};
        auto page = store::mailInboxPage(db, filter, {});
        EXPECT_EQ(idsOf(page).first, c.found);
        EXPECT_EQ(page->total, c.found.size());
    }
    // The bodies of rows, and the rows themselves, go only where asked.
    EXPECT_EQ(store::mailText(db, id[2]).value_or(std::nullopt), filed[2].text);
    EXPECT_EQ(store::mailText(db, 999).value_or(u"?"_s), std::nullopt);
    EXPECT_EQ(store::deleteMails(db, {id[1], id[3], 999}).value_or(-1), 2);
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived"_s), 2);
}

TEST_F(ReportQueriesTest, DeletingRemovesOnlyTheRowsNamedAndKeepsTheKeptTotals)
{
    store::InboxTable inbox(db);
    QList<qint64> sms;
    for (int i = 0; i < 4; ++i)
        sms << inbox.insert(u"+49151000%1"_s.arg(i), u"hello"_s, QDateTime(kDay, QTime(9, i))).value_or(-1);
    const qint64 call = store::CallTable(db).insert(QDateTime(kDay, QTime(9, 0)), u"+4930123"_s).value_or(-1);
    EXPECT_EQ(store::deleteReceivedSms(db, {sms[0], sms[2]}).value_or(-1), 2);
    EXPECT_EQ(store::deleteCalls(db, {call}).value_or(-1), 1);
    EXPECT_EQ(idsOf(store::receivedSmsPage(db, kDay, kDay, store::kReceivedSmsNewestFirst, {})).first,
              (QList<qint64>{sms[3], sms[1]}));
    EXPECT_EQ(inbox.countUnread().value_or(-1), 2);
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 0);
}
