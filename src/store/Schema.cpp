#include "Schema.h"

#include "CountryList.h"
#include "GatewaySettings.h"
#include "MailDays.h"
#include "MessageCounts.h"
#include "PageMarks.h"

#include <QStringList>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace store {

namespace {

// Types follow the data model: counters are AUTOINCREMENT so a deleted key is never handed
// out again; yes/no columns hold -1 or 0 and default to 0; date-times are ISO text.
const char16_t* const kVersion1[] = {
    uR"(CREATE TABLE Message_InBox (
        InBox_Id INTEGER PRIMARY KEY AUTOINCREMENT,
        SenderMobileNo TEXT,
        SenderId INTEGER DEFAULT 0,
        Message TEXT,
        InboxDateTime TEXT,
        IsRead INTEGER NOT NULL DEFAULT 0))",
    uR"(CREATE TABLE Message_OutBox (
        Outbox_Id INTEGER PRIMARY KEY AUTOINCREMENT,
        RecepId INTEGER DEFAULT 0,
        RecipientMobileNo TEXT,
        Message TEXT,
        OutBoxDateTime TEXT,
        DeliveryDatetime TEXT,
        DeliveryStatus TEXT,
        SMSFromName TEXT))",
    uR"(CREATE TABLE MissedCallStatistics (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        callDateTime TEXT,
        callerNumber TEXT,
        IsMissCall INTEGER NOT NULL DEFAULT 0))",
    uR"(CREATE TABLE SMS_AutoReply (
        CommandId INTEGER PRIMARY KEY AUTOINCREMENT,
        SMS_Command TEXT,
        SMS_Reply TEXT))",
    uR"(CREATE TABLE SMS_AutoReplySettings (
        SendAutoReply INTEGER NOT NULL DEFAULT 0))",
    uR"(CREATE TABLE AutoReply_OnMissedCall (
        Message TEXT,
        IsActive INTEGER NOT NULL DEFAULT 0))",
    uR"(CREATE TABLE ModemSettings (
        CommPortNo INTEGER,
        CommPortName TEXT,
        BitsPerSecond TEXT,
        DataBits TEXT,
        Parity TEXT,
        StopBits TEXT,
        FlowControl TEXT,
        CharacterSet TEXT,
        EnabledCallerId INTEGER NOT NULL DEFAULT 0,
        ModemDelayFactor REAL))",
    uR"(CREATE TABLE Timer_Setting (
        ReceiveAllMessagesTime INTEGER,
        SendAllMessagesTime INTEGER,
        EnableReceiveTimer INTEGER NOT NULL DEFAULT 0,
        EnableSendTimer INTEGER NOT NULL DEFAULT 0,
        SMSDeliveryMedia TEXT,
        MixModeMobileNumbers TEXT,
        MixModeDeliveryMedia TEXT,
        SIMCardDeliveryMode TEXT,
        SMSSMTPFromName TEXT,
        SMSSMTPYourEmailAddress TEXT,
        SMSSMTPServer TEXT,
        SMSSMTPPort INTEGER,
        SMSSMTPEmailPostfix TEXT,
        IsFromNameSentByMaskingYourEmail INTEGER NOT NULL DEFAULT 0,
        IsSMSSMTPAuthenticationRequired INTEGER NOT NULL DEFAULT 0,
        SMSSMTPUserName TEXT,
        SMSSMTPPassword TEXT,
        SMSSMTPAuthenticationType INTEGER,
        SMSSMTPEncodeType INTEGER))",
    uR"(CREATE TABLE WebMailToSMS_POP3Settings (
        POP3MailServer TEXT,
        POP3Port INTEGER,
        POP3UserName TEXT,
        POP3Password TEXT,
        EmailCheckInterval INTEGER,
        IsEnabled INTEGER NOT NULL DEFAULT 0))",
    uR"(CREATE TABLE WebMailToSMS_MessagesReceived (
        id INTEGER PRIMARY KEY AUTOINCREMENT,
        EmailFromName TEXT,
        EmailFromAddress TEXT,
        EmailSubject TEXT,
        EmailDateTime TEXT,
        EmailContentType TEXT,
        EmailTextMessage TEXT,
        MessageReceivedOn TEXT,
        IsEmailSentToSMS INTEGER NOT NULL DEFAULT 0,
        ReasonForNotSendingSMS TEXT))",
    uR"(CREATE TABLE SMS_UserAccounts (
        UserId INTEGER PRIMARY KEY AUTOINCREMENT,
        SMSUserName TEXT,
        SMSPassword TEXT,
        SMSFromName TEXT,
        SMSBalanceCredits INTEGER,
        SMSBalanceCreditsUpdatedOn TEXT))",
    uR"(CREATE TABLE Country (
        CountryId INTEGER PRIMARY KEY AUTOINCREMENT,
        CountryName TEXT,
        CountryCode TEXT,
        IsDefault INTEGER NOT NULL DEFAULT 0))",
    uR"(CREATE TABLE State (
        StateId INTEGER PRIMARY KEY AUTOINCREMENT,
        StateName TEXT,
        CountryId INTEGER))",
    uR"(CREATE TABLE UserDetails (
        UserDetailId INTEGER PRIMARY KEY AUTOINCREMENT,
        UserName TEXT,
        CountryId INTEGER))",

    // Every filter of the dashboard and the lists.
    u"CREATE INDEX idx_inbox_isread ON Message_InBox (IsRead)",
    u"CREATE INDEX idx_inbox_datetime ON Message_InBox (InboxDateTime)",
    u"CREATE INDEX idx_outbox_delivery ON Message_OutBox (DeliveryDatetime)",
    u"CREATE INDEX idx_outbox_status ON Message_OutBox (DeliveryStatus)",
    u"CREATE INDEX idx_outbox_queued ON Message_OutBox (OutBoxDateTime)",
    u"CREATE INDEX idx_calls_datetime ON MissedCallStatistics (callDateTime)",
    u"CREATE INDEX idx_mails_received ON WebMailToSMS_MessagesReceived (MessageReceivedOn)",
    u"CREATE INDEX idx_mails_sent ON WebMailToSMS_MessagesReceived (IsEmailSentToSMS)",
    u"CREATE INDEX idx_accounts_user ON SMS_UserAccounts (SMSUserName)",
    u"CREATE INDEX idx_country_code ON Country (CountryCode)",
    u"CREATE INDEX idx_state_country ON State (CountryId)",
    u"CREATE INDEX idx_userdetails_country ON UserDetails (CountryId)",

    // First start: the gateway sends through the modem directly, checks every 10 s.
    uR"(INSERT INTO Timer_Setting (ReceiveAllMessagesTime, SendAllMessagesTime, EnableReceiveTimer,
        EnableSendTimer, SMSDeliveryMedia, SIMCardDeliveryMode, SMSSMTPPort, SMSSMTPEncodeType,
        SMSSMTPAuthenticationType, IsFromNameSentByMaskingYourEmail, IsSMSSMTPAuthenticationRequired)
        VALUES (10, 10, -1, -1, 'MODEM', 'DIRECT DELIVER', 25, 0, 0, 0, 0))",
};

