#include "MessageCounts.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "Schema.h"
#include "TestStore.h"

#include <functional>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using store::CountedList;
using testing_support::openTestStore;
using testing_support::scalarOf;
using testing_support::TempFolder;

namespace {

struct Totals
{
    qint64 inbox = 0;
    qint64 unread = 0;
    qint64 outbox = 0;
    qint64 sent = 0;
    bool operator==(const Totals&) const = default;
};

void PrintTo(const Totals& t, std::ostream* os)
{
    *os << "inbox " << t.inbox << ", unread " << t.unread << ", outbox " << t.outbox << ", sent " << t.sent;
}

Totals kept(const store::Database& db)
{
    return {store::keptCount(db, CountedList::Inbox).value_or(-1),
            store::keptCount(db, CountedList::InboxUnread).value_or(-1),
            store::keptCount(db, CountedList::Outbox).value_or(-1),
            store::keptCount(db, CountedList::Sent).value_or(-1)};
}

Totals counted(const store::Database& db)
{
    return {scalarOf(db, u"SELECT COUNT(*) FROM Message_InBox"_s),
            scalarOf(db, u"SELECT COUNT(*) FROM Message_InBox WHERE IsRead=0"_s),
            scalarOf(db, u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"_s),
            scalarOf(db, u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL"_s)};
}

const QDateTime kWhen(QDate(2026, 3, 1), QTime(9, 0));

} // namespace

// Every way the program (or a hand at the SQL prompt) changes the folders keeps the totals
// in step, each change in its own transaction as the rows.
TEST(MessageCounts, EveryChangeToTheFoldersKeepsItsTotalsInStep)
{
    TempFolder folder;
    const store::Database db = openTestStore(folder.storePath());
    ASSERT_TRUE(db.isOpen());
    store::InboxTable inbox(db);
    store::OutboxTable outbox(db);
    qint64 firstIn = inbox.insert(u"+491511"_s, u"a"_s, kWhen).value_or(-1);
    qint64 firstOut = outbox.insert(u"+491512"_s, u"b"_s, kWhen).value_or(-1);

    const std::pair<const char*, std::function<void()>> changes[] = {
        {"an SMS arrives", [&] { (void)inbox.insert(u"+491513"_s, u"c"_s, kWhen); }},
        {"a row arrives already read",
         [&] {
             (void)db.exec(u"INSERT INTO Message_InBox (SenderMobileNo, Message, IsRead) VALUES ('1', 'd', -1)"_s);
         }},
        {"it is read", [&] { (void)inbox.readMessage(firstIn); }},
        {"read again", [&] { (void)inbox.readMessage(firstIn); }},
        {"marked unread by hand", [&] { (void)db.exec(u"UPDATE Message_InBox SET IsRead=0"_s); }},
        {"a read row is deleted",
         [&] {
             (void)inbox.readMessage(firstIn);
             (void)inbox.remove(firstIn);
         }},
        {"every inbox row is deleted", [&] { (void)db.exec(u"DELETE FROM Message_InBox"_s); }},
        {"a message is queued", [&] { (void)outbox.insert(u"+491514"_s, u"e"_s, kWhen); }},
        {"it is claimed", [&] { (void)outbox.claim(firstOut); }},
        {"it is sent", [&] { (void)outbox.bookSent(firstOut, kWhen); }},
        {"its delivery time changes", [&] { (void)outbox.bookSent(firstOut, kWhen.addSecs(60)); }},
        {"it is made pending again by hand",
         [&] { (void)db.exec(u"UPDATE Message_OutBox SET DeliveryDatetime=NULL"_s); }},
        {"a sent row is inserted by hand",
         [&] {
             (void)db.exec(u"INSERT INTO Message_OutBox (Message, DeliveryDatetime) VALUES ('f', '2026-01-01')"_s);
         }},
        {"a pending row is deleted", [&] { (void)outbox.remove(firstOut, false); }},
        {"a sent row is deleted",
         [&] { (void)db.exec(u"DELETE FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL"_s); }},
        {"a change is rolled back",
         [&] {
             store::Transaction transaction(db);
             (void)inbox.insert(u"+491515"_s, u"g"_s, kWhen);
             (void)outbox.insert(u"+491515"_s, u"g"_s, kWhen);
         }},
    };
    for (const auto& [what, change] : changes) {
        SCOPED_TRACE(what);
        change();
        EXPECT_EQ(kept(db), counted(db));
    }
    EXPECT_EQ(store::InboxTable(db).countUnread().value_or(-1), counted(db).unread);
    EXPECT_EQ(store::OutboxTable(db).countPending().value_or(-1), counted(db).outbox);
}

// Totals put out of step by hand (or lost with their rows) are rebuilt by the check the engine
// runs at start-up, and by the migration when a store was set back; totals that agree are left
// alone.
TEST(MessageCounts, TotalsOutOfStepAreRebuiltAtStartUpAndByTheMigration)
{
    TempFolder folder;
    {
        const store::Database db = openTestStore(folder.storePath());
        ASSERT_TRUE(db.isOpen());
        for (int i = 0; i < 5; ++i) {
            (void)store::InboxTable(db).insert(u"+49151"_s + QString::number(i), u"x"_s, kWhen);
            (void)store::OutboxTable(db).insert(u"+49151"_s + QString::number(i), u"y"_s, kWhen);
        }
        (void)store::OutboxTable(db).bookSent(1, kWhen);
        EXPECT_FALSE(store::reconcileCounts(db).value_or(true)) << "nothing was out of step";

        ASSERT_TRUE(db.exec(u"UPDATE Message_Counts SET Total=Total+7 WHERE List='Inbox'"_s));
        ASSERT_TRUE(db.exec(u"UPDATE Message_Counts SET Total=-3 WHERE List='InboxUnread'"_s));
        ASSERT_TRUE(db.exec(u"DELETE FROM Message_Counts WHERE List='Sent'"_s));
        // Rows changed while the triggers were gone.
        ASSERT_TRUE(db.exec(u"DROP TRIGGER trg_outbox_counts_insert"_s));
        ASSERT_TRUE(db.exec(u"INSERT INTO Message_OutBox (Message) VALUES ('behind its back')"_s));
        ASSERT_TRUE(db.exec(u"PRAGMA user_version=7"_s));
        EXPECT_NE(kept(db), counted(db));
    }
    const store::Database db = openTestStore(folder.storePath());
    ASSERT_TRUE(db.isOpen());
    EXPECT_EQ(kept(db), (Totals{5, 5, 5, 1}));
    EXPECT_EQ(kept(db), counted(db));

    // The set-back store got its trigger again, so the totals stay in step from here on.
    (void)store::OutboxTable(db).insert(u"+4915199"_s, u"z"_s, kWhen);
    EXPECT_EQ(kept(db).outbox, 6);

    ASSERT_TRUE(db.exec(u"UPDATE Message_Counts SET Total=0"_s));
    ASSERT_TRUE(db.exec(u"DELETE FROM Message_Counts WHERE List='Outbox'"_s));
    EXPECT_TRUE(store::reconcileCounts(db).value_or(false));
    EXPECT_EQ(kept(db), counted(db));
    EXPECT_FALSE(store::reconcileCounts(db).value_or(true));
}
