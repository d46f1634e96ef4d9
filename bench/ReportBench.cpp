// What the operator waits for at the three reports (missed calls, received SMS, the e-mail-to-SMS
// inbox) on a store that has kept years of traffic: each report's first, middle and last page,
// Next and Previous from the middle, in each sort it offers, over the whole range and over one
// month, and the count the export is handed.
//
//   report_bench [rows ...]     (default: 10000 1000000)
//
// Each size's store is built once in /tmp (one transaction) and reused while its schema version
// matches this program's.
#include "DateText.h"
#include "MailDays.h"
#include "PageMarks.h"
#include "ReportQueries.h"
#include "Schema.h"
#include "Store.h"
#include "StoreLocation.h"

#include <QFileInfo>

#include "BenchStore.h"
#include "TimingTable.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <map>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

using bench::kStart;
using bench::Numbers;
using bench::someNumber;

QString someText(Numbers& random)
{
    static const QString words[] = {u"meeting"_s, u"invoice"_s, u"please"_s, u"call"_s, u"back"_s,  u"order"_s,
                                    u"thanks"_s,  u"noon"_s,    u"code"_s,   u"ok"_s,   u"later"_s, u"balance"_s};
    QStringList text;
    for (int i = 2 + int(random.next() % 10); i > 0; --i)
        text << words[random.next() % std::size(words)];
    return text.join(u' ');
}

// Every table a report reads gets `rows` rows, one every 150 s from 2021 on, ties now and then.
std::expected<void, store::StoreError> fill(const store::Database& db, int rows)
{
    (void)db.exec(u"PRAGMA cache_size=-400000"_s);
    store::Transaction transaction(db);
    Numbers random;
    auto inbox = db.prepare(u"INSERT INTO Message_InBox (SenderMobileNo, SenderId, Message, InboxDateTime, IsRead) "
                            u"VALUES (?1, 0, ?2, ?3, -1)"_s);
    auto calls = db.prepare(u"INSERT INTO MissedCallStatistics (callDateTime, callerNumber, IsMissCall) "
                            u"VALUES (?1, ?2, ?3)"_s);
    auto mails = db.prepare(u"INSERT INTO WebMailToSMS_MessagesReceived (EmailFromAddress, EmailSubject, "
                            u"EmailDateTime, EmailTextMessage, MessageReceivedOn, IsEmailSentToSMS, "
                            u"ReasonForNotSendingSMS) VALUES (?1, ?2, ?3, ?4, ?3, ?5, ?6)"_s);
    for (int i = 0; i < rows; ++i) {
        const QString when = store::isoText(kStart.addSecs(qint64(i) * 150 - qint64(i % 7 == 0 ? 150 : 0)));
        inbox.bind(1, someNumber(random));
        inbox.bind(2, someText(random));
        inbox.bind(3, when);
        calls.bind(1, when);
        calls.bind(2, someNumber(random));
        calls.bind(3, qint64(i % 10 == 0 ? 0 : -1));
        const bool sent = i % 5 != 0;
        mails.bind(1, u"user%1@example.org"_s.arg(random.next() % 3000));
        mails.bind(2, someText(random));
        mails.bind(3, when);
        mails.bind(4, u"<smsusername>user%1</smsusername><message>%2</message>"_s.arg(random.next() % 3000)
                          .arg(someText(random)));
        mails.bind(5, qint64(sent ? -1 : 0));
        mails.bind(6, sent ? QString() : u"Invalid SMS Username"_s);
        for (store::Statement* st : {&inbox, &calls, &mails}) {
            if (auto r = st->run(); !r)
                return r;
        }
    }
    return transaction.commit();
}

std::expected<store::Database, store::StoreError> benchStore(int rows)
{
    return bench::cachedStore(u"tarvogate-report-bench"_s, u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived"_s,
                              rows, [](const store::Database& db, int count) -> std::expected<void, store::StoreError> {
                                  if (auto r = fill(db, count); !r)
                                      return r;
                                  // The engine's refresh tick cuts the page marks' long stretches;
                                  // one bulk fill makes one.
                                  if (auto r = store::splitLongStretches(db); !r)
                                      return std::unexpected(r.error());
                                  return {};
                              });
}

// A report's page by its paging: the total it found and the keys of its first and last rows.
struct Shown
{
    qint64 total = 0;
    std::optional<store::ReportKey> first;
    std::optional<store::ReportKey> last;
};
using Report = std::function<Shown(const store::ReportPaging&)>;

