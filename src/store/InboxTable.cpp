#include "InboxTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> InboxTable::insert(const QString& sender, const QString& message, const QDateTime& when)
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
    return m_db.prepare(u"SELECT COUNT(*) FROM Message_InBox WHERE IsRead=0"_s).scalar();
}

} // namespace store
