#include "MailSearch.h"

#include "MailDays.h"
#include "PageMarks.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <limits>
#include <memory>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// The fixed point that places a match among the marks usually settles in a step or two; a run of
// e-mails stepped over in a row would take a step each, so past these it halves the interval.
constexpr int kQuickSteps = 3;

// One typed search that a table of values answers.
struct ValueSearch
{
    int condition = 0; // its place in mailSearchConditions()
    QString values;    // the table of values and their e-mails
    QString valueColumn;
    QString mailColumn;
    QString index; // the mails by that column, newest first
    QString pattern;
};

// How many e-mails the values a search matches hold, and how many the others (with the e-mails
// without a value, which match nothing); and the values matched, by their row numbers.
struct Split
{
    qint64 matchedMails = 0;
    qint64 otherMails = 0;
    qint64 withoutValue = 0;
    std::vector<bool> matched;
};

// The list's order: newest first, ties by id.
bool listOrder(const ReportKey& a, const ReportKey& b)
{
    return a.value > b.value || (a.value == b.value && a.id < b.id);
}

// One pass over the table of values, which LIKE tests once each.
std::expected<Split, StoreError> splitValues(const Database& db, const ValueSearch& search)
{
    auto st = db.prepare(
        u"SELECT rowid, %1 IS NULL, %1 LIKE ?1 ESCAPE '\\', Mails FROM %2"_s.arg(search.valueColumn, search.values));
    st.bind(1, search.pattern);
    Split split;
    for (;;) {
        auto more = st.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            return split;
        const qint64 mails = st.integer(3);
        if (st.boolean(1))
            split.withoutValue += mails;
        // NULL LIKE anything is NULL, no match.
        if (!st.boolean(2)) {
            split.otherMails += mails;
            continue;
        }
        split.matchedMails += mails;
        const qint64 row = st.integer(0);
        if (row < 0 || row > std::numeric_limits<quint32>::max())
            continue; // never packed, so never met in the days
        if (split.matched.size() <= std::size_t(row))
            split.matched.resize(std::size_t(row) + 1);
        split.matched[std::size_t(row)] = true;
    }
}

// The keys of the e-mails in range and outcome whose value the search matches (or, `matching`
// false, does not), that meet `others` too, in the list's order. The values' index is read once
// per value the table of values names, and SQLite sorts what it found.
std::expected<std::vector<ReportKey>, StoreError> keysOf(const Database& db, const ValueSearch& search, bool matching,
                                                         const Split& split, const DayRange& days,
                                                         const QString& outcome,
                                                         const std::vector<MailCondition>& others)
{
    QStringList conditions{u"EmailDateTime >= ?2"_s, u"EmailDateTime < ?3"_s};
    if (!outcome.isEmpty())
        conditions << outcome;
    for (int i = 0; i < int(others.size()); ++i)
        conditions << others.at(std::size_t(i)).sql.arg(4 + i);
    const QString values = u"IN (SELECT %1 FROM %2 WHERE %3(%1 LIKE ?1 ESCAPE '\\') AND Mails > 0)"_s.arg(
        search.valueColumn, search.values, matching ? QString() : u"NOT "_s);
    auto read = [&](const QString& which) -> std::expected<std::vector<ReportKey>, StoreError> {
        auto st = db.prepare(u"SELECT EmailDateTime, id FROM WebMailToSMS_MessagesReceived INDEXED BY "_s +
                             search.index + u" WHERE "_s + search.mailColumn + u' ' + which + u" AND "_s +
                             conditions.join(u" AND "_s) + u" ORDER BY EmailDateTime DESC, id"_s);
        if (which == values)
            st.bind(1, search.pattern);
        st.bind(2, days.from);
        st.bind(3, days.until);
        for (int i = 0; i < int(others.size()); ++i)
            st.bind(4 + i, others.at(std::size_t(i)).value);
        return st.collect([](const Statement& row) { return ReportKey{row.text(0), row.integer(1)}; });
    };
    auto keys = read(values);
    if (!keys || matching || split.withoutValue == 0)
        return keys;
    auto without = read(u"IS NULL"_s);
    if (!without)
        return std::unexpected(without.error());
    std::vector<ReportKey> all;
    all.reserve(keys->size() + without->size());
    std::ranges::merge(*keys, *without, std::back_inserter(all), listOrder);
    return all;
}

