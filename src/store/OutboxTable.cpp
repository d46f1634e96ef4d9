#include "OutboxTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> OutboxTable::insert(const QString& recipient, const QString& message,
                                                      const QDateTime& queuedAt, const QString& fromName)
{
    auto st = m_db.prepare(u"INSERT INTO Message_OutBox (RecepId, RecipientMobileNo, Message, OutBoxDateTime, SMSFromName) "
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
                           u"DeliveryStatus, SMSFromName FROM Message_OutBox WHERE Outbox_Id=?1"_s);
    st.bind(1, id);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::unexpected(StoreError{0, u"outbox message %1 does not exist"_s.arg(id)});
    return OutboxRow{st.integer(0), st.text(1), st.text(2), fromIsoText(st.text(3)), st.text(4), st.text(5), st.text(6)};
}

std::expected<qint64, StoreError> OutboxTable::countPending() const
{
    return m_db.prepare(u"SELECT COUNT(*) FROM Message_OutBox WHERE DeliveryDatetime IS NULL"_s).scalar();
}

} // namespace store