struct Migration
{
    int version;
    std::expected<void, StoreError> (*apply)(const Database&);
};

std::expected<void, StoreError> fillCountries(const Database& db)
{
    auto insert = db.prepare(u"INSERT INTO Country (CountryName, CountryCode, IsDefault) VALUES (?1, ?2, 0)"_s);
    for (const CountryEntry& country : worldCountries()) {
        insert.bind(1, country.name);
        insert.bind(2, country.code);
        if (auto r = insert.run(); !r)
            return r;
    }
    return {};
}

std::expected<void, StoreError> migrateTo1(const Database& db)
{
    for (const char16_t* sql : kVersion1) {
        if (auto r = db.exec(QString::fromUtf16(sql)); !r)
            return r;
    }
    return fillCountries(db);
}

// The mailbox poll remembers every message it has handled by the server's unique id, so a
// message whose delete failed, or that was skipped, is never processed or charged again.
std::expected<void, StoreError> migrateTo2(const Database& db)
{
    return db.exec(u"CREATE TABLE WebMailToSMS_HandledMessages ("
                   u"Mailbox TEXT NOT NULL, Uidl TEXT NOT NULL, HandledOn TEXT, "
                   u"KeepOnServer INTEGER NOT NULL DEFAULT 0, "
                   u"PRIMARY KEY (Mailbox, Uidl))"_s);
}

// The message box's search by the last ten digits of a number reads these instead of every row.
std::expected<void, StoreError> migrateTo3(const Database& db)
{
    if (auto r = db.exec(u"CREATE INDEX idx_inbox_sender_last10 ON Message_InBox (substr(SenderMobileNo, -10))"_s); !r)
        return r;
    return db.exec(u"CREATE INDEX idx_outbox_recipient_last10 ON Message_OutBox (substr(RecipientMobileNo, -10))"_s);
}

