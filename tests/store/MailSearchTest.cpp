#include "MailSearch.h"
#include "DateText.h"
#include "MailDays.h"
#include "ReportQueries.h"
#include "TestStore.h"
#include "WebMailTables.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::openTestStore;
using testing_support::scalarOf;
using testing_support::TempFolder;

namespace {

const QDate kDay(2026, 3, 14);

struct MailSearchTest : ::testing::Test
{
    TempFolder folder;
    store::Database db = openTestStore(folder.storePath());

    QList<qint64> ids(const QString& sql, const QStringList& values) const
    {
        auto st = db.prepare(sql);
        for (int i = 0; i < int(values.size()); ++i)
            st.bind(i + 1, values.at(i));
        auto rows = st.collect([](const store::Statement& row) { return row.integer(0); });
        EXPECT_TRUE(rows);
        return rows ? QList<qint64>(rows->begin(), rows->end()) : QList<qint64>();
    }

    // Every page by its number, by Next from the page before and by Previous from the page after,
    // with the total on each, against the reference cut into pages.
    void expectPagesFollow(const QList<qint64>& reference, const store::MailInboxFilter& filter, qint64 fewMails)
    {
        constexpr int size = 7;
        const int pages = int((reference.size() + size - 1) / size);
        auto read = [&](const store::ReportPaging& paging) {
            auto page = store::mailInboxPage(db, filter, paging, fewMails);
            EXPECT_TRUE(page) << (page ? std::string() : page.error().message.toStdString());
            std::pair<QList<qint64>, std::vector<store::ReportKey>> shown;
            if (page) {
                EXPECT_EQ(page->total, reference.size());
                for (const store::MailInboxRow& row : page->rows) {
                    shown.first << row.id;
                    shown.second.push_back(row.key);
                }
            }
            return shown;
        };
        std::vector<std::vector<store::ReportKey>> keys(std::size_t(pages) + 2);
        for (int page = 1; page <= pages + 1; ++page) {
            auto [rows, shown] = read({page, size, std::nullopt, std::nullopt});
            EXPECT_EQ(rows, reference.mid((page - 1) * size, size)) << "page " << page << " by number";
            keys.at(std::size_t(page)) = shown;
        }
        for (int page = 2; page <= pages; ++page) {
            ASSERT_FALSE(keys.at(std::size_t(page - 1)).empty());
            auto [rows, shown] = read({page, size, keys.at(std::size_t(page - 1)).back(), std::nullopt});
            EXPECT_EQ(rows, reference.mid((page - 1) * size, size)) << "page " << page << " by Next";
        }
        for (int page = 1; page < pages; ++page) {
            ASSERT_FALSE(keys.at(std::size_t(page + 1)).empty());
            auto [rows, shown] = read({page, size, std::nullopt, keys.at(std::size_t(page + 1)).front()});
            EXPECT_EQ(rows, reference.mid((page - 1) * size, size)) << "page " << page << " by Previous";
        }
    }
};

} // namespace

