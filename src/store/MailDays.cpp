#include "MailDays.h"

#include <QStringList>

#include <climits>
#include <utility>

using namespace Qt::StringLiterals;

namespace store {

namespace {

const QString kMails = u"WebMailToSMS_MessagesReceived"_s;

// Whether a date text (a column, NEW.x or OLD.x) is in the store's own form, so that its first
// ten characters order it among whole days exactly as the text itself orders.
QString placed(const QString& date)
{
    return u"COALESCE(%1 GLOB '[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9] [0-9][0-9]:[0-9][0-9]:[0-9][0-9]*', 0)"_s.arg(
        date);
}

// Notes the day of an e-mail that came, went or changed, or counts it among those without one.
QString noteDay(const QString& row, int change)
{
    const QString date = row + u"EmailDateTime"_s;
    return u"INSERT OR IGNORE INTO WebMailToSMS_StaleDays (Day) SELECT substr(%1, 1, 10) WHERE %2; "
           u"UPDATE WebMailToSMS_Days SET Mails = Mails %3 1 WHERE Day = '' AND NOT %2;"_s.arg(
               date, placed(date), change > 0 ? u"+"_s : u"-"_s);
}

struct PackedMail
{
    qint64 sender = 0;
    qint64 user = 0;
    int outcome = 0;
};

// Two or four bytes a value, after a byte that says which; the outcome takes each word's top bits.
QByteArray pack(const std::vector<PackedMail>& mails, qint64 PackedMail::*value)
{
    qint64 highest = 0;
    for (const PackedMail& mail : mails)
        highest = std::max(highest, mail.*value);
    const int width = highest < (qint64(1) << 14) ? 2 : 4;
    const unsigned outcomeShift = unsigned(width) * 8 - 2;
    QByteArray bytes(qsizetype(1 + mails.size() * std::size_t(width)), Qt::Uninitialized);
    bytes[0] = char(width);
    auto* at = reinterpret_cast<uchar*>(bytes.data()) + 1;
    for (const PackedMail& mail : mails) {
        const quint32 word = quint32(mail.*value) | quint32(mail.outcome) << outcomeShift;
        if (width == 2)
            qToLittleEndian<quint16>(quint16(word), at);
        else
            qToLittleEndian<quint32>(word, at);
        at += width;
    }
    return bytes;
}

// Packs one day, or leaves it noted where a value of its e-mails has no row number to pack
// (which the values' triggers never allow) or one too large for the blob's words.
std::expected<void, StoreError> packDay(const Database& db, const QString& day)
{
    auto read = db.prepare(
        u"SELECT s.rowid, u.rowid, CASE WHEN m.IsEmailSentToSMS IS NULL THEN 2 WHEN m.IsEmailSentToSMS<>0 THEN 1 "
        u"ELSE 0 END, (m.EmailFromAddress IS NOT NULL AND s.rowid IS NULL) OR (m.EmailSMSUserName IS NOT NULL AND "
        u"u.rowid IS NULL) FROM %1 AS m LEFT JOIN WebMailToSMS_Senders AS s ON s.Address = m.EmailFromAddress "
        u"LEFT JOIN WebMailToSMS_UserNames AS u ON u.UserName = m.EmailSMSUserName "
        u"WHERE m.EmailDateTime >= ?1 AND m.EmailDateTime < ?2 AND %2"_s.arg(kMails, placed(u"m.EmailDateTime"_s)));
    const DayRange texts = packedDayTexts(day);
    read.bind(1, texts.from);
    read.bind(2, texts.until);
    std::vector<PackedMail> mails;
    for (;;) {
        auto more = read.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            break;
        const PackedMail mail{read.integer(0), read.integer(1), int(read.integer(2))};
        if (read.boolean(3) || mail.sender < 0 || mail.sender >= (1 << 30) || mail.user < 0 || mail.user >= (1 << 30))
            return {};
        mails.push_back(mail);
    }
    auto gone = db.prepare(u"DELETE FROM WebMailToSMS_Days WHERE Day=?1"_s);
    gone.bind(1, day);
    if (auto r = gone.run(); !r)
        return r;
    if (!mails.empty()) {
        auto write = db.prepare(u"INSERT INTO WebMailToSMS_Days (Day, Kind, Mails, Packed) VALUES (?1, ?2, ?3, ?4)"_s);
        const std::pair<PackedKind, qint64 PackedMail::*> kinds[] = {{PackedKind::Senders, &PackedMail::sender},
                                                                     {PackedKind::UserNames, &PackedMail::user}};
        for (const auto& [kind, value] : kinds) {
            const QByteArray packed = pack(mails, value);
            write.bind(1, day);
            write.bind(2, int(kind));
            write.bind(3, qint64(mails.size()));
            write.bindBlob(4, std::as_bytes(std::span(packed.constData(), std::size_t(packed.size()))));
            if (auto r = write.run(); !r)
                return r;
        }
    }
    auto done = db.prepare(u"DELETE FROM WebMailToSMS_StaleDays WHERE Day=?1"_s);
    done.bind(1, day);
    return done.run();
}

} // namespace

std::expected<void, StoreError> installMailDays(const Database& db)
{
    const QStringList statements = {
        u"CREATE TABLE IF NOT EXISTS WebMailToSMS_Days (Day TEXT NOT NULL, Kind INTEGER NOT NULL, Mails INTEGER NOT "
        u"NULL, Packed BLOB NOT NULL, PRIMARY KEY (Day, Kind))"_s,
        u"CREATE TABLE IF NOT EXISTS WebMailToSMS_StaleDays (Day TEXT PRIMARY KEY) WITHOUT ROWID"_s,
        u"DELETE FROM WebMailToSMS_Days"_s,
        u"DELETE FROM WebMailToSMS_StaleDays"_s,
        u"INSERT INTO WebMailToSMS_Days (Day, Kind, Mails, Packed) SELECT '', 0, COUNT(*), x'' FROM %1 "
        u"WHERE NOT %2"_s.arg(kMails, placed(u"EmailDateTime"_s)),
        u"INSERT INTO WebMailToSMS_StaleDays (Day) SELECT DISTINCT substr(EmailDateTime, 1, 10) FROM %1 WHERE %2"_s.arg(
            kMails, placed(u"EmailDateTime"_s)),
        u"DROP TRIGGER IF EXISTS trg_mail_days_insert"_s,
        u"DROP TRIGGER IF EXISTS trg_mail_days_delete"_s,
        u"DROP TRIGGER IF EXISTS trg_mail_days_update"_s,
        u"CREATE TRIGGER trg_mail_days_insert AFTER INSERT ON %1 BEGIN %2 END"_s.arg(kMails, noteDay(u"NEW."_s, 1)),
        u"CREATE TRIGGER trg_mail_days_delete AFTER DELETE ON %1 BEGIN %2 END"_s.arg(kMails, noteDay(u"OLD."_s, -1)),
        u"CREATE TRIGGER trg_mail_days_update AFTER UPDATE OF EmailDateTime, EmailFromAddress, EmailSMSUserName, "
        u"IsEmailSentToSMS ON %1 WHEN OLD.EmailDateTime IS NOT NEW.EmailDateTime OR OLD.EmailFromAddress IS NOT "
        u"NEW.EmailFromAddress OR OLD.EmailSMSUserName IS NOT NEW.EmailSMSUserName OR OLD.IsEmailSentToSMS IS NOT "
        u"NEW.IsEmailSentToSMS BEGIN %2 %3 END"_s.arg(kMails, noteDay(u"OLD."_s, -1), noteDay(u"NEW."_s, 1)),
    };
    for (const QString& sql : statements) {
        if (auto r = db.exec(sql); !r)
            return r;
    }
    if (auto packed = refreshMailDays(db, INT_MAX); !packed)
        return std::unexpected(packed.error());
    return {};
}

std::expected<int, StoreError> refreshMailDays(const Database& db, int days)
{
    auto noted = db.prepare(u"SELECT Day FROM WebMailToSMS_StaleDays ORDER BY Day DESC LIMIT ?1"_s);
    noted.bind(1, qint64(days));
    auto stale = noted.collect([](const Statement& row) { return row.text(0); });
    if (!stale)
        return std::unexpected(stale.error());
    if (stale->empty())
        return 0;
    Transaction transaction(db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    for (const QString& day : *stale) {
        if (auto r = packDay(db, day); !r)
            return std::unexpected(r.error());
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return int(stale->size());
}

} // namespace store