// Sending and receiving exactly once. PartsConfirmed: the parts of a long text the modem has
// confirmed, so a retry resumes after them. SIM_TakenMessages: a SIM message whose inbox row
// has been committed but whose delete from the SIM has not yet been confirmed; the next run
// deletes it without storing it again. SMS_PartsWaiting: parts of a concatenated SMS that
// wait for the rest of their set.
std::expected<void, StoreError> migrateTo4(const Database& db)
{
    const char16_t* const statements[] = {
        u"ALTER TABLE Message_OutBox ADD COLUMN PartsConfirmed INTEGER NOT NULL DEFAULT 0",
        // How long the parts of a long SMS wait for the rest of their set; a table of its own,
        // since the settings screen rewrites the other settings rows whole.
        u"CREATE TABLE SMS_PartsWaitSetting (WaitHours INTEGER NOT NULL DEFAULT 24)",
        u"INSERT INTO SMS_PartsWaitSetting DEFAULT VALUES",
        uR"(CREATE TABLE SIM_TakenMessages (
            Taken_Id INTEGER PRIMARY KEY AUTOINCREMENT,
            SimIndex INTEGER NOT NULL,
            Sender TEXT,
            ServiceCentreTime TEXT,
            TextDigest TEXT NOT NULL,
            TakenOn TEXT))",
        u"CREATE INDEX idx_sim_taken ON SIM_TakenMessages (SimIndex, TextDigest)",
        uR"(CREATE TABLE SMS_PartsWaiting (
            Part_Id INTEGER PRIMARY KEY AUTOINCREMENT,
            Sender TEXT NOT NULL,
            Reference INTEGER NOT NULL,
            Total INTEGER NOT NULL,
            Sequence INTEGER NOT NULL,
            Message TEXT,
            ServiceCentreTime TEXT,
            ReceivedOn TEXT,
            UNIQUE (Sender, Reference, Total, Sequence)))",
    };
    for (const char16_t* sql : statements) {
        if (auto r = db.exec(QString::fromUtf16(sql)); !r)
            return r;
    }
    return {};
}

// Handled mailbox messages were remembered under the typed "user@server:port", so a new port or a
// retyped host forgot them and a message whose delete had failed was charged again. They are
// now remembered under mailboxKey(); the rows already there move to it, so nothing handled
// before is taken for new. Where two old names meet in one key, the first row stays.
std::expected<void, StoreError> migrateTo5(const Database& db)
{
    auto names = db.prepare(u"SELECT DISTINCT Mailbox FROM WebMailToSMS_HandledMessages"_s);
    auto old = names.collect([](const Statement& row) { return row.text(0); });
    if (!old)
        return std::unexpected(old.error());
    auto move = db.prepare(u"UPDATE OR IGNORE WebMailToSMS_HandledMessages SET Mailbox=?1 WHERE Mailbox=?2"_s);
    auto dropLeft = db.prepare(u"DELETE FROM WebMailToSMS_HandledMessages WHERE Mailbox=?1"_s);
    for (const QString& name : *old) {
        // The port was whatever had been typed, so everything after the last ":" goes.
        const qsizetype colon = name.lastIndexOf(u':');
        const QString withoutPort = colon < 0 ? name : name.left(colon);
        const qsizetype at = withoutPort.lastIndexOf(u'@');
        const QString key =
            at < 0 ? mailboxKey(QString(), withoutPort) : mailboxKey(withoutPort.left(at), withoutPort.mid(at + 1));
        if (key == name)
            continue;
        move.bind(1, key);
        move.bind(2, name);
        if (auto r = move.run(); !r)
            return r;
        dropLeft.bind(1, name);
        if (auto r = dropLeft.run(); !r)
            return r;
    }
    return {};
}

// A login without TLS is refused unless the operator allowed it for that server; off for every
// store that existed before, since nothing was ever asked.
// A store whose user_version was set back (by hand, or by a test) may have the columns already.
std::expected<void, StoreError> migrateTo6(const Database& db)
{
    const std::pair<QString, QString> columns[] = {
        {u"WebMailToSMS_POP3Settings"_s, u"POP3AllowPlainLogin"_s},
        {u"Timer_Setting"_s, u"SMSSMTPAllowPlainLogin"_s},
    };
    for (const auto& [table, column] : columns) {
        // PRAGMA takes no bound parameters; the names come from the table above.
        auto info = db.prepare(u"PRAGMA table_info(%1)"_s.arg(table));
        auto names = info.collect([](const Statement& row) { return row.text(1).toLower(); });
        if (!names)
            return std::unexpected(names.error());
        if (std::ranges::find(*names, column.toLower()) != names->end())
            continue;
        if (auto r = db.exec(u"ALTER TABLE %1 ADD COLUMN %2 INTEGER NOT NULL DEFAULT 0"_s.arg(table, column)); !r)
            return r;
    }
    return {};
}

