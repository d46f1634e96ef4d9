#include "Schema.h"
#include "CountryTable.h"
#include "SettingsTables.h"
#include "Store.h"
#include "StoreLocation.h"
#include "TestStore.h"
#include "TestSupport.h"

#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::scalarOf;
using testing_support::TempFolder;

namespace {

QSet<QString> columnsOf(const store::Database& db, const QString& table)
{
    QSet<QString> columns;
    // SQLite 3.15 has no pragma_table_info(); the names come from the test itself.
    auto st = db.prepare(u"PRAGMA table_info(%1)"_s.arg(table));
    while (st.next().value_or(false))
        columns.insert(st.text(1).toLower());
    return columns;
}

QSet<QString> lower(std::initializer_list<QString> names)
{
    QSet<QString> result;
    for (const QString& name : names)
        result.insert(name.toLower());
    return result;
}

} // namespace

TEST(Schema, NewStoreHasEveryTableAndColumn)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db) << db.error().message.toStdString();
    EXPECT_EQ(store::schemaVersion(*db).value_or(-1), store::currentSchemaVersion());

    const std::pair<QString, QSet<QString>> expected[] = {
        {u"Message_InBox"_s,
         lower({u"InBox_Id"_s, u"SenderMobileNo"_s, u"SenderId"_s, u"Message"_s, u"InboxDateTime"_s, u"IsRead"_s})},
        {u"Message_OutBox"_s,
         lower({u"Outbox_Id"_s, u"RecepId"_s, u"RecipientMobileNo"_s, u"Message"_s, u"OutBoxDateTime"_s,
                u"DeliveryDatetime"_s, u"DeliveryStatus"_s, u"SMSFromName"_s})},
        {u"MissedCallStatistics"_s, lower({u"id"_s, u"callDateTime"_s, u"callerNumber"_s, u"IsMissCall"_s})},
        {u"SMS_AutoReply"_s, lower({u"CommandId"_s, u"SMS_Command"_s, u"SMS_Reply"_s})},
        {u"SMS_AutoReplySettings"_s, lower({u"SendAutoReply"_s})},
        {u"AutoReply_OnMissedCall"_s, lower({u"Message"_s, u"IsActive"_s})},
        {u"ModemSettings"_s,
         lower({u"CommPortNo"_s, u"CommPortName"_s, u"BitsPerSecond"_s, u"DataBits"_s, u"Parity"_s, u"StopBits"_s,
                u"FlowControl"_s, u"CharacterSet"_s, u"EnabledCallerId"_s, u"ModemDelayFactor"_s})},
        {u"Timer_Setting"_s,
         lower({u"ReceiveAllMessagesTime"_s, u"SendAllMessagesTime"_s, u"EnableReceiveTimer"_s, u"EnableSendTimer"_s,
                u"SMSDeliveryMedia"_s, u"MixModeMobileNumbers"_s, u"MixModeDeliveryMedia"_s, u"SIMCardDeliveryMode"_s,
                u"SMSSMTPFromName"_s, u"SMSSMTPYourEmailAddress"_s, u"SMSSMTPServer"_s, u"SMSSMTPPort"_s,
                u"SMSSMTPEmailPostfix"_s, u"IsFromNameSentByMaskingYourEmail"_s, u"IsSMSSMTPAuthenticationRequired"_s,
                u"SMSSMTPUserName"_s, u"SMSSMTPPassword"_s, u"SMSSMTPAuthenticationType"_s, u"SMSSMTPEncodeType"_s})},
        {u"WebMailToSMS_POP3Settings"_s, lower({u"POP3MailServer"_s, u"POP3Port"_s, u"POP3UserName"_s,
                                                u"POP3Password"_s, u"EmailCheckInterval"_s, u"IsEnabled"_s})},
        {u"WebMailToSMS_MessagesReceived"_s,
         lower({u"id"_s, u"EmailFromName"_s, u"EmailFromAddress"_s, u"EmailSubject"_s, u"EmailDateTime"_s,
                u"EmailContentType"_s, u"EmailTextMessage"_s, u"MessageReceivedOn"_s, u"IsEmailSentToSMS"_s,
                u"ReasonForNotSendingSMS"_s})},
        {u"SMS_UserAccounts"_s, lower({u"UserId"_s, u"SMSUserName"_s, u"SMSPassword"_s, u"SMSFromName"_s,
                                       u"SMSBalanceCredits"_s, u"SMSBalanceCreditsUpdatedOn"_s})},
        {u"Country"_s, lower({u"CountryId"_s, u"CountryName"_s, u"CountryCode"_s, u"IsDefault"_s})},
    };
    for (const auto& [table, columns] : expected) {
        const QSet<QString> actual = columnsOf(*db, table);
        EXPECT_TRUE(actual.contains(columns)) << table.toStdString();
    }
    EXPECT_TRUE(columnsOf(*db, u"State"_s).contains(u"countryid"_s));
    EXPECT_TRUE(columnsOf(*db, u"UserDetails"_s).contains(u"countryid"_s));
    // Names are compared without regard to case, as the program writes them both ways.
    EXPECT_EQ(columnsOf(*db, u"timer_setting"_s), columnsOf(*db, u"Timer_Setting"_s));
}

