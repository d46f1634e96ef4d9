#include "DateText.h"
#include "InboxTable.h"
#include "MessageListQuery.h"
#include "OutboxTable.h"
#include "Store.h"
#include "TestSupport.h"

#include <numeric>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::TempFolder;

namespace {

struct MessageListTest : ::testing::Test
{
    TempFolder folder;
    store::Database db;

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
    }

    void inbox(int rows)
    {
        store::Transaction transaction(db);
        const QDateTime start(QDate(2026, 1, 1), QTime(0, 0));
        for (int i = 1; i <= rows; ++i)
            ASSERT_TRUE(store::InboxTable(db).insert(u"+49151%1"_s.arg(i, 8, 10, QChar(u'0')), u"message %1"_s.arg(i),
                                                     start.addSecs(i)));
        ASSERT_TRUE(transaction.commit());
    }

    QStringList numbers(const std::expected<store::MessageListPage, store::StoreError>& page) const
    {
        QStringList result;
        for (const auto& row : page->rows)
            result << row.number;
        return result;
    }
};

} // namespace

TEST_F(MessageListTest, PagesOfAHundredFromTheStore)
{
    inbox(250);
    store::MessageListQuery query;
    query.sortKey = u"InboxDateTime"_s;
    query.page = 3;
    auto third = store::inboxPage(db, query);
    ASSERT_TRUE(third);
    EXPECT_EQ(third->total, 250);
    ASSERT_EQ(third->rows.size(), 50u);
    EXPECT_EQ(third->rows.front().message, u"message 201"_s);
    EXPECT_EQ(third->rows.back().message, u"message 250"_s);

    // The default order is newest first.
    query.sortKey.clear();
    query.page = 1;
    auto first = store::inboxPage(db, query);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->rows.front().message, u"message 250"_s);
    EXPECT_FALSE(first->rows.front().isRead);
}

TEST_F(MessageListTest, UnreadFilterAndReading)
{
    inbox(3);
    store::MessageListQuery query;
    query.unreadOnly = true;
    auto unread = store::inboxPage(db, query);
    ASSERT_TRUE(unread);
    ASSERT_EQ(unread->total, 3);
    const qint64 id = unread->rows.front().id;
    EXPECT_EQ(store::InboxTable(db).readMessage(id).value().value_or(QString()), u"message 3"_s);
    EXPECT_EQ(store::inboxPage(db, query)->total, 2);
    EXPECT_FALSE(store::InboxTable(db).readMessage(9999).value().has_value());
}

TEST_F(MessageListTest, TenDigitsMatchTheNumbersEnd)
{
    for (const QString& number :
         {u"+4915112345678"_s, u"004915112345678"_s, u"015112345678"_s, u"1511234567899"_s, u"+447700900123"_s})
        ASSERT_TRUE(store::InboxTable(db).insert(number, u"x"_s, QDateTime::currentDateTime()));
    store::MessageListQuery query;
    query.sortKey = u"SenderMobileNo"_s;
    query.search = u" 5112345678 "_s;
    EXPECT_EQ(numbers(store::inboxPage(db, query)),
              (QStringList{u"+4915112345678"_s, u"004915112345678"_s, u"015112345678"_s}));
    query.search = u"+49-5112345678"_s.remove(u'-'); // more than ten: only the last ten count
    EXPECT_EQ(store::inboxPage(db, query)->total, 3);
    query.search = u"0090"_s; // four digits: anywhere
    EXPECT_EQ(numbers(store::inboxPage(db, query)), QStringList{u"+447700900123"_s});
}

TEST_F(MessageListTest, WildcardsTypedByTheOperatorMatchThemselves)
{
    ASSERT_TRUE(store::InboxTable(db).insert(u"50%off"_s, u"x"_s, QDateTime::currentDateTime()));
    ASSERT_TRUE(store::InboxTable(db).insert(u"5_1"_s, u"x"_s, QDateTime::currentDateTime()));
    ASSERT_TRUE(store::InboxTable(db).insert(u"12345"_s, u"x"_s, QDateTime::currentDateTime()));
    ASSERT_TRUE(store::InboxTable(db).insert(u"it's"_s, u"x"_s, QDateTime::currentDateTime()));
    store::MessageListQuery query;
    query.search = u"%"_s;
    EXPECT_EQ(numbers(store::inboxPage(db, query)), QStringList{u"50%off"_s});
    query.search = u"_"_s;
    EXPECT_EQ(numbers(store::inboxPage(db, query)), QStringList{u"5_1"_s});
    query.search = u"'"_s;
    EXPECT_EQ(numbers(store::inboxPage(db, query)), QStringList{u"it's"_s});
}

