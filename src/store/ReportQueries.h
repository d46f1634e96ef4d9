#pragma once

#include "Database.h"
#include "DateText.h"

#include <QDate>

#include <optional>
#include <vector>

namespace store {

// The days a report covers, From and To both whole: [From 00:00:00, To + 1 day 00:00:00). The
// received-SMS report and its export read the same rows through this one function.
DayRange reportDays(const QDate& from, const QDate& to);

// Where a row stands in a report's order: the sort column's value (Null for NULL) and its id,
// which breaks ties.
struct ReportKey
{
    QString value;
    qint64 id = 0;
};

// Which page to read. Next and Previous give the key of the last (first) row shown, so the page
// is read on from there on the index instead of counting rows off from the start; `page` still
// says which page that is.
struct ReportPaging
{
    int page = 1; // from 1
    int pageSize = 500;
    std::optional<ReportKey> after;
    std::optional<ReportKey> before;
};

template <typename Row> struct ReportPage
{
    std::vector<Row> rows;
    qint64 total = 0; // rows of the whole report, all pages
};

// Missed calls (MissedCallStatistics with IsMissCall set), oldest first.
struct CallLogRow
{
    qint64 id = 0;
    QString callDateTime; // ISO text
    QString callerNumber;
    ReportKey key;
};
std::expected<ReportPage<CallLogRow>, StoreError> missedCallsPage(const Database& db, const QDate& from,
                                                                  const QDate& to, const ReportPaging& paging);
std::expected<int, StoreError> deleteCalls(const Database& db, const std::vector<qint64>& ids);

// Received SMS (Message_InBox) in a range of days, sorted by one of kReceivedSmsSorts.
struct ReceivedSmsRow
{
    qint64 id = 0;
    QString number;
    QString message;
    QString date; // ISO text
    bool isRead = true;
    ReportKey key;
};
inline const QString kReceivedSmsNewestFirst = QStringLiteral("InboxDateTime desc");
std::expected<ReportPage<ReceivedSmsRow>, StoreError> receivedSmsPage(const Database& db, const QDate& from,
                                                                      const QDate& to, const QString& sortKey,
                                                                      const ReportPaging& paging);
// What "&Export All" hands over: every received SMS of the range.
std::expected<qint64, StoreError> countReceivedSms(const Database& db, const QDate& from, const QDate& to);
std::expected<int, StoreError> deleteReceivedSms(const Database& db, const std::vector<qint64>& ids);

// E-mails filed by the mailbox poll (WebMailToSMS_MessagesReceived), newest first.
enum class MailFilter
{
    All,
    SentToSms,
    NotSentToSms
};
struct MailInboxFilter
{
    MailFilter filter = MailFilter::NotSentToSms;
    QString sender;      // part of the sender's address, any case; empty: every sender
    QString smsUserName; // what the <smsusername> element starts with, any case; empty: anyone
    QDate from;
    QDate to;
};
struct MailInboxRow
{
    qint64 id = 0;
    QString emailDateTime;
    QString fromAddress;
    QString subject;
    QString receivedOn;
    QString reason; // ReasonForNotSendingSMS
    ReportKey key;
};
// Up to how many e-mails a typed search reads the e-mails it matches (or those it steps over)
// from the values' index and sorts them: about half a microsecond each. Past that, the e-mails of
// the range are counted in the days' packed e-mails, a few nanoseconds each.
inline constexpr qint64 kMailSearchFewMails = 10000;
// Where the days cannot count a search's e-mails, it reads up to this many times as many keys
// (half a million, about 0.6 s) before it walks the range instead.
inline constexpr qint64 kMailSearchManyKeysFactor = 50;
std::expected<ReportPage<MailInboxRow>, StoreError> mailInboxPage(const Database& db, const MailInboxFilter& filter,
                                                                  const ReportPaging& paging,
                                                                  qint64 fewMails = kMailSearchFewMails);
// The e-mail's text; nullopt when the row is gone.
std::expected<std::optional<QString>, StoreError> mailText(const Database& db, qint64 id);
std::expected<int, StoreError> deleteMails(const Database& db, const std::vector<qint64>& ids);

// A LIKE pattern that finds `text` anywhere, with "%", "_" and the escape character typed by a
// person matching themselves; use with ESCAPE '\'.
QString likeAnywhere(const QString& prefix, const QString& text);

} // namespace store
