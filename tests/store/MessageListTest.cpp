#include "InboxTable.h"
#include "MessageListQuery.h"
#include "OutboxTable.h"
#include "Store.h"
#include "TestSupport.h"

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