// The matches of a range that holds every e-mail of the outcome's marked list but `excluded`.
std::expected<MailSearchPlan, StoreError> complementPlan(const Database& db, const MarkedList& marks,
                                                         const DayRange& days, std::vector<ReportKey> excluded)
{
    // Rows before (bound, an id beyond every row's) are those of later days.
    const qint64 edge = std::numeric_limits<qint64>::max();
    auto fromBefore = rowsBefore(db, marks, {days.from, edge});
    if (!fromBefore)
        return std::unexpected(fromBefore.error());
    auto untilBefore = rowsBefore(db, marks, {days.until, edge});
    if (!untilBefore)
        return std::unexpected(untilBefore.error());
    const qint64 first = *untilBefore;
    const qint64 total = *fromBefore - *untilBefore - qint64(excluded.size());
    auto skipped = std::make_shared<const std::vector<ReportKey>>(std::move(excluded));
    MailSearchPlan plan;
    plan.total = std::max<qint64>(total, 0);
    plan.keyAt = [&db, &marks, first, total,
                  skipped](qint64 rank) -> std::expected<std::optional<ReportKey>, StoreError> {
        if (rank < 0 || rank >= total)
            return std::optional<ReportKey>();
        // The key at a place in the range, and how many matches lie at or before it.
        auto at = [&](qint64 place) -> std::expected<std::optional<std::pair<ReportKey, qint64>>, StoreError> {
            auto key = keyAtRank(db, marks, first + place);
            if (!key)
                return std::unexpected(key.error());
            if (!key->has_value())
                return std::nullopt;
            const ReportKey found{(*key)->value, (*key)->id};
            const auto stepped = std::upper_bound(skipped->begin(), skipped->end(), found, listOrder);
            return std::pair{found, place + 1 - qint64(stepped - skipped->begin())};
        };
        // The match sought lies at rank plus the excluded rows before it. Adding those found up to
        // a place never passes it; where it stops moving, it has arrived.
        qint64 low = rank;
        qint64 high = rank + qint64(skipped->size());
        for (int step = 0; step < kQuickSteps && low < high; ++step) {
            auto found = at(low);
            if (!found)
                return std::unexpected(found.error());
            if (!found->has_value())
                return std::optional<ReportKey>();
            if ((*found)->second > rank)
                return std::optional<ReportKey>((*found)->first);
            low += rank + 1 - (*found)->second;
        }
        // The first place with rank + 1 matches at or before it.
        while (low < high) {
            const qint64 middle = low + (high - low) / 2;
            auto found = at(middle);
            if (!found)
                return std::unexpected(found.error());
            if (found->has_value() && (*found)->second > rank)
                high = middle;
            else
                low = middle + 1;
        }
        auto found = at(low);
        if (!found)
            return std::unexpected(found.error());
        if (!found->has_value())
            return std::optional<ReportKey>();
        return std::optional<ReportKey>((*found)->first);
    };
    return plan;
}

// How many matches each day of a range holds, newest day first.
struct DayMatches
{
    QString day;
    qint64 matches = 0;
};

