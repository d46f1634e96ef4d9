#include "CallTable.h"
#include "DateText.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "Store.h"
#include "TestSupport.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::TempFolder;

namespace {

QDateTime at(int y, int m, int d, int hh, int mm, int ss)
{
    return QDateTime(QDate(y, m, d), QTime(hh, mm, ss));
}

} // namespace

TEST(CallTable, WholeDayIncludesItsLastMinute)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::CallTable calls(*db);
    ASSERT_TRUE(calls.insert(at(2026, 5, 3, 23, 59, 59), u"+1"_s)); // the day before
    ASSERT_TRUE(calls.insert(at(2026, 5, 4, 0, 0, 0), u"+2"_s));
    ASSERT_TRUE(calls.insert(at(2026, 5, 4, 12, 0, 0), QString()));
    ASSERT_TRUE(calls.insert(at(2026, 5, 4, 23, 59, 30), u"+3"_s));
    ASSERT_TRUE(calls.insert(at(2026, 5, 4, 23, 59, 59), u"+4"_s));
    ASSERT_TRUE(calls.insert(at(2026, 5, 4, 14, 0, 0), u"+5"_s, false)); // answered
    ASSERT_TRUE(calls.insert(at(2026, 5, 5, 0, 0, 0), u"+6"_s));         // the day after

    EXPECT_EQ(calls.countMissedOn(QDate(2026, 5, 4)).value_or(-1), 4);
    EXPECT_EQ(calls.countMissedOn(QDate(2026, 5, 3)).value_or(-1), 1);
    EXPECT_EQ(calls.countMissedOn(QDate(2026, 5, 5)).value_or(-1), 1);
    EXPECT_EQ(calls.countMissedOn(QDate(2026, 5, 6)).value_or(-1), 0);

    auto nulls = db->prepare(u"SELECT COUNT(*) FROM MissedCallStatistics WHERE callerNumber IS NULL"_s).scalar();
    EXPECT_EQ(nulls.value_or(-1), 1);
}

TEST(CallTable, MissedFlagIsStoredAsMinusOne)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    ASSERT_TRUE(store::CallTable(*db).insert(at(2026, 1, 1, 8, 0, 0), u"+1"_s));
    EXPECT_EQ(db->prepare(u"SELECT IsMissCall FROM MissedCallStatistics"_s).scalar().value_or(0), -1);
}

TEST(DateText, MonthAndYearBoundariesAndOrdering)
{
    const auto range = store::dayRange(QDate(2024, 12, 31));
    EXPECT_EQ(range.from, u"2024-12-31 00:00:00"_s);
    EXPECT_EQ(range.until, u"2025-01-01 00:00:00"_s);
    const auto leap = store::dayRange(QDate(2024, 2, 28), QDate(2024, 2, 29));
    EXPECT_EQ(leap.until, u"2024-03-01 00:00:00"_s);

    const QDateTime when = at(2026, 7, 9, 5, 4, 3);
    EXPECT_EQ(store::isoText(when), u"2026-07-09 05:04:03"_s);
    EXPECT_EQ(store::fromIsoText(store::isoText(when)), when);
    // Text order is time order, which the lists and ranges rely on.
    EXPECT_LT(store::isoText(at(2026, 7, 9, 9, 0, 0)), store::isoText(at(2026, 7, 9, 10, 0, 0)));
    EXPECT_LT(store::isoText(at(2026, 9, 30, 0, 0, 0)), store::isoText(at(2026, 10, 1, 0, 0, 0)));
}

TEST(InboxTable, NewMessagesCountAsUnreadUntilRead)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::InboxTable inbox(*db);
    EXPECT_EQ(inbox.countUnread().value_or(-1), 0);
    auto first = inbox.insert(u"+4915100000001"_s, u"one"_s, at(2026, 1, 1, 9, 0, 0));
    ASSERT_TRUE(first);
    ASSERT_TRUE(inbox.insert(u"+4915100000002"_s, u"two"_s, at(2026, 1, 1, 9, 0, 1)));
    EXPECT_EQ(inbox.countUnread().value_or(-1), 2);

    auto markRead = db->prepare(u"UPDATE Message_InBox SET IsRead=-1 WHERE InBox_Id=?1"_s);
    markRead.bind(1, *first);
    ASSERT_TRUE(markRead.run());
    EXPECT_EQ(inbox.countUnread().value_or(-1), 1);
}

TEST(OutboxTable, PendingUntilDelivered)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::OutboxTable outbox(*db);
    auto id = outbox.insert(u"+441234"_s, u"hello"_s, at(2026, 1, 1, 9, 0, 0));
    ASSERT_TRUE(id);
    ASSERT_TRUE(outbox.insert(u"+441235"_s, u"hello"_s, at(2026, 1, 1, 9, 0, 0)));
    EXPECT_EQ(outbox.countPending().value_or(-1), 2);

    auto book =
        db->prepare(u"UPDATE Message_OutBox SET DeliveryStatus='SENT', DeliveryDatetime=?1 WHERE Outbox_Id=?2"_s);
    book.bind(1, store::isoText(at(2026, 1, 1, 9, 1, 0)));
    book.bind(2, *id);
    ASSERT_TRUE(book.run());
    EXPECT_EQ(outbox.countPending().value_or(-1), 1);

    auto row = outbox.row(*id);
    ASSERT_TRUE(row);
    EXPECT_EQ(row->status, u"SENT"_s);
    EXPECT_EQ(row->deliveredAt, u"2026-01-01 09:01:00"_s);
    EXPECT_EQ(row->queuedAt, at(2026, 1, 1, 9, 0, 0));
    EXPECT_FALSE(outbox.row(*id + 100));
}
