#include "CallTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> CallTable::insert(const QDateTime& when, const QString& callerNumber,
                                                    bool isMissedCall)
{
    auto st = m_db.prepare(
        u"INSERT INTO MissedCallStatistics (callDateTime, callerNumber, IsMissCall) VALUES (?1, ?2, ?3)"_s);
    st.bind(1, isoText(when));
    st.bind(2, callerNumber);
    st.bind(3, isMissedCall);
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.lastInsertId();
}

std::expected<qint64, StoreError> CallTable::countMissedOn(const QDate& day) const
{
    const DayRange range = dayRange(day);
    auto st = m_db.prepare(u"SELECT COUNT(*) FROM MissedCallStatistics "
                           u"WHERE callDateTime>=?1 AND callDateTime<?2 AND IsMissCall<>0"_s);
    st.bind(1, range.from);
    st.bind(2, range.until);
    return st.scalar();
}

} // namespace store