// The matches of a range counted day by day in the days' packed e-mails (a noted day from its
// rows), with the key at a place found by reading on in its day. Nothing where the store holds
// e-mails that belong to no day.
std::expected<std::optional<MailSearchPlan>, StoreError>
dayPlan(const Database& db, const std::vector<ValueSearch>& searches, const std::vector<Split>& splits,
        MailFilter outcome, const DayRange& days, const std::vector<MailCondition>& conditions)
{
    {
        auto st = db.prepare(u"SELECT Mails FROM WebMailToSMS_Days WHERE Day=''"_s);
        auto found = st.next();
        if (!found)
            return std::unexpected(found.error());
        if (!*found || st.integer(0) != 0)
            return std::optional<MailSearchPlan>();
    }
    // The outcomes let through, by their two bits (the fourth value is never packed).
    const std::array<bool, 4> outcomes{outcome != MailFilter::SentToSms, outcome != MailFilter::NotSentToSms,
                                       outcome == MailFilter::All, false};
    // Each kind searched: the values it matches, and for two-byte words (value and outcome) a table
    // of every word saying whether it passes; a day packed in four-byte words is tested word by word.
    struct KindSearch
    {
        PackedKind kind;
        std::vector<bool> values;
        std::vector<quint8> narrow;

        bool holds(quint32 value) const { return value < values.size() && values[value]; }
    };
    std::vector<KindSearch> kinds;
    for (std::size_t i = 0; i < searches.size(); ++i) {
        KindSearch kind{searches.at(i).valueColumn == u"Address"_s ? PackedKind::Senders : PackedKind::UserNames,
                        splits.at(i).matched, std::vector<quint8>(1 << 16)};
        for (quint32 word = 0; word < kind.narrow.size(); ++word)
            kind.narrow[word] = kind.holds(word & 0x3fff) && outcomes.at(word >> 14);
        kinds.push_back(std::move(kind));
    }
    std::ranges::sort(kinds, {}, &KindSearch::kind);

    // The rows of one day that the filter matches, for a noted day and to read on in a day.
    QStringList where{u"EmailDateTime >= ?1"_s, u"EmailDateTime < ?2"_s};
    if (const QString sql = mailOutcomeCondition(outcome); !sql.isEmpty())
        where << sql;
    for (int i = 0; i < int(conditions.size()); ++i)
        where << conditions.at(std::size_t(i)).sql.arg(3 + i);
    const QString inDay = u" FROM WebMailToSMS_MessagesReceived WHERE "_s + where.join(u" AND "_s);
    // A day counted from its rows gives all its e-mails too, for the check below.
    const QString countDay = u"SELECT COUNT(*), COALESCE(SUM(CASE WHEN %1 THEN 1 END), 0) FROM "
                             u"WebMailToSMS_MessagesReceived WHERE %2"_s.arg(where.mid(2).join(u" AND "_s),
                                                                             where.mid(0, 2).join(u" AND "_s));
    auto bindDay = [conditions](Statement& st, const QString& day) {
        const DayRange texts = packedDayTexts(day);
        st.bind(1, texts.from);
        st.bind(2, texts.until);
        for (int i = 0; i < int(conditions.size()); ++i)
            st.bind(3 + i, conditions.at(std::size_t(i)).value);
    };

    const QString fromDay = days.from.left(10);
    const QString untilDay = days.until.left(10);
    auto noted = db.prepare(u"SELECT Day FROM WebMailToSMS_StaleDays WHERE Day >= ?1 AND Day < ?2"_s);
    noted.bind(1, fromDay);
    noted.bind(2, untilDay);
    auto stale = noted.collect([](const Statement& row) { return row.text(0); });
    if (!stale)
        return std::unexpected(stale.error());
    std::ranges::sort(*stale);

    auto counts = std::make_shared<std::vector<DayMatches>>();
    std::vector<QString> unpacked = *stale;
    // Only the kinds searched are read, in the key's own order turned round, so nothing is sorted.
    std::array<const KindSearch*, 2> searchOf{};
    unsigned wanted = 0;
    QStringList kindNumbers;
    for (const KindSearch& kind : kinds) {
        searchOf.at(std::size_t(kind.kind)) = &kind;
        wanted |= 1u << unsigned(kind.kind);
        kindNumbers << QString::number(int(kind.kind));
    }
    auto packed =
        db.prepare(u"SELECT Day, Kind, Mails, Packed FROM WebMailToSMS_Days WHERE Day >= ?1 AND Day < ?2 "
                   u"AND Day <> '' AND Kind IN (%1) ORDER BY Day DESC, Kind DESC"_s.arg(kindNumbers.join(u", "_s)));
    packed.bind(1, fromDay);
    packed.bind(2, untilDay);
    // The day being read: its kinds seen, its e-mails, and which of them passed every kind so far.
    QString day;
    unsigned seen = 0;
    bool whole = true;
    qint64 dayMails = 0;
    std::vector<quint8> passed;
    qint64 mailsSeen = 0; // of every day counted, for the check below
    auto closeDay = [&] {
        if (day.isEmpty())
            return;
        if (whole && seen == wanted) {
            counts->push_back({day, qint64(std::ranges::count(passed, quint8(1)))});
            mailsSeen += dayMails;
        } else {
            unpacked.push_back(day); // not as this version packs: counted from its rows
        }
    };
    for (;;) {
        auto more = packed.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            break;
        const QString rowDay = packed.text(0);
        if (std::ranges::binary_search(*stale, rowDay))
            continue;
        if (rowDay != day) {
            closeDay();
            day = rowDay;
            seen = 0;
            whole = true;
            passed.clear();
        }
        const qint64 kindNumber = packed.integer(1);
        const KindSearch* kind =
            kindNumber >= 0 && kindNumber < qint64(searchOf.size()) ? searchOf.at(std::size_t(kindNumber)) : nullptr;
        const auto values = PackedValues::of(packed.blob(3), packed.integer(2));
        const bool firstRead = seen == 0;
        whole = whole && kind != nullptr && (seen & (1u << kindNumber)) == 0 && values &&
                (firstRead || values->size() == passed.size());
        if (kind != nullptr)
            seen |= 1u << kindNumber;
        if (!whole)
            continue;
        if (firstRead) {
            passed.assign(values->size(), 1);
            dayMails = qint64(values->size());
        }
        for (std::size_t i = 0; i < passed.size(); ++i) {
            const quint32 word = values->word(i);
            passed[i] &= values->narrow() ? kind->narrow[word]
                                          : quint8(kind->holds(values->value(word)) &&
                                                   outcomes.at(std::size_t(values->outcome(word))));
        }
    }
    closeDay();
    for (const QString& noted : unpacked) {
        auto st = db.prepare(countDay);
        bindDay(st, noted);
        auto found = st.next();
        if (!found)
            return std::unexpected(found.error());
        mailsSeen += st.integer(0);
        counts->push_back({noted, st.integer(1)});
    }
    // The days must hold every e-mail of the range, as the list's marks count them: a day whose
    // rows went missing would otherwise drop its e-mails from the search unseen.
    if (const MarkedList* all =
            findMarkedList(u"WebMailToSMS_MessagesReceived"_s, QString(), u"EmailDateTime"_s, true)) {
        const qint64 edge = std::numeric_limits<qint64>::max();
        auto fromBefore = rowsBefore(db, *all, {days.from, edge});
        if (!fromBefore)
            return std::unexpected(fromBefore.error());
        auto untilBefore = rowsBefore(db, *all, {days.until, edge});
        if (!untilBefore)
            return std::unexpected(untilBefore.error());
        if (*fromBefore - *untilBefore != mailsSeen)
            return std::optional<MailSearchPlan>();
    }
    if (!unpacked.empty())
        std::ranges::sort(*counts, [](const DayMatches& a, const DayMatches& b) { return a.day > b.day; });
    std::erase_if(*counts, [](const DayMatches& day) { return day.matches == 0; });

    qint64 total = 0;
    for (const DayMatches& day : *counts)
        total += day.matches;
    MailSearchPlan plan;
    plan.total = total;
    plan.byDays = true;
    const QString keyInDay = u"SELECT EmailDateTime, id"_s + inDay +
                             u" ORDER BY EmailDateTime DESC, id LIMIT 1 OFFSET ?%1"_s.arg(3 + conditions.size());
    plan.keyAt = [&db, counts, keyInDay, bindDay, argument = int(3 + conditions.size())](
                     qint64 rank) -> std::expected<std::optional<ReportKey>, StoreError> {
        for (const DayMatches& day : *counts) {
            if (rank >= day.matches) {
                rank -= day.matches;
                continue;
            }
            auto st = db.prepare(keyInDay);
            bindDay(st, day.day);
            st.bind(argument, rank);
            auto found = st.next();
            if (!found)
                return std::unexpected(found.error());
            if (!*found)
                return std::optional<ReportKey>();
            return std::optional<ReportKey>(ReportKey{st.text(0), st.integer(1)});
        }
        return std::optional<ReportKey>();
    };
    return std::optional<MailSearchPlan>(std::move(plan));
}

} // namespace