// Certificates the operator accepted for a mail server the system does not trust: the key is
// pinned per host and port, so a later connection accepts that key and no other. A store whose
// user_version was set back may have the table already.
std::expected<void, StoreError> migrateTo7(const Database& db)
{
    return db.exec(u"CREATE TABLE IF NOT EXISTS MailServer_TrustedKeys ("
                   u"Host TEXT NOT NULL, Port INTEGER NOT NULL, PublicKeyPin TEXT NOT NULL, "
                   u"Subject TEXT, Fingerprint TEXT, TrustedOn TEXT, "
                   u"PRIMARY KEY (Host, Port))"_s);
}

// The totals the message box and the dashboard show are kept here, updated by triggers in the
// same transaction as the rows, so a million rows are never walked to show a number. A store
// whose user_version was set back may have the table and triggers already; the totals are
// taken from the rows either way.
std::expected<void, StoreError> migrateTo8(const Database& db)
{
    const char16_t* const statements[] = {
        u"CREATE TABLE IF NOT EXISTS Message_Counts (List TEXT PRIMARY KEY, Total INTEGER NOT NULL DEFAULT 0)",
        uR"(CREATE TRIGGER IF NOT EXISTS trg_inbox_counts_insert AFTER INSERT ON Message_InBox BEGIN
            UPDATE Message_Counts SET Total = Total + 1 WHERE List='Inbox';
            UPDATE Message_Counts SET Total = Total + 1 WHERE List='InboxUnread' AND NEW.IsRead=0;
        END)",
        uR"(CREATE TRIGGER IF NOT EXISTS trg_inbox_counts_delete AFTER DELETE ON Message_InBox BEGIN
            UPDATE Message_Counts SET Total = Total - 1 WHERE List='Inbox';
            UPDATE Message_Counts SET Total = Total - 1 WHERE List='InboxUnread' AND OLD.IsRead=0;
        END)",
        uR"(CREATE TRIGGER IF NOT EXISTS trg_inbox_counts_read AFTER UPDATE OF IsRead ON Message_InBox
            WHEN (OLD.IsRead=0) <> (NEW.IsRead=0) BEGIN
            UPDATE Message_Counts SET Total = Total + (NEW.IsRead=0) - (OLD.IsRead=0) WHERE List='InboxUnread';
        END)",
        uR"(CREATE TRIGGER IF NOT EXISTS trg_outbox_counts_insert AFTER INSERT ON Message_OutBox BEGIN
            UPDATE Message_Counts SET Total = Total + 1
                WHERE List = CASE WHEN NEW.DeliveryDatetime IS NULL THEN 'Outbox' ELSE 'Sent' END;
        END)",
        uR"(CREATE TRIGGER IF NOT EXISTS trg_outbox_counts_delete AFTER DELETE ON Message_OutBox BEGIN
            UPDATE Message_Counts SET Total = Total - 1
                WHERE List = CASE WHEN OLD.DeliveryDatetime IS NULL THEN 'Outbox' ELSE 'Sent' END;
        END)",
        uR"(CREATE TRIGGER IF NOT EXISTS trg_outbox_counts_delivered AFTER UPDATE OF DeliveryDatetime ON Message_OutBox
            WHEN (OLD.DeliveryDatetime IS NULL) <> (NEW.DeliveryDatetime IS NULL) BEGIN
            UPDATE Message_Counts SET Total = Total + (NEW.DeliveryDatetime IS NULL) - (OLD.DeliveryDatetime IS NULL)
                WHERE List='Outbox';
            UPDATE Message_Counts SET Total = Total + (NEW.DeliveryDatetime IS NOT NULL) - (OLD.DeliveryDatetime IS NOT NULL)
                WHERE List='Sent';
        END)",
    };
    for (const char16_t* sql : statements) {
        if (auto r = db.exec(QString::fromUtf16(sql)); !r)
            return r;
    }
    if (auto r = reconcileCounts(db); !r)
        return std::unexpected(r.error());
    return {};
}

