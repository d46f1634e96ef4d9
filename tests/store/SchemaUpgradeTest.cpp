#include "CountryTable.h"
#include "GatewaySettings.h"
#include "InboxTable.h"
#include "MessageListQuery.h"
#include "OutboxTable.h"
#include "PageMarks.h"
#include "Schema.h"
#include "SettingsTables.h"
#include "TestStore.h"
#include "WebMailTables.h"

#include <QRegularExpression>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::openTestStore;
using testing_support::scalarOf;
using testing_support::TempFolder;

namespace {

// Every table with its columns and every index with its definition, in one list that compares
// whole: two stores with the same list have the same schema.
QStringList structureOf(const store::Database& db)
{
    QStringList lines;
    auto objects = db.prepare(u"SELECT type, name, tbl_name, sql FROM sqlite_master "
                              u"WHERE name NOT LIKE 'sqlite_%' ORDER BY type, name"_s);
    while (objects.next().value_or(false)) {
        const QString type = objects.text(0);
        const QString name = objects.text(1);
        if (type == u"index"_s) {
            lines << u"index %1 on %2: %3"_s.arg(name, objects.text(2), objects.text(3).simplified());
            continue;
        }
        lines << type + u' ' + name;
        // PRAGMA takes no bound parameters; the names come from the store itself.
        auto columns = db.prepare(u"PRAGMA table_info(%1)"_s.arg(name));
        while (columns.next().value_or(false)) {
            lines << u"  %1.%2 %3 notnull=%4 default=%5 pk=%6"_s.arg(name, columns.text(1).toLower(), columns.text(2),
                                                                     columns.text(3), columns.text(4), columns.text(5));
        }
    }
    return lines;
}

// What one structure has that the other lacks: "-" for a line only in `want`, "+" for one only in
// `have`; empty when they agree.
QStringList differences(const QStringList& want, const QStringList& have)
{
    QStringList result;
    for (const QString& line : want) {
        if (!have.contains(line))
            result << u"- "_s + line;
    }
    for (const QString& line : have) {
        if (!want.contains(line))
            result << u"+ "_s + line;
    }
    return result;
}

void run(const store::Database& db, const QString& sql)
{
    const auto done = db.exec(sql);
    ASSERT_TRUE(done) << sql.toStdString() << ": " << done.error().message.toStdString();
}

// SQLite 3.15 cannot drop a column: the table is made again from its own CREATE text without
// the column, its rows are copied over and its indexes made again.
void dropColumn(const store::Database& db, const QString& table, const QString& column)
{
    // Each read is finished before the table changes: an open statement keeps it locked.
    QString sql;
    {
        auto create = db.prepare(u"SELECT sql FROM sqlite_master WHERE type='table' AND name=?1"_s);
        create.bind(1, table);
        ASSERT_TRUE(create.next().value_or(false)) << table.toStdString();
        sql = create.text(0);
    }
    sql.remove(QRegularExpression(u",\\s*%1\\b[^,)]*"_s.arg(column), QRegularExpression::CaseInsensitiveOption));
    ASSERT_FALSE(sql.contains(column, Qt::CaseInsensitive)) << sql.toStdString();

    auto indexes =
        db.prepare(u"SELECT sql FROM sqlite_master WHERE type='index' AND tbl_name=?1 AND sql IS NOT NULL"_s);
    indexes.bind(1, table);
    const auto indexSql = indexes.collect([](const store::Statement& row) { return row.text(0); });
    ASSERT_TRUE(indexSql);

    QStringList kept;
    {
        auto info = db.prepare(u"PRAGMA table_info(%1)"_s.arg(table));
        while (info.next().value_or(false)) {
            if (info.text(1).compare(column, Qt::CaseInsensitive) != 0)
                kept << info.text(1);
        }
    }
    const QString columns = kept.join(u", "_s);
    ASSERT_NO_FATAL_FAILURE(run(db, u"ALTER TABLE %1 RENAME TO %1_before"_s.arg(table)));
    ASSERT_NO_FATAL_FAILURE(run(db, sql));
    ASSERT_NO_FATAL_FAILURE(run(db, u"INSERT INTO %1 (%2) SELECT %2 FROM %1_before"_s.arg(table, columns)));
    ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE %1_before"_s.arg(table)));
    for (const QString& index : *indexSql)
        ASSERT_NO_FATAL_FAILURE(run(db, index));
}

// A store made at the current schema is taken back to what an older version left: what each
// later migration added is taken away again, newest first. A new migration adds its step here.
void takeBackTo(const store::Database& db, int version)
{
    if (version < 19) {
        // The day-keeping marks took longer stretches, and the index of long stretches each
        // list's own size.
        for (const store::MarkedList& list : store::markedLists()) {
            if (!list.dayColumn.isEmpty()) {
                ASSERT_TRUE(store::rebuildMarks(db, list, store::kMarkedStretch));
            }
        }
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_page_marks_long"_s));
        ASSERT_NO_FATAL_FAILURE(
            run(db, u"CREATE INDEX idx_page_marks_long ON List_PageMarks (Counted) WHERE Counted >= 2000"_s));
    }
    if (version < 18) {
        for (const QString& what : {u"insert"_s, u"delete"_s, u"update"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TRIGGER trg_mail_days_%1"_s.arg(what)));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE WebMailToSMS_Days"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE WebMailToSMS_StaleDays"_s));
    }
    if (version < 17) {
        // The inbox's marks by number and by text kept no days; their triggers are made anew.
        for (int list = 3; list <= 4; ++list) {
            for (const QString& what : {u"insert"_s, u"delete"_s, u"update"_s})
                ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TRIGGER IF EXISTS trg_marks_%1_%2"_s.arg(list).arg(what)));
        }
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE List_PageMarkDays"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE List_PageMarkMonths"_s));
    }
    if (version < 16) {
        for (const QString& trigger :
             {u"trg_mail_senders_insert"_s, u"trg_mail_senders_delete"_s, u"trg_mail_senders_update"_s,
              u"trg_mail_users_insert"_s, u"trg_mail_users_delete"_s, u"trg_mail_users_update"_s,
              u"trg_mail_users_text"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TRIGGER "_s + trigger));
        for (const QString& table : {u"WebMailToSMS_Senders"_s, u"WebMailToSMS_UserNames"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE "_s + table));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_mails_sender_newest"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_mails_user_newest"_s));
        // Making the table again drops its other triggers (the page marks'); they are made again.
        auto triggers = db.prepare(u"SELECT sql FROM sqlite_master WHERE type='trigger' AND "
                                   u"tbl_name='WebMailToSMS_MessagesReceived'"_s)
                            .collect([](const store::Statement& row) { return row.text(0); });
        ASSERT_TRUE(triggers);
        ASSERT_NO_FATAL_FAILURE(dropColumn(db, u"WebMailToSMS_MessagesReceived"_s, u"EmailSMSUserName"_s));
        for (const QString& trigger : *triggers)
            ASSERT_NO_FATAL_FAILURE(run(db, trigger));
    }
    if (version < 15) {
        ASSERT_NO_FATAL_FAILURE(run(db, u"CREATE INDEX idx_inbox_sender ON Message_InBox (SenderMobileNo)"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"CREATE INDEX idx_inbox_message ON Message_InBox (Message)"_s));
    }
    if (version < 14) {
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_mails_refused_dated"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"CREATE INDEX idx_mails_refused_newest ON WebMailToSMS_MessagesReceived "
                                        u"(EmailDateTime DESC, id, IsEmailSentToSMS) WHERE IsEmailSentToSMS=0"_s));
    }
    if (version < 13) {
        for (int list = 12; list <= 15; ++list) {
            for (const QString& what : {u"insert"_s, u"delete"_s, u"update"_s})
                ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TRIGGER IF EXISTS trg_marks_%1_%2"_s.arg(list).arg(what)));
            ASSERT_NO_FATAL_FAILURE(run(db, u"DELETE FROM List_PageMarks WHERE List=%1"_s.arg(list)));
        }
    }
    if (version < 12) {
        for (const QString& index :
             {u"idx_calls_missed_date"_s, u"idx_inbox_sender_dated"_s, u"idx_inbox_message_dated"_s,
              u"idx_mails_newest"_s, u"idx_mails_sent_newest"_s, u"idx_mails_refused_newest"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX "_s + index));
    }
    if (version < 11) {
        // Dropping the table takes its index; the triggers belong to the message tables.
        auto triggers = db.prepare(u"SELECT name FROM sqlite_master WHERE type='trigger' AND name LIKE 'trg_marks_%'"_s)
                            .collect([](const store::Statement& row) { return row.text(0); });
        ASSERT_TRUE(triggers);
        for (const QString& trigger : *triggers)
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TRIGGER "_s + trigger));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE List_PageMarks"_s));
    }
    if (version < 10) {
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_sent_recipient_delivered"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_sent_message_delivered"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"CREATE INDEX idx_sent_recipient ON Message_OutBox (RecipientMobileNo) "
                                        u"WHERE DeliveryDatetime IS NOT NULL"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"CREATE INDEX idx_sent_message ON Message_OutBox (Message) "
                                        u"WHERE DeliveryDatetime IS NOT NULL"_s));
    }
    if (version < 9) {
        for (const QString& index :
             {u"idx_inbox_newest"_s, u"idx_inbox_sender"_s, u"idx_inbox_message"_s, u"idx_inbox_unread_newest"_s,
              u"idx_inbox_unread_date"_s, u"idx_inbox_unread_sender"_s, u"idx_inbox_unread_message"_s,
              u"idx_outbox_pending_queued"_s, u"idx_outbox_pending_recipient"_s, u"idx_outbox_pending_message"_s,
              u"idx_sent_newest"_s, u"idx_sent_recipient"_s, u"idx_sent_message"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX "_s + index));
    }
    if (version < 8) {
        for (const QString& trigger :
             {u"trg_inbox_counts_insert"_s, u"trg_inbox_counts_delete"_s, u"trg_inbox_counts_read"_s,
              u"trg_outbox_counts_insert"_s, u"trg_outbox_counts_delete"_s, u"trg_outbox_counts_delivered"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TRIGGER "_s + trigger));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE Message_Counts"_s));
    }
    if (version < 7) {
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE MailServer_TrustedKeys"_s));
    }
    if (version < 6) {
        ASSERT_NO_FATAL_FAILURE(dropColumn(db, u"WebMailToSMS_POP3Settings"_s, u"POP3AllowPlainLogin"_s));
        ASSERT_NO_FATAL_FAILURE(dropColumn(db, u"Timer_Setting"_s, u"SMSSMTPAllowPlainLogin"_s));
    }
    // Version 5 changed rows, not tables: the test writes the handled messages the old way.
    if (version < 4) {
        ASSERT_NO_FATAL_FAILURE(dropColumn(db, u"Message_OutBox"_s, u"PartsConfirmed"_s));
        for (const QString& table : {u"SMS_PartsWaitSetting"_s, u"SIM_TakenMessages"_s, u"SMS_PartsWaiting"_s})
            ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE "_s + table));
    }
    if (version < 3) {
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_inbox_sender_last10"_s));
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP INDEX idx_outbox_recipient_last10"_s));
    }
    if (version < 2) {
        ASSERT_NO_FATAL_FAILURE(run(db, u"DROP TABLE WebMailToSMS_HandledMessages"_s));
    }
    ASSERT_NO_FATAL_FAILURE(run(db, u"PRAGMA user_version=%1"_s.arg(version)));
}

} // namespace

// An operator's store from any earlier version opens at the current schema, with every table,
// column and index a new store has, and with the rows it had.
TEST(SchemaUpgrade, EveryEarlierStoreReachesTheCurrentSchemaAndKeepsItsRows)
{
    TempFolder freshFolder;
    const store::Database fresh = openTestStore(freshFolder.storePath());
    ASSERT_TRUE(fresh.isOpen());
    const QStringList current = structureOf(fresh);
    const qint64 countries = store::CountryTable(fresh).count().value_or(-1);
    const QString mailbox = store::mailboxKey(u"Sms"_s, u"Pop.Example.org"_s);

    for (int version = 1; version < store::currentSchemaVersion(); ++version) {
        SCOPED_TRACE("store left by schema version " + std::to_string(version));
        TempFolder folder;
        qint64 queued = 0;
        {
            store::Database db = openTestStore(folder.storePath());
            ASSERT_TRUE(db.isOpen());
            queued = store::OutboxTable(db)
                         .insert(u"+4915112345678"_s, u"queued before the upgrade"_s,
                                 QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)))
                         .value_or(-1);
            ASSERT_TRUE(store::SettingsTables(db).savePop3Settings(
                {u"Pop.Example.org"_s, u"110"_s, u"Sms"_s, u"pw"_s, u"60"_s, true}));
            // The folders' totals the old version showed: two unread, one read, one sent.
            store::InboxTable inbox(db);
            for (const QString& sender : {u"+491511"_s, u"+491512"_s, u"+491513"_s})
                (void)inbox.insert(sender, u"kept"_s, QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
            (void)inbox.readMessage(1);
            const qint64 sent = store::OutboxTable(db)
                                    .insert(u"+491514"_s, u"sent"_s, QDateTime(QDate(2026, 1, 2), QTime(3, 30)))
                                    .value_or(-1);
            (void)store::OutboxTable(db).bookSent(sent, QDateTime(QDate(2026, 1, 2), QTime(4, 0)));
            ASSERT_NO_FATAL_FAILURE(takeBackTo(db, version));
            if (version >= 2) {
                // Before version 5 a handled message was remembered under the typed name and port.
                auto handled = db.prepare(u"INSERT INTO WebMailToSMS_HandledMessages (Mailbox, Uidl, HandledOn, "
                                          u"KeepOnServer) VALUES (?1, 'u1', '2026-01-02 03:04:05', 0)"_s);
                handled.bind(1, version < 5 ? u"Sms@Pop.Example.org:110"_s : mailbox);
                ASSERT_TRUE(handled.run());
            }
            ASSERT_FALSE(differences(current, structureOf(db)).isEmpty()) << "the store was not taken back";
        }

        const store::Database db = openTestStore(folder.storePath());
        ASSERT_TRUE(db.isOpen());
        EXPECT_EQ(store::schemaVersion(db).value_or(-1), store::currentSchemaVersion());
        EXPECT_EQ(differences(current, structureOf(db)), QStringList());

        const auto row = store::OutboxTable(db).row(queued);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->message, u"queued before the upgrade"_s);
        EXPECT_EQ(row->partsConfirmed, 0);
        EXPECT_EQ(store::OutboxTable(db).countPending().value_or(-1), 1);
        EXPECT_EQ(store::InboxTable(db).countUnread().value_or(-1), 2);
        store::MessageListQuery query;
        EXPECT_EQ(store::inboxPage(db, query).value_or(store::MessageListPage{}).total, 3);
        EXPECT_EQ(store::outboxPage(db, query).value_or(store::MessageListPage{}).total, 1);
        EXPECT_EQ(store::sentPage(db, query).value_or(store::MessageListPage{}).total, 1);
        query.unreadOnly = true;
        EXPECT_EQ(store::inboxPage(db, query).value_or(store::MessageListPage{}).total, 2);
        const auto pop3 = store::SettingsTables(db).pop3Settings();
        ASSERT_TRUE(pop3 && pop3->has_value());
        EXPECT_EQ((*pop3)->POP3MailServer, u"Pop.Example.org"_s);
        EXPECT_FALSE((*pop3)->POP3AllowPlainLogin);
        EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM Timer_Setting WHERE SMSDeliveryMedia='MODEM' AND "
                               u"SMSSMTPAllowPlainLogin=0"_s),
                  1);
        EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM SMS_PartsWaitSetting WHERE WaitHours=24"_s), 1);
        EXPECT_EQ(store::CountryTable(db).count().value_or(-1), countries);

        // A message handled before the upgrade is still known as handled, under today's key.
        const auto handled = store::WebMailTables(db).handled(mailbox, u"u1"_s);
        ASSERT_TRUE(handled);
        EXPECT_EQ(*handled, version >= 2 ? store::WebMailTables::Handled::Filed : store::WebMailTables::Handled::No);
        EXPECT_EQ(scalarOf(db, u"SELECT COUNT(*) FROM WebMailToSMS_HandledMessages"_s), version >= 2 ? 1 : 0);
    }
}