TEST(Schema, FirstStartWritesDefaultsAndLeavesModemAndMailboxEmpty)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::SettingsTables settings(*db);

    auto timer = settings.timerSetting();
    ASSERT_TRUE(timer && timer->has_value());
    EXPECT_EQ((*timer)->SMSDeliveryMedia, u"MODEM"_s);
    EXPECT_EQ((*timer)->SIMCardDeliveryMode, u"DIRECT DELIVER"_s);
    EXPECT_TRUE((*timer)->EnableReceiveTimer);
    EXPECT_TRUE((*timer)->EnableSendTimer);
    EXPECT_EQ((*timer)->ReceiveAllMessagesTime, u"10"_s);
    EXPECT_EQ((*timer)->SendAllMessagesTime, u"10"_s);
    EXPECT_EQ((*timer)->SMSSMTPPort, u"25"_s);
    EXPECT_EQ((*timer)->SMSSMTPEncodeType, u"0"_s);
    EXPECT_EQ((*timer)->SMSSMTPAuthenticationType, u"0"_s);

    EXPECT_FALSE(settings.modemSettings().value().has_value());
    EXPECT_FALSE(settings.pop3Settings().value().has_value());
    EXPECT_FALSE(settings.activeMissedCallReply().value().has_value());
}

TEST(Schema, CountriesAreFilledWithDiallingCodesAndNoDefault)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    EXPECT_GT(store::CountryTable(*db).count().value_or(0), 200);
    EXPECT_EQ(scalarOf(*db, u"SELECT COUNT(*) FROM Country WHERE IsDefault<>0"_s), 0);
    EXPECT_EQ(scalarOf(*db, u"SELECT COUNT(DISTINCT CountryName) FROM Country"_s),
              scalarOf(*db, u"SELECT COUNT(*) FROM Country"_s));

    const QRegularExpression digits(u"^[0-9]{1,4}$"_s);
    auto st = db->prepare(u"SELECT CountryName, CountryCode FROM Country"_s);
    while (st.next().value_or(false))
        EXPECT_TRUE(digits.match(st.text(1)).hasMatch()) << st.text(0).toStdString() << " " << st.text(1).toStdString();

    store::CountryTable countries(*db);
    EXPECT_EQ(countries.codeOf(u"Germany"_s).value_or(QString()), u"49"_s);
    EXPECT_EQ(countries.codeOf(u"India"_s).value_or(QString()), u"91"_s);
    EXPECT_EQ(countries.codeOf(u"United Kingdom"_s).value_or(QString()), u"44"_s);
    EXPECT_EQ(countries.codeOf(u"United States"_s).value_or(QString()), u"1"_s);
}

TEST(Schema, ReopeningKeepsRowsAndAddsNothing)
{
    TempFolder folder;
    qint64 countries = 0;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        countries = store::CountryTable(*db).count().value_or(0);
        ASSERT_TRUE(db->exec(u"INSERT INTO Message_InBox (SenderMobileNo, Message) VALUES ('+1', 'kept')"_s));
    }
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    EXPECT_EQ(store::CountryTable(*db).count().value_or(0), countries);
    EXPECT_EQ(scalarOf(*db, u"SELECT COUNT(*) FROM Timer_Setting"_s), 1);
    EXPECT_EQ(scalarOf(*db, u"SELECT COUNT(*) FROM Message_InBox WHERE Message='kept'"_s), 1);
}