// Every sort the message box offers reads its folder in order from an index, ties by id as the
// rowid every index ends with, so a page never sorts the folder and a page from either end, or
// after a given row, reads only its own rows. The newest-first orders need descending indexes:
// their ties still go by ascending id. The filtered folders (unread, pending, sent) have partial
// indexes, small where the folder is; the unread and pending ones lead with the filter's column
// so the planner, which has no statistics, takes them over the filter's own index.
std::expected<void, StoreError> migrateTo9(const Database& db)
{
    const char16_t* const statements[] = {
        u"CREATE INDEX IF NOT EXISTS idx_inbox_newest ON Message_InBox (InboxDateTime DESC)",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_sender ON Message_InBox (SenderMobileNo)",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_message ON Message_InBox (Message)",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_unread_newest ON Message_InBox (IsRead, InboxDateTime DESC) WHERE "
        u"IsRead=0",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_unread_date ON Message_InBox (IsRead, InboxDateTime) WHERE IsRead=0",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_unread_sender ON Message_InBox (IsRead, SenderMobileNo) WHERE IsRead=0",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_unread_message ON Message_InBox (IsRead, Message) WHERE IsRead=0",
        u"CREATE INDEX IF NOT EXISTS idx_outbox_pending_queued ON Message_OutBox (DeliveryDatetime, OutBoxDateTime) "
        u"WHERE DeliveryDatetime IS NULL",
        u"CREATE INDEX IF NOT EXISTS idx_outbox_pending_recipient ON Message_OutBox "
        u"(DeliveryDatetime, RecipientMobileNo) WHERE DeliveryDatetime IS NULL",
        u"CREATE INDEX IF NOT EXISTS idx_outbox_pending_message ON Message_OutBox (DeliveryDatetime, Message) "
        u"WHERE DeliveryDatetime IS NULL",
        u"CREATE INDEX IF NOT EXISTS idx_sent_newest ON Message_OutBox (DeliveryDatetime DESC) "
        u"WHERE DeliveryDatetime IS NOT NULL",
        u"CREATE INDEX IF NOT EXISTS idx_sent_recipient ON Message_OutBox (RecipientMobileNo) "
        u"WHERE DeliveryDatetime IS NOT NULL",
        u"CREATE INDEX IF NOT EXISTS idx_sent_message ON Message_OutBox (Message) WHERE DeliveryDatetime IS NOT NULL",
    };
    for (const char16_t* sql : statements) {
        if (auto r = db.exec(QString::fromUtf16(sql)); !r)
            return r;
    }
    return {};
}

// SQLite reads the table row of each entry of a partial index to test the index's own WHERE
// when its column is not in the index: counting off half the sent items by number or text read
// half a million rows. These carry the delivery time, after the id that breaks the ties.
std::expected<void, StoreError> migrateTo10(const Database& db)
{
    const char16_t* const statements[] = {
        u"DROP INDEX IF EXISTS idx_sent_recipient",
        u"DROP INDEX IF EXISTS idx_sent_message",
        u"CREATE INDEX IF NOT EXISTS idx_sent_recipient_delivered ON Message_OutBox "
        u"(RecipientMobileNo, Outbox_Id, DeliveryDatetime) WHERE DeliveryDatetime IS NOT NULL",
        u"CREATE INDEX IF NOT EXISTS idx_sent_message_delivered ON Message_OutBox "
        u"(Message, Outbox_Id, DeliveryDatetime) WHERE DeliveryDatetime IS NOT NULL",
    };
    for (const char16_t* sql : statements) {
        if (auto r = db.exec(QString::fromUtf16(sql)); !r)
            return r;
    }
    return {};
}

// A page chosen by number in a long list is found from marks every thousand rows or so instead
// of counting the rows off (see PageMarks.h). A store whose user_version was set back may have
// the table and triggers already; the marks are built from the rows either way.
std::expected<void, StoreError> migrateTo11(const Database& db)
{
    if (auto r = db.exec(u"CREATE TABLE IF NOT EXISTS List_PageMarks (Mark_Id INTEGER PRIMARY KEY, "
                         u"List INTEGER NOT NULL, Value, Id INTEGER NOT NULL, Counted INTEGER NOT NULL DEFAULT 0)"_s);
        !r)
        return r;
    if (auto r = db.exec(u"CREATE INDEX IF NOT EXISTS idx_page_marks ON List_PageMarks (List, Value, Id)"_s); !r)
        return r;
    // The engine looks for stretches to cut every few seconds; this holds only those.
    if (auto r = db.exec(u"CREATE INDEX IF NOT EXISTS idx_page_marks_long ON List_PageMarks (Counted) "
                         u"WHERE Counted >= %1"_s.arg(2 * kMarkedStretch));
        !r)
        return r;
    for (const MarkedList& list : markedLists()) {
        if (auto r = installMarks(db, list); !r)
            return r;
    }
    return {};
}

