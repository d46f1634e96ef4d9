#include "MessageCounts.h"

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
    // Each count reads an index, not the rows: the totals the smallest one, the filters a range.
    const std::pair<CountedList, QString> real[] = {
        {CountedList::Inbox, u"SELECT COUNT(*) FROM Message_InBox"_s},
        {CountedList::InboxUnread, u"SELECT COUNT(*) FROM Message_InBox WHERE IsRead=0"_s},
        {CountedList::Outbox, u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"_s},
        {CountedList::Sent, u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL"_s},
    };
    bool rebuilt = false;
    for (const auto& [list, sql] : real) {
        auto actual = db.prepare(sql).scalar();
        if (!actual)
            return std::unexpected(actual.error());
        auto kept = db.prepare(u"SELECT Total FROM Message_Counts WHERE List=?1"_s);
        kept.bind(1, keyOf(list));
        auto found = kept.next();
        if (!found)
            return std::unexpected(found.error());
        if (*found && !kept.isNull(0) && kept.integer(0) == *actual)
            continue;
        auto write = db.prepare(u"INSERT OR REPLACE INTO Message_Counts (List, Total) VALUES (?1, ?2)"_s);
        write.bind(1, keyOf(list));
        write.bind(2, *actual);
        if (auto r = write.run(); !r)
            return std::unexpected(r.error());
        rebuilt = true;
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return rebuilt;
}

} // namespace store