template <typename Row> Shown shownOf(const std::expected<store::ReportPage<Row>, store::StoreError>& page)
{
    Shown shown;
    if (!page) {
        std::printf("report: %s\n", qPrintable(page.error().message));
        return shown;
    }
    shown.total = page->total;
    if (!page->rows.empty()) {
        shown.first = page->rows.front().key;
        shown.last = page->rows.back().key;
    }
    return shown;
}

void measureStore(const store::Database& db, bench::TimingTable& table, std::size_t column)
{
    auto record = [&](const QString& name, double ms) { table.record(column, name, ms); };
    // The first second's ties start a little before the first day.
    const QDate first = kStart.date().addDays(-1);
    const QDate last = QDate(2030, 12, 31);
    const QDate month = kStart.date().addDays(10);
    struct Listing
    {
        QString name;
        int pageSize;
        Report report;
    };
    auto sms = [&](const QString& sort, const QDate& from, const QDate& to) -> Report {
        return [&db, sort, from, to](const store::ReportPaging& paging) {
            return shownOf(store::receivedSmsPage(db, from, to, sort, paging));
        };
    };
    auto mails = [&](store::MailFilter filter, const QString& sender, const QString& user = QString(),
                     const QDate& from = QDate(), const QDate& to = QDate()) -> Report {
        const QDate since = from.isValid() ? from : first;
        const QDate until = to.isValid() ? to : last;
        return [&db, filter, sender, user, since, until](const store::ReportPaging& paging) {
            return shownOf(store::mailInboxPage(db, {filter, sender, user, since, until}, paging));
        };
    };
    const Listing listings[] = {
        {u"missed calls, all days"_s, 500,
         [&](const store::ReportPaging& paging) { return shownOf(store::missedCallsPage(db, first, last, paging)); }},
        {u"missed calls, one month"_s, 500,
         [&](const store::ReportPaging& paging) {
             return shownOf(store::missedCallsPage(db, month, month.addMonths(1), paging));
         }},
        {u"received SMS newest first, all days"_s, 500, sms(store::kReceivedSmsNewestFirst, first, last)},
        {u"received SMS by number, all days"_s, 500, sms(u"SenderMobileNo"_s, first, last)},
        {u"received SMS by message, all days"_s, 500, sms(u"Message"_s, first, last)},
        {u"received SMS newest first, one month"_s, 500,
         sms(store::kReceivedSmsNewestFirst, month, month.addMonths(1))},
        {u"received SMS by number, one month"_s, 500, sms(u"SenderMobileNo"_s, month, month.addMonths(1))},
        {u"received SMS by message, one month"_s, 500, sms(u"Message"_s, month, month.addMonths(1))},
        {u"received SMS by number, one day"_s, 500, sms(u"SenderMobileNo"_s, month, month)},
        {u"received SMS by number, one week"_s, 500, sms(u"SenderMobileNo"_s, month, month.addDays(6))},
        {u"received SMS by number, one year"_s, 500, sms(u"SenderMobileNo"_s, month, month.addYears(1))},
        {u"received SMS by message, one year"_s, 500, sms(u"Message"_s, month, month.addYears(1))},
        {u"e-mails, all"_s, 100, mails(store::MailFilter::All, QString())},
        {u"e-mails, not sent to SMS"_s, 100, mails(store::MailFilter::NotSentToSms, QString())},
        {u"e-mails, sender search"_s, 100, mails(store::MailFilter::All, u"user42@"_s)},
        {u"e-mails, user-name search"_s, 100, mails(store::MailFilter::All, QString(), u"user42"_s)},
        {u"e-mails, sender search matching every sender"_s, 100, mails(store::MailFilter::All, u"example.org"_s)},
        {u"e-mails, sender search matching a third"_s, 100, mails(store::MailFilter::All, u"user1"_s)},
        {u"e-mails, sender search matching a third, not sent to SMS"_s, 100,
         mails(store::MailFilter::NotSentToSms, u"user1"_s)},
        {u"e-mails, sender search matching a third, one year"_s, 100,
         mails(store::MailFilter::All, u"user1"_s, QString(), month, month.addYears(1))},
        {u"e-mails, user-name search matching a third"_s, 100, mails(store::MailFilter::All, QString(), u"user1"_s)},
        {u"e-mails, sender and user-name searches matching a third each"_s, 100,
         mails(store::MailFilter::All, u"user1"_s, u"user2"_s)},
    };
    for (const Listing& listing : listings) {
        const Shown firstPage = listing.report({1, listing.pageSize, std::nullopt, std::nullopt});
        const int pages = int(std::max<qint64>((firstPage.total + listing.pageSize - 1) / listing.pageSize, 1));
        const std::pair<QString, int> where[] = {{u"first"_s, 1}, {u"middle"_s, (pages + 1) / 2}, {u"last"_s, pages}};
        for (const auto& [label, number] : where) {
            record(listing.name + u", "_s + label + u" page"_s, bench::measure([&] {
                       benchmark::DoNotOptimize(listing.report({number, listing.pageSize, std::nullopt, std::nullopt}));
                   }));
        }
        // The same page once more with the connection's page cache emptied first, as when a report
        // is opened: every page it reads is decrypted again (the system's file cache stays warm).
        record(listing.name + u", middle page, cache emptied"_s, bench::measure([&] {
                   (void)db.exec(u"PRAGMA shrink_memory"_s);
                   benchmark::DoNotOptimize(
                       listing.report({(pages + 1) / 2, listing.pageSize, std::nullopt, std::nullopt}));
               }));
        if (pages < 3)
            continue;
        const int middle = (pages + 1) / 2;
        const Shown shown = listing.report({middle, listing.pageSize, std::nullopt, std::nullopt});
        record(listing.name + u", Next from the middle"_s, bench::measure([&] {
                   benchmark::DoNotOptimize(listing.report({middle + 1, listing.pageSize, shown.last, std::nullopt}));
               }));
        record(listing.name + u", Previous from the middle"_s, bench::measure([&] {
                   benchmark::DoNotOptimize(listing.report({middle - 1, listing.pageSize, std::nullopt, shown.first}));
               }));
    }
    // Filing one e-mail, before its commit: with the searches' values kept by triggers and, for
    // comparison, with those triggers and indexes dropped. Everything is rolled back at the end.
    {
        store::Transaction rolledBack(db);
        auto fileMail = [&db] {
            auto st =
                db.prepare(u"INSERT INTO WebMailToSMS_MessagesReceived (EmailFromAddress, EmailSubject, "
                           u"EmailDateTime, EmailTextMessage, MessageReceivedOn, IsEmailSentToSMS) "
                           u"VALUES ('user7@example.org', 'bench', '2026-01-01 00:00:00', "
                           u"'<smsusername>user7</smsusername><message>hi</message>', '2026-01-01 00:00:00', -1)"_s);
            benchmark::DoNotOptimize(st.run());
        };
        record(u"e-mail filed, before commit"_s, bench::measure(fileMail));
        // A search whose month of days all changed since the engine's tick last packed them, and
        // the tick's work for one day.
        (void)db.exec(
            u"INSERT OR IGNORE INTO WebMailToSMS_StaleDays (Day) SELECT DISTINCT Day FROM WebMailToSMS_Days WHERE "
            u"Day >= '%1' AND Day < '%2'"_s.arg(month.toString(Qt::ISODate), month.addMonths(1).toString(Qt::ISODate)));
        const Report noted = mails(store::MailFilter::All, u"user1"_s, QString(), month, month.addMonths(1));
        record(u"e-mails, sender search matching a third, one month, every day noted, middle page"_s,
               bench::measure([&] {
                   benchmark::DoNotOptimize(noted({25, 100, std::nullopt, std::nullopt}));
               }));
        record(u"e-mail day packed again (the engine's tick, one day)"_s, bench::measure([&] {
                   (void)db.exec(u"INSERT OR IGNORE INTO WebMailToSMS_StaleDays (Day) VALUES ('%1')"_s.arg(
                       month.toString(Qt::ISODate)));
                   benchmark::DoNotOptimize(store::refreshMailDays(db, 1));
               }));
        for (const QString& drop :
             {u"TRIGGER trg_mail_senders_insert"_s, u"TRIGGER trg_mail_users_insert"_s,
              u"TRIGGER trg_mail_days_insert"_s, u"INDEX idx_mails_sender_newest"_s, u"INDEX idx_mails_user_newest"_s})
            (void)db.exec(u"DROP "_s + drop);
        record(u"e-mail filed, before commit, without the search values"_s, bench::measure(fileMail));
    }
    record(u"export count, all days"_s,
           bench::measure([&] { benchmark::DoNotOptimize(store::countReceivedSms(db, first, last)); }));
}

} // namespace

int main(int argc, char** argv)
{
    return bench::runOverSizes(argc, argv, "report_bench", "table", benchStore, measureStore);
}