// The reports' lists read their ranges of days in order from an index, ties by id: the missed
// calls oldest first, the received SMS by number or text with the date beside them, so a range
// is checked on the index alone, and the filed e-mails newest first, each filter its own. A
// partial index carries its filter's column too: SQLite would read the table row to test it.
std::expected<void, StoreError> migrateTo12(const Database& db)
{
    const char16_t* const statements[] = {
        u"CREATE INDEX IF NOT EXISTS idx_calls_missed_date ON MissedCallStatistics (callDateTime, id, IsMissCall) "
        u"WHERE IsMissCall<>0",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_sender_dated ON Message_InBox (SenderMobileNo, InBox_Id, InboxDateTime)",
        u"CREATE INDEX IF NOT EXISTS idx_inbox_message_dated ON Message_InBox (Message, InBox_Id, InboxDateTime)",
        u"CREATE INDEX IF NOT EXISTS idx_mails_newest ON WebMailToSMS_MessagesReceived (EmailDateTime DESC)",
        u"CREATE INDEX IF NOT EXISTS idx_mails_sent_newest ON WebMailToSMS_MessagesReceived "
        u"(EmailDateTime DESC, id, IsEmailSentToSMS) WHERE IsEmailSentToSMS<>0",
        u"CREATE INDEX IF NOT EXISTS idx_mails_refused_newest ON WebMailToSMS_MessagesReceived "
        u"(EmailDateTime DESC, id, IsEmailSentToSMS) WHERE IsEmailSentToSMS=0",
    };
    for (const char16_t* sql : statements) {
        if (auto r = db.exec(QString::fromUtf16(sql)); !r)
            return r;
    }
    return {};
}

// The reports' lists by date get page marks too (see PageMarks.h): the missed calls and the filed
// e-mails, whole and by outcome. A store whose user_version was set back may have them already;
// they are built from the rows either way.
std::expected<void, StoreError> migrateTo13(const Database& db)
{
    for (const MarkedList& list : markedLists()) {
        if (list.id < 12 || list.id > 15)
            continue;
        if (auto r = installMarks(db, list); !r)
            return r;
    }
    return {};
}

// The refused e-mails' index leads with the filter's column: with the date first, SQLite took the
// older index on IsEmailSentToSMS alone for its equality and read every refused e-mail to count
// those of a few days.
std::expected<void, StoreError> migrateTo14(const Database& db)
{
    if (auto r = db.exec(u"DROP INDEX IF EXISTS idx_mails_refused_newest"_s); !r)
        return r;
    return db.exec(u"CREATE INDEX IF NOT EXISTS idx_mails_refused_dated ON WebMailToSMS_MessagesReceived "
                   u"(IsEmailSentToSMS, EmailDateTime DESC, id) WHERE IsEmailSentToSMS=0"_s);
}

// The received-SMS report's indexes by number and by text (version 12) serve the message box's
// sorts as well, ties by id included; the older ones cost every new row two more index writes
// and the file a second copy of every text.
std::expected<void, StoreError> migrateTo15(const Database& db)
{
    if (auto r = db.exec(u"DROP INDEX IF EXISTS idx_inbox_sender"_s); !r)
        return r;
    return db.exec(u"DROP INDEX IF EXISTS idx_inbox_message"_s);
}

// The inbox screen's searches by sender and by SMS user name read one value's e-mails newest first
// from an index, instead of testing every e-mail of the range with LIKE. Each value is kept once
// beside them with how many e-mails hold it (one NULL row counts those without), so a search
// finds its values there first and knows how many e-mails they bring before reading any. The
// user name is what follows the first <smsusername> tag up to the next "<", lower-cased as LIKE
// folds case: the request parser charges the first tag's user too. A store whose user_version
// was set back may have all of it already; the values are taken from the rows either way.
QString mailUserNameOf(const QString& text)
{
    const QString tag = u"instr(lower(%1), '<smsusername>')"_s.arg(text);
    const QString rest = u"substr(%1, %2 + 13)"_s.arg(text, tag);
    return u"(CASE WHEN %1 > 0 THEN lower(CASE WHEN instr(%2, '<') > 0 THEN substr(%2, 1, instr(%2, '<') - 1) "
           u"ELSE %2 END) END)"_s.arg(tag, rest);
}

// Counts a mail's value in and out of its table of values inside the mail's own statement.
QString countValue(const QString& table, const QString& column, const QString& value, int change)
{
    if (change > 0)
        return u"INSERT OR IGNORE INTO %1 (%2, Mails) SELECT %3, 0 WHERE %3 IS NOT NULL; "
               u"UPDATE %1 SET Mails = Mails + 1 WHERE %2 IS %3;"_s.arg(table, column, value);
    return u"UPDATE %1 SET Mails = Mails - 1 WHERE %2 IS %3; DELETE FROM %1 WHERE %2 = %3 AND Mails <= 0;"_s.arg(
        table, column, value);
}