TEST_F(MessageListTest, OutboxAndSentItemsAndDeletes)
{
    store::OutboxTable outbox(db);
    const qint64 pending = outbox.insert(u"111"_s, u"pending"_s, QDateTime::currentDateTime()).value();
    const qint64 sent = outbox.insert(u"222"_s, u"sent"_s, QDateTime::currentDateTime()).value();
    ASSERT_TRUE(outbox.bookSent(sent, QDateTime::currentDateTime()));
    ASSERT_TRUE(outbox.markFaultyNumber(pending));

    auto pendingPage = store::outboxPage(db, {});
    ASSERT_TRUE(pendingPage);
    ASSERT_EQ(pendingPage->total, 1);
    EXPECT_EQ(pendingPage->rows[0].status, u"FAULTY NUMBER"_s);
    auto sentItems = store::sentPage(db, {});
    ASSERT_EQ(sentItems->total, 1);
    EXPECT_EQ(sentItems->rows[0].number, u"222"_s);

    // Each folder deletes only its own rows.
    ASSERT_TRUE(outbox.remove(sent, false));
    EXPECT_EQ(store::sentPage(db, {})->total, 1);
    ASSERT_TRUE(outbox.remove(sent, true));
    EXPECT_EQ(store::sentPage(db, {})->total, 0);

    store::MessageListQuery unknownKey;
    unknownKey.sortKey = u"LastName, FirstName"_s; // not a column here: the default order
    EXPECT_TRUE(store::outboxPage(db, unknownKey));
}

namespace {

// A folder's list and the plain LIMIT/OFFSET query that pages it row for row: what every way
// of finding a page must agree with.
struct ListCase
{
    const char* name;
    store::MessageListPage (*page)(const store::Database&, const store::MessageListQuery&);
    QString sortKey;
    bool unreadOnly;
    QString reference; // SELECT id ... ORDER BY ..., with ?1 LIMIT and ?2 OFFSET
};

std::vector<qint64> ids(const store::MessageListPage& page)
{
    std::vector<qint64> result;
    for (const store::MessageListRow& row : page.rows)
        result.push_back(row.id);
    return result;
}

template <auto Query> store::MessageListPage pageOf(const store::Database& db, const store::MessageListQuery& query)
{
    auto page = Query(db, query);
    EXPECT_TRUE(page) << (page ? std::string() : page.error().message.toStdString());
    return page.value_or(store::MessageListPage{});
}

} // namespace

