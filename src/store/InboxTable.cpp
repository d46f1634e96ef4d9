#include "InboxTable.h"

#include "DateText.h"
#include "MessageCounts.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> InboxTable::insert(const QString& sender, const QString& message,
                                                     const QDateTime& when)
{
    auto st = m_db.prepare(u"INSERT INTO Message_InBox (SenderMobileNo, SenderId, Message, InboxDateTime) "
                           u"VALUES (?1, 0, ?2, ?3)"_s);
    st.bind(1, sender);
    st.bind(2, message);
    st.bind(3, isoText(when));
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.lastInsertId();
}

std::expected<qint64, StoreError> InboxTable::countUnread() const
{
    return keptCount(m_db, CountedList::InboxUnread);
}

} // namespace store

namespace store {

std::expected<std::optional<QString>, StoreError> InboxTable::readMessage(qint64 id)
{
    auto st = m_db.prepare(u"SELECT Message FROM Message_InBox WHERE InBox_Id=?1"_s);
    st.bind(1, id);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    const QString message = st.text(0);
    auto mark = m_db.prepare(u"UPDATE Message_InBox SET IsRead=-1 WHERE InBox_Id=?1"_s);
    mark.bind(1, id);
    if (auto r = mark.run(); !r)
        return std::unexpected(r.error());
    return message;
}

std::expected<void, StoreError> InboxTable::remove(qint64 id)
{
    auto st = m_db.prepare(u"DELETE FROM Message_InBox WHERE InBox_Id=?1"_s);
    st.bind(1, id);
    return st.run();
}

} // namespace store