std::expected<void, StoreError> migrateTo16(const Database& db)
{
    const QString mails = u"WebMailToSMS_MessagesReceived"_s;
    const QString senders = u"WebMailToSMS_Senders"_s;
    const QString users = u"WebMailToSMS_UserNames"_s;
    auto info = db.prepare(u"PRAGMA table_info(WebMailToSMS_MessagesReceived)"_s);
    auto names = info.collect([](const Statement& row) { return row.text(1).toLower(); });
    if (!names)
        return std::unexpected(names.error());
    if (std::ranges::find(*names, u"emailsmsusername"_s) == names->end()) {
        if (auto r = db.exec(u"ALTER TABLE %1 ADD COLUMN EmailSMSUserName TEXT"_s.arg(mails)); !r)
            return r;
    }
    const QStringList statements = {
        u"UPDATE %1 SET EmailSMSUserName = %2"_s.arg(mails, mailUserNameOf(u"EmailTextMessage"_s)),
        u"CREATE TABLE IF NOT EXISTS %1 (Address TEXT PRIMARY KEY, Mails INTEGER NOT NULL DEFAULT 0)"_s.arg(senders),
        u"CREATE TABLE IF NOT EXISTS %1 (UserName TEXT PRIMARY KEY, Mails INTEGER NOT NULL DEFAULT 0)"_s.arg(users),
        u"DELETE FROM %1"_s.arg(senders),
        u"DELETE FROM %1"_s.arg(users),
        u"INSERT INTO %1 (Address, Mails) SELECT EmailFromAddress, COUNT(*) FROM %2 WHERE EmailFromAddress IS NOT "
        u"NULL GROUP BY EmailFromAddress"_s.arg(senders, mails),
        u"INSERT INTO %1 (Address, Mails) SELECT NULL, COUNT(*) FROM %2 WHERE EmailFromAddress IS NULL"_s.arg(senders,
                                                                                                            mails),
        u"INSERT INTO %1 (UserName, Mails) SELECT EmailSMSUserName, COUNT(*) FROM %2 WHERE EmailSMSUserName IS NOT "
        u"NULL GROUP BY EmailSMSUserName"_s.arg(users, mails),
        u"INSERT INTO %1 (UserName, Mails) SELECT NULL, COUNT(*) FROM %2 WHERE EmailSMSUserName IS NULL"_s.arg(users,
                                                                                                             mails),
        // The outcome rides along so that a search by outcome is answered on the index alone.
        u"CREATE INDEX IF NOT EXISTS idx_mails_sender_newest ON %1 "
        u"(EmailFromAddress, EmailDateTime DESC, id, IsEmailSentToSMS)"_s.arg(mails),
        u"CREATE INDEX IF NOT EXISTS idx_mails_user_newest ON %1 "
        u"(EmailSMSUserName, EmailDateTime DESC, id, IsEmailSentToSMS)"_s.arg(mails),
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_senders_insert AFTER INSERT ON %1 BEGIN %2 END"_s.arg(
            mails, countValue(senders, u"Address"_s, u"NEW.EmailFromAddress"_s, 1)),
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_senders_delete AFTER DELETE ON %1 BEGIN %2 END"_s.arg(
            mails, countValue(senders, u"Address"_s, u"OLD.EmailFromAddress"_s, -1)),
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_senders_update AFTER UPDATE OF EmailFromAddress ON %1 "
        u"WHEN OLD.EmailFromAddress IS NOT NEW.EmailFromAddress BEGIN %2 %3 END"_s.arg(
            mails, countValue(senders, u"Address"_s, u"OLD.EmailFromAddress"_s, -1),
            countValue(senders, u"Address"_s, u"NEW.EmailFromAddress"_s, 1)),
        // The user name is counted as the column holds it; setting it moves the count along.
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_users_insert AFTER INSERT ON %1 BEGIN %2 "
        u"UPDATE %1 SET EmailSMSUserName = %3 WHERE id = NEW.id AND EmailSMSUserName IS NOT %3; END"_s.arg(
            mails, countValue(users, u"UserName"_s, u"NEW.EmailSMSUserName"_s, 1),
            mailUserNameOf(u"NEW.EmailTextMessage"_s)),
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_users_delete AFTER DELETE ON %1 BEGIN %2 END"_s.arg(
            mails, countValue(users, u"UserName"_s, u"OLD.EmailSMSUserName"_s, -1)),
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_users_update AFTER UPDATE OF EmailSMSUserName ON %1 "
        u"WHEN OLD.EmailSMSUserName IS NOT NEW.EmailSMSUserName BEGIN %2 %3 END"_s.arg(
            mails, countValue(users, u"UserName"_s, u"OLD.EmailSMSUserName"_s, -1),
            countValue(users, u"UserName"_s, u"NEW.EmailSMSUserName"_s, 1)),
        u"CREATE TRIGGER IF NOT EXISTS trg_mail_users_text AFTER UPDATE OF EmailTextMessage ON %1 BEGIN "
        u"UPDATE %1 SET EmailSMSUserName = %2 WHERE id = NEW.id AND EmailSMSUserName IS NOT %2; END"_s.arg(
            mails, mailUserNameOf(u"NEW.EmailTextMessage"_s)),
    };
    for (const QString& sql : statements) {
        if (auto r = db.exec(sql); !r)
            return r;
    }
    return {};
}