// Every folder in every sort, with ties in every key and NULL messages in the inbox: a page
// found by its number (from either end), after the last row of the page before it or before
// the first row of the page after it is the page LIMIT/OFFSET gives.
TEST_F(MessageListTest, EveryWayToAPageFindsTheRowsOffsetFinds)
{
    {
        store::Transaction transaction(db);
        const QDateTime start(QDate(2026, 2, 1), QTime(8, 0));
        for (int i = 0; i < 47; ++i) {
            auto in = db.prepare(u"INSERT INTO Message_InBox (SenderMobileNo, Message, InboxDateTime, IsRead) "
                                 u"VALUES (?1, ?2, ?3, ?4)"_s);
            in.bind(1, u"+49151%1"_s.arg(i % 5));
            if (i % 11 == 3)
                in.bindNull(2);
            else
                in.bind(2, u"text %1"_s.arg(i % 4));
            in.bind(3, store::isoText(start.addSecs(qint64(i / 3) * 60)));
            in.bind(4, qint64(i % 3 == 0 ? 0 : -1));
            ASSERT_TRUE(in.run());
            const qint64 out = store::OutboxTable(db)
                                   .insert(u"+49160%1"_s.arg(i % 6), u"out %1"_s.arg(i % 7), start.addSecs(i / 4 * 60))
                                   .value();
            if (i % 5 != 0) {
                ASSERT_TRUE(store::OutboxTable(db).bookSent(out, start.addSecs(qint64(i % 9) * 60)));
            }
        }
        ASSERT_TRUE(transaction.commit());
    }

    const QString inbox = u"SELECT InBox_Id FROM Message_InBox %1 ORDER BY %2, InBox_Id LIMIT ?1 OFFSET ?2"_s;
    const QString unread = u"WHERE IsRead=0"_s;
    const QString outbox = u"SELECT Outbox_Id FROM Message_OutBox WHERE DeliveryDatetime IS %1 ORDER BY %2, "
                           u"Outbox_Id LIMIT ?1 OFFSET ?2"_s;
    const ListCase cases[] = {
        {"inbox newest first", &pageOf<store::inboxPage>, u"InboxDateTime desc"_s, false,
         inbox.arg(QString(), u"InboxDateTime desc"_s)},
        {"inbox by date", &pageOf<store::inboxPage>, u"InboxDateTime"_s, false,
         inbox.arg(QString(), u"InboxDateTime"_s)},
        {"inbox by number", &pageOf<store::inboxPage>, u"SenderMobileNo"_s, false,
         inbox.arg(QString(), u"SenderMobileNo"_s)},
        {"inbox by message", &pageOf<store::inboxPage>, u"Message"_s, false, inbox.arg(QString(), u"Message"_s)},
        {"unread newest first", &pageOf<store::inboxPage>, u"InboxDateTime desc"_s, true,
         inbox.arg(unread, u"InboxDateTime desc"_s)},
        {"unread by number", &pageOf<store::inboxPage>, u"SenderMobileNo"_s, true,
         inbox.arg(unread, u"SenderMobileNo"_s)},
        {"unread by message", &pageOf<store::inboxPage>, u"Message"_s, true, inbox.arg(unread, u"Message"_s)},
        {"outbox by date", &pageOf<store::outboxPage>, u"OutBoxDateTime"_s, false,
         outbox.arg(u"NULL"_s, u"OutBoxDateTime"_s)},
        {"outbox by number", &pageOf<store::outboxPage>, u"RecipientMobileNo"_s, false,
         outbox.arg(u"NULL"_s, u"RecipientMobileNo"_s)},
        {"outbox by message", &pageOf<store::outboxPage>, u"Message"_s, false, outbox.arg(u"NULL"_s, u"Message"_s)},
        {"sent newest first", &pageOf<store::sentPage>, u"DeliveryDatetime"_s, false,
         outbox.arg(u"NOT NULL"_s, u"DeliveryDatetime desc"_s)},
        {"sent by number", &pageOf<store::sentPage>, u"RecipientMobileNo"_s, false,
         outbox.arg(u"NOT NULL"_s, u"RecipientMobileNo"_s)},
        {"sent by message", &pageOf<store::sentPage>, u"Message"_s, false, outbox.arg(u"NOT NULL"_s, u"Message"_s)},
    };
    for (const ListCase& list : cases) {
        for (int pageSize : {1, 4, 10, 50}) {
            SCOPED_TRACE(std::string(list.name) + ", pages of " + std::to_string(pageSize));
            std::vector<std::vector<qint64>> want;
            for (int offset = 0;; offset += pageSize) {
                auto st = db.prepare(list.reference);
                st.bind(1, qint64(pageSize));
                st.bind(2, qint64(offset));
                auto rows = st.collect([](const store::Statement& row) { return row.integer(0); });
                ASSERT_TRUE(rows);
                if (rows->empty())
                    break;
                want.push_back(*rows);
            }
            const int pages = int(want.size());
            ASSERT_GT(pages, 0);

            store::MessageListQuery query;
            query.sortKey = list.sortKey;
            query.unreadOnly = list.unreadOnly;
            query.pageSize = pageSize;
            for (int number = 1; number <= pages + 1; ++number) {
                query.page = number;
                const store::MessageListPage page = list.page(db, query);
                EXPECT_EQ(ids(page), number <= pages ? want.at(std::size_t(number - 1)) : std::vector<qint64>())
                    << "page " << number << " by its number";
                EXPECT_EQ(page.total,
                          std::accumulate(want.begin(), want.end(), qint64(0),
                                          [](qint64 sum, const auto& p) { return sum + qint64(p.size()); }));
            }

            query.page = 1;
            store::MessageListPage page = list.page(db, query);
            for (int number = 2; number <= pages; ++number) {
                query.page = number;
                query.after = page.rows.back().key;
                page = list.page(db, query);
                EXPECT_EQ(ids(page), want.at(std::size_t(number - 1))) << "page " << number << " by Next";
            }
            query.after.reset();
            for (int number = pages - 1; number >= 1; --number) {
                query.page = number;
                query.before = page.rows.front().key;
                page = list.page(db, query);
                EXPECT_EQ(ids(page), want.at(std::size_t(number - 1))) << "page " << number << " by Previous";
            }
        }
    }
}