QString likeStarting(const QString& text)
{
    QString escaped = text;
    escaped.replace(u"\\"_s, u"\\\\"_s).replace(u"%"_s, u"\\%"_s).replace(u"_"_s, u"\\_"_s);
    return escaped + u"%"_s;
}

QString mailOutcomeCondition(MailFilter filter)
{
    switch (filter) {
    case MailFilter::SentToSms:
        return u"IsEmailSentToSMS<>0"_s;
    case MailFilter::NotSentToSms:
        return u"IsEmailSentToSMS=0"_s;
    case MailFilter::All:
        break;
    }
    return QString();
}

std::vector<MailCondition> mailSearchConditions(const MailInboxFilter& filter)
{
    std::vector<MailCondition> conditions;
    if (const QString sender = filter.sender.trimmed(); !sender.isEmpty())
        conditions.push_back({u"EmailFromAddress LIKE ?%1 ESCAPE '\\'"_s, likeAnywhere(QString(), sender)});
    if (const QString user = filter.smsUserName.trimmed(); !user.isEmpty()) {
        if (user.contains(u'<'))
            conditions.push_back({u"EmailTextMessage LIKE ?%1 ESCAPE '\\'"_s, likeAnywhere(u"<smsusername>"_s, user)});
        else
            conditions.push_back({u"EmailSMSUserName LIKE ?%1 ESCAPE '\\'"_s, likeStarting(user)});
    }
    return conditions;
}

