#include "PageMarks.h"
#include "DateText.h"
#include "Schema.h"
#include "TestStore.h"

#include <random>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using store::MarkedList;
using store::MessageListKey;
using testing_support::openTestStore;
using testing_support::scalarOf;
using testing_support::TempFolder;

namespace {

// Short stretches, so that a few hundred rows split, empty and prune marks many times over.
constexpr int kStretch = 3;

QString rowsOf(const MarkedList& list)
{
    return u"FROM %1 WHERE %2 IS NOT NULL AND (%3)"_s.arg(
        list.table, list.keyColumn, list.condition.isEmpty() ? u"1"_s : list.condition.arg(QString()));
}

// The row at a place of the list, counted off the slow way.
std::optional<MessageListKey> counted(const store::Database& db, const MarkedList& list, qint64 rank, bool fromEnd)
{
    const bool descending = list.descending != fromEnd;
    auto st = db.prepare(u"SELECT %1, %2 %3 ORDER BY %1 %4, %2 %5 LIMIT 1 OFFSET ?1"_s.arg(
        list.keyColumn, list.idColumn, rowsOf(list), descending ? u"DESC"_s : QString(),
        fromEnd ? u"DESC"_s : QString()));
    st.bind(1, rank);
    if (!st.next().value_or(false))
        return std::nullopt;
    return MessageListKey{st.text(0), st.integer(1)};
}

void expectMarksAgree(const store::Database& db, const MarkedList& list, const std::string& when)
{
    SCOPED_TRACE("list " + std::to_string(list.id) + " " + when);
    const qint64 total = scalarOf(db, u"SELECT COUNT(*) "_s + rowsOf(list));
    ASSERT_EQ(store::markedTotal(db, list).value_or(-1), total);
    for (const bool fromEnd : {false, true}) {
        for (qint64 rank = 0; rank <= total; ++rank) {
            const auto expected = counted(db, list, rank, fromEnd);
            const auto found = store::keyAtRank(db, list, rank, fromEnd);
            ASSERT_TRUE(found) << found.error().message.toStdString();
            ASSERT_EQ(found->has_value(), expected.has_value()) << "rank " << rank << " from end " << fromEnd;
            if (!expected)
                continue;
            ASSERT_EQ((*found)->value, expected->value) << "rank " << rank << " from end " << fromEnd;
            ASSERT_EQ((*found)->id, expected->id) << "rank " << rank << " from end " << fromEnd;
            if (!fromEnd) {
                ASSERT_EQ(store::rowsBefore(db, list, *expected).value_or(-1), rank);
            }
        }
    }
    // A list that keeps its days places every range of days the way counting would: empty, one
    // day, two, all, and days no row has.
    if (!list.dayColumn.isEmpty()) {
        const std::pair<QDate, QDate> ranges[] = {
            {QDate(2026, 3, 1), QDate(2026, 3, 1)},    {QDate(2026, 2, 28), QDate(2026, 3, 1)},
            {QDate(2026, 2, 1), QDate(2026, 2, 27)},   {QDate(2026, 2, 28), QDate(2026, 4, 9)},
            {QDate(2025, 12, 31), QDate(2026, 2, 27)}, {QDate(2000, 1, 1), QDate(2099, 1, 1)},
            {QDate(2026, 4, 1), QDate(2026, 4, 9)},
        };
        for (const auto& [first, last] : ranges) {
            const store::DayRange days = store::dayRange(first, last);
            const QString inDays =
                u"%1 AND %2 >= '%3' AND %2 < '%4'"_s.arg(rowsOf(list), list.dayColumn, days.from, days.until);
            const qint64 rows = scalarOf(db, u"SELECT COUNT(*) "_s + inDays);
            for (qint64 rank = 0; rank <= rows; ++rank) {
                const auto place = store::placeInDays(db, list, days, rank);
                ASSERT_TRUE(place) << place.error().message.toStdString();
                ASSERT_EQ(place->rows, rows) << first.toString().toStdString();
                auto st = db.prepare(
                    u"SELECT %1, %2 %3 ORDER BY %1, %2 LIMIT 1 OFFSET ?1"_s.arg(list.keyColumn, list.idColumn, inDays));
                st.bind(1, rank);
                if (!st.next().value_or(false)) {
                    ASSERT_FALSE(place->key.has_value()) << "rank " << rank;
                    continue;
                }
                ASSERT_TRUE(place->key.has_value()) << "rank " << rank;
                ASSERT_EQ(place->key->id, st.integer(1)) << first.toString().toStdString() << " rank " << rank;
            }
        }
    }
    // Keys no row has: before, between and after the rows' own values.
    for (const QString& probe : {u""_s, u"2026-03-01 10:00:00"_s, u"5"_s, u"m"_s, u"\uffff"_s}) {
        const QString before = list.descending ? u">"_s : u"<"_s;
        const qint64 expected =
            scalarOf(db, u"SELECT COUNT(*) %1 AND %2 %3 '%4'"_s.arg(rowsOf(list), list.keyColumn, before, probe));
        EXPECT_EQ(store::rowsBefore(db, list, MessageListKey{probe, 0}).value_or(-1), expected) << probe.toStdString();
    }
}

void exec(const store::Database& db, const QString& sql, std::initializer_list<QVariant> values = {})
{
    auto st = db.prepare(sql);
    int i = 1;
    for (const QVariant& value : values)
        st.bind(i++, value);
    ASSERT_TRUE(st.run()) << sql.toStdString();
}

} // namespace