// Messages remembered under the typed "user@server:port" keep counting as handled under the
// key that ignores the port, case and blanks; where two old names meet, one row stays.
TEST(Schema, HandledMailboxMessagesAreRekeyedWithoutForgettingAny)
{
    TempFolder folder;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->exec(u"PRAGMA user_version=4"_s));
        const std::pair<QString, QString> oldRows[] = {
            {u"sms@Pop.Example.org:110"_s, u"u1"_s},
            {u"sms@pop.example.org:995"_s, u"u1"_s},
            {u"sms@pop.example.org:995"_s, u"u2"_s},
            {u"Me@Corp.example@Mail.example.org.:1,10"_s, u"u3"_s},
            {u"sms@::1:110"_s, u"u4"_s},
        };
        auto insert = db->prepare(u"INSERT INTO WebMailToSMS_HandledMessages (Mailbox, Uidl, HandledOn, KeepOnServer) "
                                  u"VALUES (?1, ?2, '2026-12-01 10:00:00', 0)"_s);
        for (const auto& [mailbox, uidl] : oldRows) {
            insert.bind(1, mailbox);
            insert.bind(2, uidl);
            ASSERT_TRUE(insert.run());
        }
    }
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    EXPECT_EQ(store::schemaVersion(*db).value_or(-1), store::currentSchemaVersion());
    auto rows = db->prepare(u"SELECT Mailbox || ' ' || Uidl FROM WebMailToSMS_HandledMessages ORDER BY 1"_s)
                    .collect([](const store::Statement& row) { return row.text(0); });
    ASSERT_TRUE(rows);
    EXPECT_EQ(QStringList(rows->begin(), rows->end()),
              (QStringList{u"me@corp.example@mail.example.org u3"_s, u"sms@::1 u4"_s, u"sms@pop.example.org u1"_s,
                           u"sms@pop.example.org u2"_s}));
}

TEST(Schema, EmptyEncryptedFileGetsTheSchema)
{
    // A store made with the right key but never given a schema (user_version 0).
    TempFolder folder;
    {
        auto db = store::Database::open(folder.storePath(), QString::fromUtf16(store::kStoreKey));
        ASSERT_TRUE(db);
        ASSERT_EQ(store::schemaVersion(*db).value_or(-1), 0);
    }
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    EXPECT_EQ(store::schemaVersion(*db).value_or(-1), store::currentSchemaVersion());
    EXPECT_EQ(scalarOf(*db, u"SELECT COUNT(*) FROM Timer_Setting"_s), 1);
}

TEST(Schema, StoreFromNewerProgramIsRefusedUnchanged)
{
    TempFolder folder;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->exec(u"PRAGMA user_version=99"_s));
    }
    auto db = store::openStore(folder.storePath());
    ASSERT_FALSE(db);
    EXPECT_TRUE(db.error().message.contains(u"newer version"_s)) << db.error().message.toStdString();

    auto raw = store::Database::open(folder.storePath(), QString::fromUtf16(store::kStoreKey));
    ASSERT_TRUE(raw);
    EXPECT_EQ(store::schemaVersion(*raw).value_or(-1), 99);
}

TEST(Schema, JournalIsWalAndWritesAreFullySynced)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    auto mode = db->prepare(u"PRAGMA journal_mode"_s);
    ASSERT_TRUE(mode.next().value_or(false));
    EXPECT_EQ(mode.text(0).toLower(), u"wal"_s);
    EXPECT_EQ(scalarOf(*db, u"PRAGMA synchronous"_s), 2); // FULL
}

