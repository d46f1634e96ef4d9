#include "MessageCounts.h"

#include <iterator>

using namespace Qt::StringLiterals;

namespace store {

namespace {

QString keyOf(CountedList list)
{
    switch (list) {
    case CountedList::Inbox:
        return u"Inbox"_s;
    case CountedList::InboxUnread:
        return u"InboxUnread"_s;
    case CountedList::Outbox:
        return u"Outbox"_s;
    case CountedList::Sent:
        return u"Sent"_s;
    }
    return {};
}

} // namespace

std::expected<qint64, StoreError> keptCount(const Database& db, CountedList list)
{
    auto st = db.prepare(u"SELECT Total FROM Message_Counts WHERE List=?1"_s);
    st.bind(1, keyOf(list));
    return st.scalar();
}

std::expected<bool, StoreError> reconcileCounts(const Database& db)
{
    Transaction transaction(db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    // A whole table is counted on its b-tree's cells without reading a row; the filters are
    // ranges of their own indexes. Sent is what the outbox holds beyond the pending rows, as a
    // count "IS NOT NULL" could be taken from the largest partial index, the messages' texts.
    const QString counts[] = {
        u"SELECT COUNT(*) FROM Message_InBox"_s,
        u"SELECT COUNT(*) FROM Message_InBox WHERE IsRead=0"_s,
        u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"_s,
        u"SELECT COUNT(*) FROM Message_OutBox"_s,
    };
    qint64 counted[std::size(counts)] = {};
    for (std::size_t i = 0; i < std::size(counts); ++i) {
        auto actual = db.prepare(counts[i]).scalar();
        if (!actual)
            return std::unexpected(actual.error());
        counted[i] = *actual;
    }
    const std::pair<CountedList, qint64> real[] = {
        {CountedList::Inbox, counted[0]},
        {CountedList::InboxUnread, counted[1]},
        {CountedList::Outbox, counted[2]},
        {CountedList::Sent, counted[3] - counted[2]},
    };
    bool rebuilt = false;
    for (const auto& [list, actual] : real) {
        auto kept = db.prepare(u"SELECT Total FROM Message_Counts WHERE List=?1"_s);
        kept.bind(1, keyOf(list));
        auto found = kept.next();
        if (!found)
            return std::unexpected(found.error());
        if (*found && !kept.isNull(0) && kept.integer(0) == actual)
            continue;
        auto write = db.prepare(u"INSERT OR REPLACE INTO Message_Counts (List, Total) VALUES (?1, ?2)"_s);
        write.bind(1, keyOf(list));
        write.bind(2, actual);
        if (auto r = write.run(); !r)
            return std::unexpected(r.error());
        rebuilt = true;
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return rebuilt;
}

} // namespace store