// The received-SMS report sorts a range of days by number or by text. The inbox's marks in those
// two orders now keep each stretch's months and days (List_PageMarkMonths, List_PageMarkDays), so
// a place in the range is found from their counts instead of walking the order's index and
// testing each row's date.
std::expected<void, StoreError> migrateTo17(const Database& db)
{
    for (const MarkedList& list : markedLists()) {
        if (list.dayColumn.isEmpty())
            continue;
        if (auto r = installMarks(db, list); !r)
            return r;
    }
    return {};
}

// A search of the e-mail inbox that matches a large share of the e-mails counts them in each
// day's packed senders, user names and outcomes (WebMailToSMS_Days) instead of reading them.
std::expected<void, StoreError> migrateTo18(const Database& db)
{
    return installMailDays(db);
}

// The inbox's marks by number and by text, which keep their days, take stretches of four thousand
// rows: the received-SMS report then looks up a quarter as many stretches to place a range. The
// partial index of long stretches follows each list's own size, or it would hold every stretch
// of those two lists and the engine would read them all every tick.
std::expected<void, StoreError> migrateTo19(const Database& db)
{
    if (auto r = db.exec(u"DROP INDEX IF EXISTS idx_page_marks_long"_s); !r)
        return r;
    const QString longOnes = u"CREATE INDEX idx_page_marks_long ON List_PageMarks (Counted) WHERE "_s;
    if (auto r = db.exec(longOnes + longStretchCondition()); !r)
        return r;
    for (const MarkedList& list : markedLists()) {
        if (list.dayColumn.isEmpty())
            continue;
        if (auto r = rebuildMarks(db, list); !r)
            return r;
    }
    return {};
}

// Later schema changes are appended here, never edited in place: a store written by an
// earlier version walks the list from its user_version on.
const Migration kMigrations[] = {
    {1, &migrateTo1},   {2, &migrateTo2},   {3, &migrateTo3},   {4, &migrateTo4},   {5, &migrateTo5},
    {6, &migrateTo6},   {7, &migrateTo7},   {8, &migrateTo8},   {9, &migrateTo9},   {10, &migrateTo10},
    {11, &migrateTo11}, {12, &migrateTo12}, {13, &migrateTo13}, {14, &migrateTo14}, {15, &migrateTo15},
    {16, &migrateTo16}, {17, &migrateTo17}, {18, &migrateTo18}, {19, &migrateTo19},
};

} // namespace

int currentSchemaVersion()
{
    return std::end(kMigrations)[-1].version;
}

std::expected<int, StoreError> schemaVersion(const Database& db)
{
    auto version = db.prepare(u"PRAGMA user_version"_s).scalar();
    if (!version)
        return std::unexpected(version.error());
    return int(*version);
}

std::expected<void, StoreError> ensureSchema(const Database& db)
{
    auto version = schemaVersion(db);
    if (!version)
        return std::unexpected(version.error());
    if (*version > currentSchemaVersion())
        return std::unexpected(
            StoreError{0, u"the store was written by a newer version of tarvogate (schema %1, this program knows %2)"_s
                              .arg(*version)
                              .arg(currentSchemaVersion())});
    if (*version == currentSchemaVersion())
        return {};

    Transaction transaction(db);
    if (!transaction.started())
        return transaction.started();
    for (const Migration& migration : kMigrations) {
        if (migration.version <= *version)
            continue;
        if (auto r = migration.apply(db); !r)
            return r;
        // PRAGMA takes no bound parameters; the number comes from the table above.
        if (auto r = db.exec(u"PRAGMA user_version=%1"_s.arg(migration.version)); !r)
            return r;
    }
    return transaction.commit();
}

} // namespace store
