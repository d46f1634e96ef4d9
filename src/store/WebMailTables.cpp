#include "WebMailTables.h"

#include "DateText.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> WebMailTables::file(const ReceivedMailRow& row)
{
    auto st = m_db.prepare(u"INSERT INTO WebMailToSMS_MessagesReceived (EmailFromName, EmailFromAddress, EmailSubject, "
                           u"EmailDateTime, EmailContentType, EmailTextMessage, MessageReceivedOn, IsEmailSentToSMS, "
                           u"ReasonForNotSendingSMS) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)"_s);
    st.bind(1, row.EmailFromName);
    st.bind(2, row.EmailFromAddress);
    st.bind(3, row.EmailSubject);
    st.bind(4, row.EmailDateTime);
    st.bind(5, row.EmailContentType);
    st.bind(6, row.EmailTextMessage);
    st.bind(7, row.MessageReceivedOn);
    st.bind(8, row.IsEmailSentToSMS);
    st.bind(9, row.ReasonForNotSendingSMS);
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.lastInsertId();
}

std::expected<std::vector<ReceivedMailRow>, StoreError> WebMailTables::all() const
{
    auto st =
        m_db.prepare(u"SELECT id, EmailFromName, EmailFromAddress, EmailSubject, EmailDateTime, EmailContentType, "
                     u"EmailTextMessage, MessageReceivedOn, IsEmailSentToSMS, ReasonForNotSendingSMS "
                     u"FROM WebMailToSMS_MessagesReceived ORDER BY id"_s);
    return st.collect([](const Statement& row) {
        return ReceivedMailRow{row.integer(0), row.text(1), row.text(2), row.text(3),    row.text(4),
                               row.text(5),    row.text(6), row.text(7), row.boolean(8), row.text(9)};
    });
}

std::expected<WebMailTables::Handled, StoreError> WebMailTables::handled(const QString& mailbox,
                                                                         const QString& uidl) const
{
    auto st = m_db.prepare(u"SELECT KeepOnServer FROM WebMailToSMS_HandledMessages WHERE Mailbox=?1 AND Uidl=?2"_s);
    st.bind(1, mailbox);
    st.bind(2, uidl);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return Handled::No;
    return st.boolean(0) ? Handled::KeptOnServer : Handled::Filed;
}

std::expected<void, StoreError> WebMailTables::markHandled(const QString& mailbox, const QString& uidl,
                                                           const QDateTime& when, bool keepOnServer)
{
    auto st =
        m_db.prepare(u"INSERT OR REPLACE INTO WebMailToSMS_HandledMessages (Mailbox, Uidl, HandledOn, KeepOnServer) "
                     u"VALUES (?1, ?2, ?3, ?4)"_s);
    st.bind(1, mailbox);
    st.bind(2, uidl);
    st.bind(3, isoText(when));
    st.bind(4, keepOnServer);
    return st.run();
}

std::expected<void, StoreError> WebMailTables::keepOnly(const QString& mailbox, const QStringList& uidls)
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return transaction.started();
    auto existing = m_db.prepare(u"SELECT Uidl FROM WebMailToSMS_HandledMessages WHERE Mailbox=?1"_s);
    existing.bind(1, mailbox);
    QStringList gone;
    for (;;) {
        auto more = existing.next();
        if (!more)
            return std::unexpected(more.error());
        if (!*more)
            break;
        if (!uidls.contains(existing.text(0)))
            gone << existing.text(0);
    }
    auto remove = m_db.prepare(u"DELETE FROM WebMailToSMS_HandledMessages WHERE Mailbox=?1 AND Uidl=?2"_s);
    for (const QString& uidl : gone) {
        remove.bind(1, mailbox);
        remove.bind(2, uidl);
        if (auto r = remove.run(); !r)
            return r;
    }
    return transaction.commit();
}

} // namespace store
