#include "InboxExportRows.h"

#include "ReportQueries.h"

using namespace Qt::StringLiterals;

namespace store {

InboxExportRows::InboxExportRows(const Database& db, const QDate& from, const QDate& to) : m_db(db)
{
    const DayRange days = reportDays(from, to);
    m_from = days.from;
    m_until = days.until;
    // The date index holds the row id as its last part, so this order is read off the index
    // and the rows stream without being sorted first.
    m_rows = db.prepare(u"SELECT SenderMobileNo, Message, InboxDateTime FROM Message_InBox "
                        u"WHERE InboxDateTime >= ?1 AND InboxDateTime < ?2 ORDER BY InboxDateTime, InBox_Id"_s);
    m_rows.bind(1, m_from);
    m_rows.bind(2, m_until);
}

std::expected<qint64, StoreError> InboxExportRows::count() const
{
    auto st = m_db.prepare(u"SELECT COUNT(*) FROM Message_InBox WHERE InboxDateTime >= ?1 AND InboxDateTime < ?2"_s);
    st.bind(1, m_from);
    st.bind(2, m_until);
    return st.scalar();
}

} // namespace store
