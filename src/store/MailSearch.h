#pragma once

#include "ReportQueries.h"

#include <functional>

namespace store {

// The condition over WebMailToSMS_MessagesReceived of an outcome filter; empty for all e-mails.
QString mailOutcomeCondition(MailFilter filter);

// What a typed search of the e-mail inbox asks of one e-mail, as a condition over
// WebMailToSMS_MessagesReceived whose "%1" is the number of the parameter `value` is bound to.
// The sender is found anywhere in the address; the SMS user name is matched against the first
// <smsusername> element only, as the request parser reads it; a typed user name holding "<" can
// reach past that element and is matched against the whole text.
struct MailCondition
{
    QString sql;
    QString value;
};
std::vector<MailCondition> mailSearchConditions(const MailInboxFilter& filter);

// How a filter with a typed search finds its e-mails without testing each e-mail of the range.
// The store keeps each sender and user name once with how many e-mails hold it, so the values a
// search matches, and the e-mails they bring, are known before a row is read.
struct MailSearchPlan
{
    // Few e-mails hold the values matched: every match in range, newest first, ties by id, read
    // from the values' own index; a page is cut from these.
    std::optional<std::vector<ReportKey>> keys;
    // Few e-mails hold the values not matched: how many matches the range holds, and the key of
    // the match at a place (from 0) among them, found from the outcome's page marks with the
    // non-matching e-mails stepped over. A page is then read on from that key, row by row, which
    // meets few rows that do not match.
    std::optional<qint64> total;
    std::function<std::expected<std::optional<ReportKey>, StoreError>(qint64 rank)> keyAt;
    // Many e-mails on both sides: `total` and `keyAt` count the matches day by day in the days'
    // packed values (MailDays.h) and read on in the day that holds the place; `byDays` says so.
    bool byDays = false;
};

// Neither part set: no count bounds the search, and the range is to be walked row by row.
std::expected<MailSearchPlan, StoreError> planMailSearch(const Database& db, const MailInboxFilter& filter,
                                                         qint64 fewMails = kMailSearchFewMails);

// The keys of the page asked for, cut from every key of the list in its order.
std::vector<ReportKey> pageOfKeys(const std::vector<ReportKey>& keys, const ReportPaging& paging);

// A LIKE pattern that finds values starting with `text`, escaped as likeAnywhere() escapes.
QString likeStarting(const QString& text);

} // namespace store