// Whatever happens to the rows (new ones among equal keys, keys without value, deletes that
// empty a stretch, a message read, sent or taken back), the marks find every place of every
// list, from either end, as counting the rows off would.
TEST(PageMarks, EveryPlaceOfEveryListIsFoundAsCountingWouldFindIt)
{
    TempFolder folder;
    const store::Database db = openTestStore(folder.storePath());
    ASSERT_TRUE(db.isOpen());
    for (const MarkedList& list : store::markedLists())
        ASSERT_TRUE(store::installMarks(db, list, kStretch));

    std::mt19937 random(20261207);
    auto pick = [&](int n) { return int(random() % unsigned(n)); };
    // Few distinct values, so that most keys are shared and ties go by id.
    auto date = [&]() -> QVariant {
        if (pick(20) == 0)
            return QVariant();
        // Days on both sides of a month's and a year's end.
        static const QString days[] = {u"2025-12-31"_s, u"2026-02-27"_s, u"2026-02-28"_s, u"2026-03-01"_s,
                                       u"2026-03-02"_s};
        return u"%1 %2:00:00"_s.arg(days[pick(5)]).arg(9 + pick(3));
    };
    auto number = [&]() -> QVariant { return u"+49151%1"_s.arg(pick(6)); };
    auto text = [&]() -> QVariant {
        return QStringList{u"ok"_s, u"STOP"_s, u"\u041f\u0440\u0438"_s, u""_s}.at(pick(4));
    };

    for (int round = 0; round < 3; ++round) {
        ASSERT_TRUE(db.begin());
        for (int step = 0; step < 150; ++step) {
            switch (pick(9)) {
            case 0:
            case 1:
            case 2:
                exec(
                    db,
                    u"INSERT INTO Message_InBox (SenderMobileNo, Message, InboxDateTime, IsRead) VALUES (?1, ?2, ?3, ?4)"_s,
                    {number(), text(), date(), pick(2) ? 0 : -1});
                break;
            case 3:
                exec(
                    db,
                    u"DELETE FROM Message_InBox WHERE InBox_Id = (SELECT InBox_Id FROM Message_InBox ORDER BY random() LIMIT 1)"_s);
                break;
            case 4:
                exec(
                    db,
                    u"UPDATE Message_InBox SET IsRead = -1 - IsRead, Message = ?1, InboxDateTime = ?2 WHERE InBox_Id = (SELECT InBox_Id FROM Message_InBox ORDER BY random() LIMIT 1)"_s,
                    {text(), pick(2) ? date() : QVariant(u"2026-03-01 09:00:00"_s)});
                break;
            case 5:
            case 6:
                exec(
                    db,
                    u"INSERT INTO Message_OutBox (RecipientMobileNo, Message, OutBoxDateTime, DeliveryDatetime) VALUES (?1, ?2, '2026-03-01 08:00:00', ?3)"_s,
                    {number(), text(), date()});
                break;
            case 7:
                exec(
                    db,
                    u"UPDATE Message_OutBox SET DeliveryDatetime = ?1 WHERE Outbox_Id = (SELECT Outbox_Id FROM Message_OutBox ORDER BY random() LIMIT 1)"_s,
                    {date()});
                break;
            default:
                exec(
                    db,
                    u"DELETE FROM Message_OutBox WHERE Outbox_Id = (SELECT Outbox_Id FROM Message_OutBox ORDER BY random() LIMIT 1)"_s);
                break;
            }
        }
        ASSERT_TRUE(db.commit());
        // Long stretches answer right before they are cut, and after.
        for (const MarkedList& list : store::markedLists())
            ASSERT_NO_FATAL_FAILURE(expectMarksAgree(db, list, "after round " + std::to_string(round)));
        EXPECT_GT(store::splitLongStretches(db, kStretch).value_or(-1), 0);
        for (const MarkedList& list : store::markedLists())
            ASSERT_NO_FATAL_FAILURE(expectMarksAgree(db, list, "cut after round " + std::to_string(round)));
    }
    // Stretches were split and emptied on the way, not merely counted.
    EXPECT_GT(scalarOf(db, u"SELECT COUNT(*) FROM List_PageMarks WHERE List=1"_s), 10);
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM List_PageMarks WHERE Counted >= %1"_s.arg(2 * kStretch)), 0);
}

