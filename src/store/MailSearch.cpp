#include "MailSearch.h"

#include "PageMarks.h"

#include <algorithm>
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
// without a value, which match nothing).
struct Split
{
    qint64 matchedMails = 0;
    qint64 otherMails = 0;
    qint64 withoutValue = 0;
};

// The list's order: newest first, ties by id.
bool listOrder(const ReportKey& a, const ReportKey& b)
{
    return a.value > b.value || (a.value == b.value && a.id < b.id);
}

QString outcomeOf(MailFilter filter)
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

std::expected<Split, StoreError> splitValues(const Database& db, const ValueSearch& search)
{
    auto st = db.prepare(u"SELECT %1 IS NULL, %1 LIKE ?1 ESCAPE '\\', SUM(Mails) FROM %2 GROUP BY 1, 2"_s.arg(
        search.valueColumn, search.values));
    st.bind(1, search.pattern);
    Split split;
    for (;;) {
        auto more = st.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            return split;
        const qint64 mails = st.integer(2);
        if (st.boolean(0))
            split.withoutValue += mails;
        // NULL LIKE anything is NULL, no match.
        (st.boolean(1) ? split.matchedMails : split.otherMails) += mails;
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

} // namespace

QString likeStarting(const QString& text)
{
    QString escaped = text;
    escaped.replace(u"\\"_s, u"\\\\"_s).replace(u"%"_s, u"\\%"_s).replace(u"_"_s, u"\\_"_s);
    return escaped + u"%"_s;
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

    std::optional<std::pair<std::size_t, Split>> fewest;
    for (std::size_t i = 0; i < searches.size(); ++i) {
        auto split = splitValues(db, searches.at(i));
        if (!split)
            return std::unexpected(split.error());
        if (!fewest || split->matchedMails < fewest->second.matchedMails)
            fewest.emplace(i, *split);
    }
    const ValueSearch& search = searches.at(fewest->first);
    const Split& split = fewest->second;
    const DayRange days = reportDays(filter.from, filter.to);
    const QString outcome = outcomeOf(filter.filter);
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
    if (split.matchedMails <= fewMails) {
        // The other typed search, if any, is tested on the few rows found.
        std::vector<MailCondition> others = conditions;
        others.erase(others.begin() + search.condition);
        auto keys = keysOf(db, search, true, split, days, outcome, others);
        if (!keys)
            return std::unexpected(keys.error());
        plan.keys = std::move(*keys);
    }
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