// Each filter the dashboard, the lists and the engine run is answered from its own index: a
// migration that left one out shows here by name, not only as a slower screen.
TEST(Schema, EveryFilterUsesItsOwnIndex)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    const std::pair<QString, QString> queries[] = {
        {u"SELECT COUNT(*) FROM Message_InBox WHERE IsRead=0"_s, u"idx_inbox_isread"_s},
        // Either date index answers a range; the planner takes the newest-first one.
        {u"SELECT InBox_Id FROM Message_InBox WHERE InboxDateTime>='2026-01-01 00:00:00'"_s, u"idx_inbox_newest"_s},
        {u"SELECT COUNT(*) FROM Message_InBox WHERE substr(SenderMobileNo, -10) = substr('+4915112345678', -10)"_s,
         u"idx_inbox_sender_last10"_s},
        {u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"_s, u"idx_outbox_delivery"_s},
        {u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryStatus='SENDING'"_s, u"idx_outbox_status"_s},
        {u"SELECT Outbox_Id FROM Message_OutBox WHERE OutBoxDateTime<'2026-01-01 00:00:00'"_s, u"idx_outbox_queued"_s},
        {u"SELECT COUNT(*) FROM Message_OutBox WHERE substr(RecipientMobileNo, -10) = substr('+4915112345678', -10)"_s,
         u"idx_outbox_recipient_last10"_s},
        // The outbox list's search by number reads the pending rows' numbers only.
        {u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL AND "
         u"substr(RecipientMobileNo, -10) = substr('+4915112345678', -10)"_s,
         u"idx_outbox_pending_recipient"_s},
        {u"SELECT COUNT(*) FROM MissedCallStatistics WHERE callDateTime>='2026-01-01 00:00:00' AND "
         u"callDateTime<'2026-01-02 00:00:00' AND IsMissCall<>0"_s,
         u"idx_calls_missed_date"_s},
        {u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived WHERE MessageReceivedOn>='2026-01-01 00:00:00'"_s,
         u"idx_mails_received"_s},
        {u"SELECT COUNT(*) FROM WebMailToSMS_MessagesReceived WHERE IsEmailSentToSMS=0"_s, u"idx_mails_sent"_s},
        {u"SELECT UserId FROM SMS_UserAccounts WHERE SMSUserName='alice' AND SMSPassword='pw'"_s,
         u"idx_accounts_user"_s},
        {u"SELECT CountryName FROM Country WHERE CountryCode='49'"_s, u"idx_country_code"_s},
        {u"SELECT StateName FROM State WHERE CountryId=3"_s, u"idx_state_country"_s},
        {u"SELECT UserName FROM UserDetails WHERE CountryId=3"_s, u"idx_userdetails_country"_s},
        {u"SELECT COUNT(*) FROM SIM_TakenMessages WHERE SimIndex=12 AND TextDigest='ab'"_s, u"idx_sim_taken"_s},
    };
    for (const auto& [query, index] : queries) {
        auto plan = db->prepare(u"EXPLAIN QUERY PLAN "_s + query);
        QString detail;
        while (plan.next().value_or(false))
            detail += plan.text(3) + u' ';
        // "SEARCH TABLE t USING [COVERING ]INDEX name (...)"
        EXPECT_TRUE(detail.contains(u"INDEX "_s + index + u' '))
            << query.toStdString() << " -> " << detail.toStdString();
    }

    // Each sort of each folder reads its index in order, from either end: the
    // folder is never sorted whole ("USE TEMP B-TREE FOR ORDER BY").
    const QString inbox = u"SELECT InBox_Id FROM Message_InBox"_s;
    const QString outbox = u"SELECT Outbox_Id FROM Message_OutBox"_s;
    const QString pending = u" WHERE DeliveryDatetime IS NULL"_s;
    const QString sent = u" WHERE DeliveryDatetime IS NOT NULL"_s;
    const std::pair<QString, QString> listings[] = {
        {inbox + u" ORDER BY InboxDateTime desc, InBox_Id"_s, u"idx_inbox_newest"_s},
        {inbox + u" ORDER BY InboxDateTime, InBox_Id"_s, u"idx_inbox_datetime"_s},
        {inbox + u" ORDER BY SenderMobileNo, InBox_Id"_s, u"idx_inbox_sender_dated"_s},
        {inbox + u" ORDER BY Message, InBox_Id"_s, u"idx_inbox_message_dated"_s},
        {inbox + u" WHERE IsRead=0 ORDER BY InboxDateTime desc, InBox_Id"_s, u"idx_inbox_unread_newest"_s},
        {inbox + u" WHERE IsRead=0 ORDER BY InboxDateTime, InBox_Id"_s, u"idx_inbox_unread_date"_s},
        {inbox + u" WHERE IsRead=0 ORDER BY SenderMobileNo, InBox_Id"_s, u"idx_inbox_unread_sender"_s},
        {inbox + u" WHERE IsRead=0 ORDER BY Message, InBox_Id"_s, u"idx_inbox_unread_message"_s},
        {outbox + pending + u" ORDER BY OutBoxDateTime, Outbox_Id"_s, u"idx_outbox_pending_queued"_s},
        {outbox + pending + u" ORDER BY RecipientMobileNo, Outbox_Id"_s, u"idx_outbox_pending_recipient"_s},
        {outbox + pending + u" ORDER BY Message, Outbox_Id"_s, u"idx_outbox_pending_message"_s},
        {outbox + sent + u" ORDER BY DeliveryDatetime desc, Outbox_Id"_s, u"idx_sent_newest"_s},
        {outbox + sent + u" ORDER BY RecipientMobileNo, Outbox_Id"_s, u"idx_sent_recipient_delivered"_s},
        {outbox + sent + u" ORDER BY Message, Outbox_Id"_s, u"idx_sent_message_delivered"_s},
    };
    // The key a page by number starts from is found on the index alone.
    for (
        const QString& query :
        {u"SELECT RecipientMobileNo, Outbox_Id FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL "
         u"ORDER BY RecipientMobileNo, Outbox_Id LIMIT 1 OFFSET 500"_s,
         u"SELECT Message, Outbox_Id FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL "
         u"ORDER BY Message DESC, Outbox_Id DESC LIMIT 1 OFFSET 500"_s,
         u"SELECT DeliveryDatetime, Outbox_Id FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL "
         u"ORDER BY DeliveryDatetime desc, Outbox_Id LIMIT 1 OFFSET 500"_s,
         u"SELECT SenderMobileNo, InBox_Id FROM Message_InBox ORDER BY SenderMobileNo, InBox_Id LIMIT 1 OFFSET 500"_s,
         u"SELECT Message, InBox_Id FROM Message_InBox WHERE IsRead=0 ORDER BY Message, InBox_Id LIMIT 1 OFFSET 5"_s}) {
        auto plan = db->prepare(u"EXPLAIN QUERY PLAN "_s + query);
        QString detail;
        while (plan.next().value_or(false))
            detail += plan.text(3) + u' ';
        EXPECT_TRUE(detail.contains(u"COVERING INDEX"_s) && !detail.contains(u"TEMP B-TREE"_s))
            << query.toStdString() << " -> " << detail.toStdString();
    }
    for (const auto& [listing, index] : listings) {
        for (bool reversed : {false, true}) {
            // The last page reads the order turned round, the id's term too.
            QString query = listing;
            if (reversed) {
                const qsizetype order = query.indexOf(u" ORDER BY "_s) + 10;
                QStringList terms = query.mid(order).split(u", "_s);
                for (QString& term : terms)
                    term = term.endsWith(u" desc"_s) ? term.chopped(5) : term + u" DESC"_s;
                query = query.left(order) + terms.join(u", "_s);
            }
            query += u" LIMIT 100"_s;
            auto plan = db->prepare(u"EXPLAIN QUERY PLAN "_s + query);
            QString detail;
            while (plan.next().value_or(false))
                detail += plan.text(3) + u' ';
            EXPECT_TRUE(detail.contains(u"INDEX "_s + index) && !detail.contains(u"TEMP B-TREE"_s))
                << query.toStdString() << " -> " << detail.toStdString();
        }
    }
}

// Each server's consent to an unencrypted login is off in every store until someone gives it,
// also in the row that existed before the column; a store set back a version keeps it.
TEST(Schema, UnencryptedLoginIsOffUntilAllowedAndSurvivesAMigration)
{
    TempFolder folder;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
        EXPECT_EQ(scalarOf(*db, u"SELECT SMSSMTPAllowPlainLogin FROM Timer_Setting"_s), 0);
        store::SettingsTables settings(*db);
        auto timer = settings.timerSetting();
        ASSERT_TRUE(timer && timer->has_value());
        EXPECT_FALSE((*timer)->SMSSMTPAllowPlainLogin);
        store::TimerSettingRow allowed = **timer;
        allowed.SMSSMTPAllowPlainLogin = true;
        ASSERT_TRUE(settings.saveTimerSetting(allowed));
        store::Pop3SettingsRow mailbox{u"pop"_s, u"110"_s, u"u"_s, u"p"_s, u"60"_s, true};
        EXPECT_FALSE(mailbox.POP3AllowPlainLogin);
        mailbox.POP3AllowPlainLogin = true;
        ASSERT_TRUE(settings.savePop3Settings(mailbox));
        ASSERT_TRUE(db->exec(u"PRAGMA user_version=5"_s));
    }
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db) << db.error().message.toStdString();
    EXPECT_EQ(store::schemaVersion(*db).value_or(-1), store::currentSchemaVersion());
    EXPECT_EQ(scalarOf(*db, u"SELECT SMSSMTPAllowPlainLogin FROM Timer_Setting"_s), -1);
    EXPECT_EQ(scalarOf(*db, u"SELECT POP3AllowPlainLogin FROM WebMailToSMS_POP3Settings"_s), -1);
    store::SettingsTables settings(*db);
    EXPECT_TRUE(settings.timerSetting().value().value().SMSSMTPAllowPlainLogin);
    EXPECT_TRUE(settings.pop3Settings().value().value().POP3AllowPlainLogin);
}
