#include "CountryTable.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<qint64, StoreError> CountryTable::count() const
{
    return m_db.prepare(u"SELECT COUNT(*) FROM Country"_s).scalar();
}

std::expected<QString, StoreError> CountryTable::codeOf(const QString& countryName) const
{
    auto st = m_db.prepare(u"SELECT CountryCode FROM Country WHERE CountryName=?1"_s);
    st.bind(1, countryName);
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    return *found ? st.text(0) : QString();
}

} // namespace store