// Marks put out of step by hand (or lost with their table's rows) are found at start-up and
// built again; marks in step are left as they are.
TEST(PageMarks, MarksOutOfStepAreRebuilt)
{
    const QString breakings[] = {
        u"UPDATE List_PageMarks SET Counted = Counted + 2 WHERE Mark_Id = (SELECT MAX(Mark_Id) FROM List_PageMarks WHERE List=3)"_s,
        u"DELETE FROM List_PageMarks WHERE List=9 AND Value IS NULL"_s,
        u"DELETE FROM List_PageMarks WHERE List=5"_s,
        u"UPDATE List_PageMarkMonths SET Counted = Counted + 1 WHERE Mark_Id = (SELECT MAX(Mark_Id) FROM List_PageMarks WHERE List=4)"_s,
        u"DELETE FROM List_PageMarkDays WHERE Mark_Id = (SELECT MIN(Mark_Id) FROM List_PageMarks WHERE List=3)"_s,
        u"DROP TRIGGER trg_marks_2_insert; INSERT INTO Message_InBox (SenderMobileNo, Message, InboxDateTime) VALUES ('1', 'x', '2027-01-01 00:00:00')"_s,
    };
    for (const QString& breaking : breakings) {
        SCOPED_TRACE(breaking.toStdString());
        TempFolder folder;
        const store::Database db = openTestStore(folder.storePath());
        ASSERT_TRUE(db.isOpen());
        ASSERT_TRUE(db.begin());
        auto inbox = db.prepare(
            u"INSERT INTO Message_InBox (SenderMobileNo, Message, InboxDateTime, IsRead) VALUES (?1, 'm', ?2, 0)"_s);
        auto outbox = db.prepare(
            u"INSERT INTO Message_OutBox (RecipientMobileNo, Message, DeliveryDatetime) VALUES ('1', 'm', ?1)"_s);
        for (int i = 0; i < 1500; ++i) {
            inbox.bind(1, QString::number(i % 97));
            inbox.bind(2, u"2026-03-01 %1"_s.arg(i % 50));
            ASSERT_TRUE(inbox.run());
            outbox.bind(1, u"2026-03-01 %1"_s.arg(i % 50));
            ASSERT_TRUE(outbox.run());
        }
        ASSERT_TRUE(db.commit());
        ASSERT_TRUE(store::splitLongStretches(db));
        EXPECT_EQ(store::reconcileMarks(db).value_or(-1), 0);

        for (const QString& sql : breaking.split(u"; "_s))
            exec(db, sql);
        EXPECT_GE(store::reconcileMarks(db).value_or(-1), 1);
        EXPECT_EQ(store::reconcileMarks(db).value_or(-1), 0);
        for (const int id : {2, 3, 5, 9}) {
            const MarkedList& list = store::markedLists().at(std::size_t(id - 1));
            ASSERT_EQ(list.id, id);
            const qint64 total = scalarOf(db, u"SELECT COUNT(*) "_s + rowsOf(list));
            EXPECT_EQ(store::markedTotal(db, list).value_or(-1), total) << id;
            for (const qint64 rank : {qint64(0), total / 2, total - 1}) {
                const auto found = store::keyAtRank(db, list, rank).value_or(std::nullopt);
                const auto expected = counted(db, list, rank, false);
                ASSERT_TRUE(found && expected) << id << " rank " << rank;
                EXPECT_EQ(found->id, expected->id) << id << " rank " << rank;
            }
        }
    }
}

// The inbox's lists that keep their days take stretches four times as long as the others, both
// when the engine cuts long stretches and when marks are built afresh.
TEST(PageMarks, ListsKeepingDaysTakeLongerStretches)
{
    TempFolder folder;
    const store::Database db = openTestStore(folder.storePath());
    ASSERT_TRUE(db.isOpen());
    ASSERT_TRUE(db.begin());
    auto inbox = db.prepare(
        u"INSERT INTO Message_InBox (SenderMobileNo, Message, InboxDateTime, IsRead) VALUES (?1, ?1, ?2, -1)"_s);
    for (int i = 0; i < 2500; ++i) {
        inbox.bind(1, QString::number(i % 613));
        inbox.bind(2, store::isoText(QDateTime(QDate(2026, 3, 1 + i % 28), QTime(9, 0))));
        ASSERT_TRUE(inbox.run());
    }
    ASSERT_TRUE(db.commit());
    auto marksOf = [&](int list) {
        return scalarOf(db, u"SELECT COUNT(*) FROM List_PageMarks WHERE List = %1"_s.arg(list));
    };
    ASSERT_EQ(store::splitLongStretches(db).value_or(-1), 2); // by date, newest and oldest first
    EXPECT_EQ(marksOf(1), 2);
    EXPECT_EQ(marksOf(3), 1);
    EXPECT_EQ(marksOf(4), 1);
    for (const int id : {1, 3}) {
        const MarkedList& list = store::markedLists().at(std::size_t(id - 1));
        ASSERT_TRUE(store::rebuildMarks(db, list));
        for (const qint64 rank : {qint64(0), qint64(1234), qint64(2499)}) {
            const auto found = store::keyAtRank(db, list, rank).value_or(std::nullopt);
            const auto expected = counted(db, list, rank, false);
            ASSERT_TRUE(found && expected) << id << " rank " << rank;
            EXPECT_EQ(found->id, expected->id) << id << " rank " << rank;
        }
    }
    EXPECT_EQ(marksOf(1), 3);
    EXPECT_EQ(marksOf(3), 1);
    EXPECT_EQ(store::reconcileMarks(db).value_or(-1), 0);
}