std::expected<MailSearchPlan, StoreError> planMailSearch(const Database& db, const MailInboxFilter& filter,
                                                         qint64 fewMails)
{
    const std::vector<MailCondition> conditions = mailSearchConditions(filter);
    std::vector<ValueSearch> searches;
    for (int i = 0; i < int(conditions.size()); ++i) {
        const QString& sql = conditions.at(std::size_t(i)).sql;
        const QString& pattern = conditions.at(std::size_t(i)).value;
        if (sql.startsWith(u"EmailFromAddress"_s))
            searches.push_back({i, u"WebMailToSMS_Senders"_s, u"Address"_s, u"EmailFromAddress"_s,
                                u"idx_mails_sender_newest"_s, pattern});
        else if (sql.startsWith(u"EmailSMSUserName"_s))
            searches.push_back({i, u"WebMailToSMS_UserNames"_s, u"UserName"_s, u"EmailSMSUserName"_s,
                                u"idx_mails_user_newest"_s, pattern});
    }
    if (searches.empty())
        return MailSearchPlan{};

    std::vector<Split> splits;
    std::size_t fewest = 0;
    for (std::size_t i = 0; i < searches.size(); ++i) {
        auto split = splitValues(db, searches.at(i));
        if (!split)
            return std::unexpected(split.error());
        splits.push_back(std::move(*split));
        if (splits.back().matchedMails < splits.at(fewest).matchedMails)
            fewest = i;
    }
    const ValueSearch& search = searches.at(fewest);
    const Split& split = splits.at(fewest);
    const DayRange days = reportDays(filter.from, filter.to);
    const QString outcome = mailOutcomeCondition(filter.filter);
    MailSearchPlan plan;

    // Stepping over the e-mails that do not match works for one search alone, and pays where they
    // are fewer than the matches.
    const MarkedList* marks = findMarkedList(u"WebMailToSMS_MessagesReceived"_s, outcome, u"EmailDateTime"_s, true);
    if (conditions.size() == 1 && marks != nullptr && split.otherMails <= fewMails &&
        split.otherMails < split.matchedMails) {
        auto excluded = keysOf(db, search, false, split, days, outcome, {});
        if (!excluded)
            return std::unexpected(excluded.error());
        return complementPlan(db, *marks, days, std::move(*excluded));
    }
    auto readKeys = [&]() -> std::expected<MailSearchPlan, StoreError> {
        // The other typed search, if any, is tested on the rows found.
        std::vector<MailCondition> others = conditions;
        others.erase(others.begin() + search.condition);
        auto keys = keysOf(db, search, true, split, days, outcome, others);
        if (!keys)
            return std::unexpected(keys.error());
        plan.keys = std::move(*keys);
        return plan;
    };
    if (split.matchedMails <= fewMails)
        return readKeys();
    // Many e-mails on both sides: they are counted day by day where every typed search has values.
    if (searches.size() == conditions.size()) {
        auto byDays = dayPlan(db, searches, splits, filter.filter, days, conditions);
        if (!byDays)
            return std::unexpected(byDays.error());
        if (*byDays)
            return std::move(**byDays);
    }
    // Where the days cannot count them (a user name typed with "<", an e-mail without a day),
    // reading many more keys still beats testing every e-mail of the range.
    if (split.matchedMails <= fewMails * kMailSearchManyKeysFactor)
        return readKeys();
    return plan;
}

std::vector<ReportKey> pageOfKeys(const std::vector<ReportKey>& keys, const ReportPaging& paging)
{
    const auto size = std::ptrdiff_t(std::max(paging.pageSize, 1));
    auto start = keys.begin();
    if (paging.after) {
        start = std::upper_bound(keys.begin(), keys.end(), *paging.after, listOrder);
    } else if (paging.before) {
        const auto end = std::lower_bound(keys.begin(), keys.end(), *paging.before, listOrder);
        start = end - std::min(size, end - keys.begin());
        return {start, end};
    } else {
        const qint64 offset = qint64(std::max(paging.page, 1) - 1) * size;
        start = offset >= qint64(keys.size()) ? keys.end() : keys.begin() + std::ptrdiff_t(offset);
    }
    return {start, start + std::min(size, keys.end() - start)};
}

} // namespace store
