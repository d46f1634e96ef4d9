#include "AutoReplyTable.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<bool, StoreError> AutoReplyTable::isSwitchedOn() const
{
    auto st = m_db.prepare(u"SELECT SendAutoReply FROM SMS_AutoReplySettings LIMIT 1"_s);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    return *found && st.boolean(0);
}

std::expected<void, StoreError> AutoReplyTable::setSwitchedOn(bool on)
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return transaction.started();
    if (auto r = m_db.exec(u"DELETE FROM SMS_AutoReplySettings"_s); !r)
        return r;
    auto st = m_db.prepare(u"INSERT INTO SMS_AutoReplySettings (SendAutoReply) VALUES (?1)"_s);
    st.bind(1, on);
    if (auto r = st.run(); !r)
        return r;
    return transaction.commit();
}

std::expected<std::vector<AutoReplyRow>, StoreError> AutoReplyTable::all() const
{
    auto st = m_db.prepare(u"SELECT CommandId, SMS_Command, SMS_Reply FROM SMS_AutoReply ORDER BY CommandId"_s);
    return st.collect([](const Statement& row) { return AutoReplyRow{row.integer(0), row.text(1), row.text(2)}; });
}

std::expected<qint64, StoreError> AutoReplyTable::insert(const QString& command, const QString& reply)
{
    auto st = m_db.prepare(u"INSERT INTO SMS_AutoReply (SMS_Command, SMS_Reply) VALUES (?1, ?2)"_s);
    st.bind(1, command);
    st.bind(2, reply);
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.lastInsertId();
}

std::expected<void, StoreError> AutoReplyTable::update(qint64 id, const QString& command, const QString& reply)
{
    auto st = m_db.prepare(u"UPDATE SMS_AutoReply SET SMS_Command=?1, SMS_Reply=?2 WHERE CommandId=?3"_s);
    st.bind(1, command);
    st.bind(2, reply);
    st.bind(3, id);
    if (auto r = st.run(); !r)
        return r;
    if (m_db.changes() == 0)
        return std::unexpected(StoreError{0, u"The SMS command %1 no longer exists."_s.arg(id)});
    return {};
}

std::expected<void, StoreError> AutoReplyTable::remove(const std::vector<qint64>& ids)
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return transaction.started();
    auto st = m_db.prepare(u"DELETE FROM SMS_AutoReply WHERE CommandId=?1"_s);
    for (const qint64 id : ids) {
        st.bind(1, id);
        if (auto r = st.run(); !r)
            return r;
    }
    return transaction.commit();
}

} // namespace store
