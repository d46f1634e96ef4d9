#include "OutboxTable.h"

#include "DateText.h"
#include "MessageCounts.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> OutboxTable::insert(const QString& recipient, const QString& message,
                                                      const QDateTime& queuedAt, const QString& fromName)
{
    auto st =
        m_db.prepare(u"INSERT INTO Message_OutBox (RecepId, RecipientMobileNo, Message, OutBoxDateTime, SMSFromName) "
                     u"VALUES (0, ?1, ?2, ?3, ?4)"_s);
    st.bind(1, recipient);
    st.bind(2, message);
    st.bind(3, isoText(queuedAt));
    st.bind(4, fromName);
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.lastInsertId();
}

std::expected<OutboxRow, StoreError> OutboxTable::row(qint64 id) const
{
    auto st = m_db.prepare(u"SELECT Outbox_Id, RecipientMobileNo, Message, OutBoxDateTime, DeliveryDatetime, "
                           u"DeliveryStatus, SMSFromName, PartsConfirmed FROM Message_OutBox WHERE Outbox_Id=?1"_s);
    st.bind(1, id);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::unexpected(StoreError{0, u"outbox message %1 does not exist"_s.arg(id)});
    return OutboxRow{st.integer(0), st.text(1), st.text(2), fromIsoText(st.text(3)),
                     st.text(4),    st.text(5), st.text(6), int(st.integer(7))};
}

std::expected<qint64, StoreError> OutboxTable::countPending() const
{
    return keptCount(m_db, CountedList::Outbox);
}

} // namespace store

namespace store {

namespace {

std::expected<void, StoreError> setStatus(const Database& db, qint64 id, const QString& status)
{
    auto st = db.prepare(u"UPDATE Message_OutBox SET DeliveryStatus=?1 WHERE Outbox_Id=?2"_s);
    st.bind(1, status);
    st.bind(2, id);
    return st.run();
}

} // namespace

std::expected<std::vector<OutboxRow>, StoreError> OutboxTable::pendingSnapshot() const
{
    auto st = m_db.prepare(u"SELECT Outbox_Id, RecipientMobileNo, Message, OutBoxDateTime, DeliveryDatetime, "
                           u"DeliveryStatus, SMSFromName, PartsConfirmed FROM Message_OutBox WHERE DeliveryDatetime IS NULL AND "
                           u"(DeliveryStatus IS NULL OR DeliveryStatus='') ORDER BY Outbox_Id"_s);
    return st.collect([](const Statement& row) {
        return OutboxRow{row.integer(0), row.text(1), row.text(2), fromIsoText(row.text(3)),
                         row.text(4),    row.text(5), row.text(6), int(row.integer(7))};
    });
}

std::expected<bool, StoreError> OutboxTable::claim(qint64 id)
{
    auto st = m_db.prepare(u"UPDATE Message_OutBox SET DeliveryStatus='SENDING' WHERE Outbox_Id=?1 AND "
                           u"DeliveryDatetime IS NULL AND (DeliveryStatus IS NULL OR DeliveryStatus='')"_s);
    st.bind(1, id);
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.changes() == 1;
}

std::expected<void, StoreError> OutboxTable::bookSent(qint64 id, const QDateTime& when)
{
    auto st =
        m_db.prepare(u"UPDATE Message_OutBox SET DeliveryStatus='SENT', DeliveryDatetime=?1 WHERE Outbox_Id=?2"_s);
    st.bind(1, isoText(when));
    st.bind(2, id);
    return st.run();
}

std::expected<void, StoreError> OutboxTable::releaseToPending(qint64 id)
{
    return setStatus(m_db, id, u""_s);
}

std::expected<void, StoreError> OutboxTable::setPartsConfirmed(qint64 id, int parts)
{
    auto st = m_db.prepare(u"UPDATE Message_OutBox SET PartsConfirmed=?1 WHERE Outbox_Id=?2"_s);
    st.bind(1, parts);
    st.bind(2, id);
    return st.run();
}

std::expected<void, StoreError> OutboxTable::markFaultyNumber(qint64 id)
{
    return setStatus(m_db, id, u"FAULTY NUMBER"_s);
}

std::expected<void, StoreError> OutboxTable::remove(qint64 id, bool sent)
{
    auto st = m_db.prepare(sent ? u"DELETE FROM Message_OutBox WHERE DeliveryDatetime IS NOT NULL AND Outbox_Id=?1"_s
                                : u"DELETE FROM Message_OutBox WHERE DeliveryDatetime IS NULL AND Outbox_Id=?1"_s);
    st.bind(1, id);
    return st.run();
}

std::expected<qint64, StoreError> OutboxTable::countSending() const
{
    return m_db.prepare(u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryStatus='SENDING'"_s).scalar();
}

std::expected<void, StoreError> OutboxTable::resetSending()
{
    return m_db.exec(u"UPDATE Message_OutBox SET DeliveryStatus='' WHERE DeliveryStatus='SENDING'"_s);
}

} // namespace store