// The inbox's searches by sender and by user name, however the store answers them (from the
// values' index, stepping over the values not matched, or walking the range), give the pages and
// totals that LIKE gives over every e-mail of the range, also after e-mails were deleted or
// changed. The user name is the first element's.
TEST_F(MailSearchTest, EveryMailSearchPagesAsLikeOverTheWholeRange)
{
    const QString senders[] = {u"alice@example.org"_s,
                               u"ALICE@Example.ORG"_s,
                               u"bob@example.org"_s,
                               u"100%sure@example.org"_s,
                               u"a_b@example.org"_s,
                               u"back\\slash@example.org"_s,
                               u"carol@other.net"_s,
                               QString(),
                               u""_s};
    auto textOf = [](int i) -> QString {
        switch (i % 10) {
        case 0:
        case 1:
        case 2:
        case 3:
            return u"<smsusername>user%1</smsusername><message>hi</message>"_s.arg(i % 5);
        case 4:
        case 5:
            return u"<SMSUserName>User%1</SMSUserName>"_s.arg(i % 5);
        case 6:
            return u"<smsusername>ann</smsusername> <smsusername>user1"_s;
        case 7:
            return QString();
        case 8:
            return u"no element here"_s;
        default:
            return i % 20 == 9 ? u"<smsusername>john_doe extra words</smsusername>"_s
                               : u"<smsUserName>50%off<message>x</message>"_s;
        }
    };
    QList<qint64> id;
    {
        store::Transaction transaction(db);
        for (int i = 0; i < 240; ++i) {
            store::ReceivedMailRow mail;
            mail.EmailFromAddress = senders[i % std::size(senders)];
            mail.EmailTextMessage = textOf(i);
            // Seven e-mails a second, over four days of which the range holds three.
            mail.EmailDateTime = store::isoText(QDateTime(kDay.addDays(i % 4 - 1), QTime(9, 0).addSecs(i / 7)));
            mail.IsEmailSentToSMS = i % 3 != 0;
            id << store::WebMailTables(db).file(mail).value_or(-1);
        }
        ASSERT_TRUE(transaction.commit());
    }
    for (int i = 0; i < 240; i += 11)
        ASSERT_TRUE(store::deleteMails(db, {id[i]}));
    auto change = [&](const QString& sql, int every, int at) {
        for (int i = at; i < 240; i += every) {
            auto st = db.prepare(sql);
            st.bind(1, id[i]);
            ASSERT_TRUE(st.run());
        }
    };
    change(u"UPDATE WebMailToSMS_MessagesReceived SET EmailFromAddress='bob@example.org' WHERE id=?1"_s, 13, 1);
    change(u"UPDATE WebMailToSMS_MessagesReceived SET EmailFromAddress=NULL WHERE id=?1"_s, 23, 4);
    change(u"UPDATE WebMailToSMS_MessagesReceived SET IsEmailSentToSMS=-1-IsEmailSentToSMS WHERE id=?1"_s, 17, 2);
    change(u"UPDATE WebMailToSMS_MessagesReceived SET EmailTextMessage='<smsusername>Late' WHERE id=?1"_s, 19, 6);
    change(u"UPDATE WebMailToSMS_MessagesReceived SET EmailTextMessage=NULL WHERE id=?1"_s, 29, 0);

    enum class Path
    {
        Values,
        SteppingOver,
        Days,
        Walk
    };
    struct Case
    {
        QString sender;
        QString user;
        qint64 fewMails;
        Path path;
    };
    const Case cases[] = {
        {u"alice"_s, QString(), store::kMailSearchFewMails, Path::Values},
        {u" ALICE@example.org "_s, QString(), store::kMailSearchFewMails, Path::Values},
        {u"alice"_s, QString(), 0, Path::Days},
        {u"example.org"_s, QString(), 100, Path::SteppingOver},
        {u"e"_s, QString(), 60, Path::SteppingOver},
        {u"@"_s, QString(), 0, Path::Days},
        {u"%"_s, QString(), store::kMailSearchFewMails, Path::Values},
        {u"_"_s, QString(), store::kMailSearchFewMails, Path::Values},
        {u"\\"_s, QString(), store::kMailSearchFewMails, Path::Values},
        {u"nobody"_s, QString(), store::kMailSearchFewMails, Path::Values},
        {QString(), u"USER"_s, store::kMailSearchFewMails, Path::SteppingOver},
        {QString(), u"user1"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"user"_s, 100, Path::SteppingOver},
        {QString(), u"user1"_s, 0, Path::Days},
        {QString(), u"ann"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"john_"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"JOHN_DOE extra"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"50%"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"late"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"nobody"_s, store::kMailSearchFewMails, Path::Values},
        {QString(), u"user1<"_s, store::kMailSearchFewMails, Path::Walk},
        {u"alice"_s, u"user"_s, store::kMailSearchFewMails, Path::Values},
        {u"example"_s, u"user1<"_s, store::kMailSearchFewMails, Path::Values},
        {u"example"_s, u"user1<"_s, 0, Path::Walk},
        {u"@"_s, u"user1<"_s, 5, Path::Values},
        {u"alice"_s, u"user1<"_s, store::kMailSearchFewMails, Path::Values},
        {u"example"_s, u"user"_s, 0, Path::Days},
        {u"FAR"_s, u"zed"_s, -1, Path::Days},
        {u"%"_s, u"u"_s, 0, Path::Days},
    };
    const store::DayRange days = store::reportDays(kDay.addDays(-1), kDay.addDays(1));
    const std::pair<store::MailFilter, QString> outcomes[] = {
        {store::MailFilter::All, u"1"_s},
        {store::MailFilter::SentToSms, u"IsEmailSentToSMS<>0"_s},
        {store::MailFilter::NotSentToSms, u"IsEmailSentToSMS=0"_s},
    };
    auto searchEveryCase = [&](const QString& state, bool daysUsable) {
        for (const Case& c : cases) {
            for (const auto& [outcome, condition] : outcomes) {
                SCOPED_TRACE(
                    (state + u" / "_s + c.sender + u" / "_s + c.user + u" / "_s + condition + u" / "_s).toStdString() +
                    std::to_string(c.fewMails));
                QString sql = u"SELECT id FROM WebMailToSMS_MessagesReceived WHERE EmailDateTime >= ?1 AND "
                              u"EmailDateTime < ?2 AND "_s +
                              condition;
                QStringList values{days.from, days.until};
                if (!c.sender.isEmpty()) {
                    sql += u" AND EmailFromAddress LIKE ?3 ESCAPE '\\'"_s;
                    values << store::likeAnywhere(QString(), c.sender.trimmed());
                }
                if (c.user.contains(u'<')) {
                    sql += u" AND EmailTextMessage LIKE ?%1 ESCAPE '\\'"_s.arg(values.size() + 1);
                    values << store::likeAnywhere(u"<smsusername>"_s, c.user);
                } else if (!c.user.isEmpty()) {
                    // The text from its first tag on starts with the tag and the user typed.
                    sql +=
                        u" AND substr(EmailTextMessage, instr(lower(EmailTextMessage), '<smsusername>')) LIKE ?%1 "
                        u"ESCAPE '\\' AND instr(lower(EmailTextMessage), '<smsusername>') > 0"_s.arg(values.size() + 1);
                    values << store::likeAnywhere(u"<smsusername>"_s, c.user).mid(1);
                }
                const QList<qint64> reference = ids(sql + u" ORDER BY EmailDateTime DESC, id"_s, values);

                const store::MailInboxFilter filter{outcome, c.sender, c.user, kDay.addDays(-1), kDay.addDays(1)};
                auto plan = store::planMailSearch(db, filter, c.fewMails);
                ASSERT_TRUE(plan);
                const Path path = plan->keys     ? Path::Values
                                  : plan->byDays ? Path::Days
                                  : plan->total  ? Path::SteppingOver
                                                 : Path::Walk;
                EXPECT_EQ(path, c.path == Path::Days && !daysUsable ? Path::Walk : c.path);
                expectPagesFollow(reference, filter, c.fewMails);
            }
        }
    };
    auto run = [&](const QString& sql) { ASSERT_TRUE(db.exec(sql)); };
    auto packAll = [&] {
        auto packed = store::refreshMailDays(db, std::numeric_limits<int>::max());
        ASSERT_TRUE(packed);
        EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_StaleDays"_s), 0);
    };

    // Every day as the triggers noted it, counted from its rows.
    ASSERT_GT(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_StaleDays"_s), 3);
    searchEveryCase(u"days noted"_s, true);

    ASSERT_NO_FATAL_FAILURE(packAll());
    searchEveryCase(u"days packed"_s, true);

    // User names numbered past two bytes pack the day they fall on wider; a later change leaves
    // another day noted beside the packed ones.
    run(u"INSERT INTO WebMailToSMS_Senders (rowid, Address, Mails) VALUES (20000, 'zed@far.example', 0)"_s);
    run(u"INSERT INTO WebMailToSMS_UserNames (rowid, UserName, Mails) VALUES (70000, 'zed', 0)"_s);
    for (int i = 0; i < 12; ++i) {
        store::ReceivedMailRow mail;
        mail.EmailFromAddress = i % 3 ? u"Wide%1@far.example"_s.arg(i % 4) : u"zed@far.example"_s;
        mail.EmailTextMessage = u"<smsusername>%1</smsusername>"_s.arg(i % 2 ? u"userwide"_s : u"zed"_s);
        mail.EmailDateTime = store::isoText(QDateTime(kDay, QTime(18, 0).addSecs(i)));
        mail.IsEmailSentToSMS = i % 3 == 1;
        ASSERT_TRUE(store::WebMailTables(db).file(mail));
    }
    ASSERT_NO_FATAL_FAILURE(packAll());
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_Days WHERE hex(substr(Packed, 1, 1)) = '04'"_s), 2);
    run(u"UPDATE WebMailToSMS_MessagesReceived SET IsEmailSentToSMS = 0 WHERE EmailDateTime LIKE '%1 09:00:1%'"_s.arg(
        kDay.addDays(1).toString(Qt::ISODate)));
    run(u"DELETE FROM WebMailToSMS_MessagesReceived WHERE EmailDateTime LIKE '%1 09:00:2%'"_s.arg(
        kDay.addDays(1).toString(Qt::ISODate)));
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_StaleDays"_s), 1);
    searchEveryCase(u"days partly packed"_s, true);

    // An e-mail whose date is not in the store's form sorts where its text does; while one is
    // kept, no search counts by days.
    store::ReceivedMailRow odd;
    odd.EmailFromAddress = senders[0];
    odd.EmailTextMessage = u"<smsusername>user1"_s;
    odd.EmailDateTime = kDay.toString(Qt::ISODate);
    ASSERT_TRUE(store::WebMailTables(db).file(odd));
    EXPECT_EQ(scalarOf(db, u"SELECT Mails FROM WebMailToSMS_Days WHERE Day=''"_s), 1);
    searchEveryCase(u"an e-mail without a day"_s, false);
    run(u"UPDATE WebMailToSMS_MessagesReceived SET EmailDateTime = EmailDateTime || ' 12:00:00' WHERE length(EmailDateTime) = 10"_s);
    EXPECT_EQ(scalarOf(db, u"SELECT Mails FROM WebMailToSMS_Days WHERE Day=''"_s), 0);
    ASSERT_NO_FATAL_FAILURE(packAll());
    searchEveryCase(u"its date mended"_s, true);

    // The kept values agree with the rows: each once, with its e-mails, none left at nought.
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM (SELECT EmailFromAddress, COUNT(*) AS n FROM "
                           u"WebMailToSMS_MessagesReceived GROUP BY EmailFromAddress) AS rows LEFT JOIN "
                           u"WebMailToSMS_Senders ON Address IS EmailFromAddress WHERE Mails IS NOT n"_s),
              0);
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_Senders WHERE Mails <= 0 AND Address IS NOT NULL"_s), 0);
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM (SELECT EmailSMSUserName, COUNT(*) AS n FROM "
                           u"WebMailToSMS_MessagesReceived GROUP BY EmailSMSUserName) AS rows LEFT JOIN "
                           u"WebMailToSMS_UserNames ON UserName IS EmailSMSUserName WHERE Mails IS NOT n"_s),
              0);
}

