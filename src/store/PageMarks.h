#pragma once

#include "Database.h"
#include "DateText.h"
#include "MessageCounts.h"
#include "MessageListQuery.h"

#include <QStringList>

#include <optional>
#include <vector>

namespace store {

// A list whose rows can be found by their place in it without counting them off: the rows of a
// table that meet a condition, ordered by one column (ascending or descending) with ties by
// ascending id, as the list's index reads them. SQLite cannot tell how far into an index a
// row lies, so the store keeps marks: every thousandth key or so of the list, each with the
// number of rows from it up to the next. Triggers keep the numbers in the same transaction as
// the rows; the engine cuts a stretch that has grown to twice its size now and then (cutting
// inside the triggers made every insert compile far more SQL than it runs). A row's place is
// the sum over the marks before it plus a couple of thousand steps on the index.
inline constexpr int kMarkedStretch = 1000;
// The lists that keep their days take longer stretches: a range of days is placed by a few
// look-ups in every stretch, so fewer stretches are fewer look-ups (a month's first read at a
// million rows: 25 ms against 40), and a place is still one stretch's walk on the index away.
inline constexpr int kDayMarkedStretch = 4000;

struct MarkedList
{
    int id = 0; // kept in List_PageMarks.List; never given to another list
    QString table;
    QString idColumn;
    QString keyColumn;
    bool descending = false;
    // The list's rows, as SQL with %1 before each column ("NEW.", "OLD." or nothing); empty: all.
    QString condition;
    // The columns whose change can move a row into, out of or along the list.
    QStringList watched;
    // The kept total of the same rows, where the store keeps one; the start-up check compares it.
    std::optional<CountedList> counted;
    // A date column whose days the list keeps too: for each stretch, how many of its rows fall in
    // each month (List_PageMarkMonths) and on or before each day of a month (List_PageMarkDays),
    // so that a range of days can be placed in an order by another column. Empty: none.
    QString dayColumn;
    // About how many rows a mark stands for; a stretch of twice as many is cut.
    int stretch = kMarkedStretch;
};

// Every list the store keeps marks for.
const std::vector<MarkedList>& markedLists();

// The marked list of a table's rows meeting `condition` (as written without prefix) in the
// order of `keyColumn`, or nullptr.
const MarkedList* findMarkedList(const QString& table, const QString& condition, const QString& keyColumn,
                                 bool descending);

// The key of the row at place `rank` (from 0) of the list, counted from its start or its end;
// nothing where the list is shorter. Rows whose key is NULL are not in a marked list.
std::expected<std::optional<MessageListKey>, StoreError> keyAtRank(const Database& db, const MarkedList& list,
                                                                   qint64 rank, bool fromEnd = false);

// How many rows of the list come before `key` (which need not be a row's): a count over a
// range of keys is the difference of two of these.
std::expected<qint64, StoreError> rowsBefore(const Database& db, const MarkedList& list, const MessageListKey& key);

// For a list that keeps its days: how many of its rows lie in a range of whole days, and the key
// of the row at place `rank` (from 0) among them, in the list's order (nothing where `rank` is
// out of range). Rows whose date is not in the store's own form are not placed; a caller that
// knows the range's rows otherwise can tell them by `rows`.
struct DayPlace
{
    qint64 rows = 0;
    std::optional<MessageListKey> key;
};
std::expected<DayPlace, StoreError> placeInDays(const Database& db, const MarkedList& list, const DayRange& days,
                                                qint64 rank);

// The rows the list's marks count.
std::expected<qint64, StoreError> markedTotal(const Database& db, const MarkedList& list);

// Creates the list's triggers (dropping any of an earlier make) and builds its marks from the
// rows, a stretch of `stretch` rows a mark (by default the list's own). Inside the caller's
// transaction.
std::expected<void, StoreError> installMarks(const Database& db, const MarkedList& list,
                                             std::optional<int> stretch = std::nullopt);

// Builds the list's marks afresh from its rows.
std::expected<void, StoreError> rebuildMarks(const Database& db, const MarkedList& list,
                                             std::optional<int> stretch = std::nullopt);

// The marks whose stretches have grown to twice their list's stretch, as SQL over List_PageMarks.
// The partial index idx_page_marks_long holds exactly these, so the engine's look every tick
// reads only what it will cut.
QString longStretchCondition();

// Cuts every stretch of twice its list's stretch rows or more (or of `2 * stretch`, given) into
// stretches of that many rows (the last one of a cut taking the rest). Returns how many stretches
// were cut.
std::expected<int, StoreError> splitLongStretches(const Database& db, std::optional<int> stretch = std::nullopt);

// Compares each list's marks with the rows they stand for (their kept total where there is
// one) and rebuilds those that disagree. Returns how many were rebuilt.
std::expected<int, StoreError> reconcileMarks(const Database& db);

} // namespace store