// A day whose packed values do not read as this version packs them (cut short, of a width never
// written, a count that disagrees, one kind missing) is counted from its rows instead; days that
// miss e-mails of the range are not used at all; and a day whose e-mails name a value the store
// lost is left noted rather than packed wrong.
TEST_F(MailSearchTest, DaysThatDoNotReadAsPackedAreCountedFromTheirRows)
{
    {
        store::Transaction transaction(db);
        for (int i = 0; i < 90; ++i) {
            store::ReceivedMailRow mail;
            mail.EmailFromAddress = u"%1@example.org"_s.arg(QChar(u'a' + i % 3));
            mail.EmailTextMessage = u"<smsusername>u%1</smsusername>"_s.arg(i % 4);
            mail.EmailDateTime = store::isoText(QDateTime(kDay.addDays(i % 3), QTime(8, 0).addSecs(i)));
            mail.IsEmailSentToSMS = i % 5 != 0;
            ASSERT_TRUE(store::WebMailTables(db).file(mail));
        }
        ASSERT_TRUE(transaction.commit());
    }
    ASSERT_TRUE(store::refreshMailDays(db, 10));
    const QString days[] = {kDay.toString(Qt::ISODate), kDay.addDays(1).toString(Qt::ISODate),
                            kDay.addDays(2).toString(Qt::ISODate)};
    const store::MailInboxFilter bySender{store::MailFilter::All, u"b@"_s, QString(), kDay, kDay.addDays(2)};
    const store::MailInboxFilter byBoth{store::MailFilter::NotSentToSms, u"example"_s, u"U1"_s, kDay,
                                        kDay.addDays(2)};
    const QList<qint64> senderReference =
        ids(u"SELECT id FROM WebMailToSMS_MessagesReceived WHERE EmailFromAddress LIKE '%b@%' "
            u"ORDER BY EmailDateTime DESC, id"_s,
            {});
    const QList<qint64> bothReference =
        ids(u"SELECT id FROM WebMailToSMS_MessagesReceived WHERE IsEmailSentToSMS = 0 AND EmailSMSUserName = 'u1' "
            u"ORDER BY EmailDateTime DESC, id"_s,
            {});
    ASSERT_EQ(senderReference.size(), 30);
    ASSERT_FALSE(bothReference.isEmpty());
    // Both searches, and whether each still counts by days (a day whose rows are missing makes the
    // days disagree with the range's e-mails, and the search takes another way).
    auto searchBoth = [&](bool senderByDays, bool bothByDays) {
        const std::tuple<store::MailInboxFilter, QList<qint64>, bool> searches[] = {
            {bySender, senderReference, senderByDays}, {byBoth, bothReference, bothByDays}};
        for (const auto& [filter, reference, byDays] : searches) {
            auto plan = store::planMailSearch(db, filter, -1);
            ASSERT_TRUE(plan);
            EXPECT_EQ(plan->byDays, byDays) << filter.sender.toStdString();
            expectPagesFollow(reference, filter, -1);
        }
    };
    searchBoth(true, true);

    struct Breakage
    {
        const char* name;
        QString sql;
        bool senderByDays;
        bool bothByDays;
    };
    const Breakage breakages[] = {
        {"cut short", u"UPDATE WebMailToSMS_Days SET Packed = substr(Packed, 1, 5) WHERE Day = '%1' AND Kind = 0"_s,
         true, true},
        {"width never written",
         u"UPDATE WebMailToSMS_Days SET Packed = x'03' || substr(Packed, 2) WHERE Day = '%1' AND Kind = 1"_s, true,
         true},
        {"a count that disagrees", u"UPDATE WebMailToSMS_Days SET Mails = Mails + 1 WHERE Day = '%1'"_s, true, true},
        {"the senders missing", u"DELETE FROM WebMailToSMS_Days WHERE Day = '%1' AND Kind = 0"_s, false, true},
        {"the user names missing", u"DELETE FROM WebMailToSMS_Days WHERE Day = '%1' AND Kind = 1"_s, true, true},
        {"the day missing", u"DELETE FROM WebMailToSMS_Days WHERE Day = '%1'"_s, false, false},
    };
    for (const Breakage& breakage : breakages) {
        SCOPED_TRACE(breakage.name);
        store::Transaction undone(db);
        ASSERT_TRUE(db.exec(breakage.sql.arg(days[1])));
        searchBoth(breakage.senderByDays, breakage.bothByDays);
    }

    // The store lost a sender's value: its day cannot be packed, so it stays noted.
    ASSERT_TRUE(db.exec(u"DELETE FROM WebMailToSMS_Senders WHERE Address = 'c@example.org'"_s));
    ASSERT_TRUE(db.exec(u"UPDATE WebMailToSMS_MessagesReceived SET IsEmailSentToSMS = 0 WHERE "
                        u"EmailFromAddress = 'c@example.org' AND EmailDateTime LIKE '%1%'"_s.arg(days[2])));
    ASSERT_TRUE(store::refreshMailDays(db, 10));
    EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_StaleDays WHERE Day = '%1'"_s.arg(days[2])), 1);
    const QList<qint64> updated =
        ids(u"SELECT id FROM WebMailToSMS_MessagesReceived WHERE IsEmailSentToSMS = 0 AND EmailSMSUserName = 'u1' "
            u"ORDER BY EmailDateTime DESC, id"_s,
            {});
    expectPagesFollow(updated, byBoth, -1);
}
