#include "CountryTable.h"

#include <QStringList>

using namespace Qt::StringLiterals;

namespace store {

namespace {

const QString kColumns = u"CountryId, CountryName, CountryCode, IsDefault"_s;

CountryRow readRow(const Statement& st)
{
    return CountryRow{st.integer(0), st.text(1), st.text(2), st.boolean(3)};
}

std::expected<std::optional<CountryRow>, StoreError> firstRow(Statement& st)
{
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    return readRow(st);
}

std::expected<bool, StoreError> refersTo(const Database& db, const QString& table, qint64 id)
{
    auto st = db.prepare(u"SELECT COUNT(*) FROM "_s + table + u" WHERE CountryId=?1"_s);
    st.bind(1, id);
    auto found = st.scalar();
    if (!found)
        return std::unexpected(found.error());
    return *found > 0;
}

} // namespace

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

std::expected<std::vector<CountryRow>, StoreError> CountryTable::all() const
{
    auto st = m_db.prepare(u"SELECT "_s + kColumns + u" FROM Country ORDER BY CountryName, CountryId"_s);
    return st.collect(readRow);
}

std::expected<std::optional<CountryRow>, StoreError> CountryTable::row(qint64 id) const
{
    auto st = m_db.prepare(u"SELECT "_s + kColumns + u" FROM Country WHERE CountryId=?1"_s);
    st.bind(1, id);
    return firstRow(st);
}

std::expected<bool, StoreError> CountryTable::nameTaken(const QString& name, std::optional<qint64> except) const
{
    auto st = m_db.prepare(u"SELECT COUNT(*) FROM Country WHERE CountryName=?1 AND CountryId<>?2"_s);
    st.bind(1, name);
    st.bind(2, except.value_or(-1));
    auto found = st.scalar();
    if (!found)
        return std::unexpected(found.error());
    return *found > 0;
}

std::expected<std::optional<CountryRow>, StoreError> CountryTable::defaultCountry(std::optional<qint64> except) const
{
    auto st = m_db.prepare(u"SELECT "_s + kColumns +
                           u" FROM Country WHERE IsDefault<>0 AND CountryId<>?1 ORDER BY CountryId LIMIT 1"_s);
    st.bind(1, except.value_or(-1));
    return firstRow(st);
}

std::expected<qint64, StoreError> CountryTable::save(const CountryEdit& edit) const
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    if (edit.clearDefaultOf) {
        auto st = m_db.prepare(u"UPDATE Country SET IsDefault=0 WHERE CountryId=?1"_s);
        st.bind(1, *edit.clearDefaultOf);
        if (auto r = st.run(); !r)
            return std::unexpected(r.error());
    }
    qint64 id = 0;
    if (!edit.id) {
        auto st = m_db.prepare(u"INSERT INTO Country (CountryName, CountryCode, IsDefault) VALUES (?1, ?2, ?3)"_s);
        st.bind(1, edit.name);
        st.bind(2, edit.code);
        st.bind(3, edit.isDefault);
        if (auto r = st.run(); !r)
            return std::unexpected(r.error());
        id = m_db.lastInsertId();
    } else {
        auto st = m_db.prepare(u"UPDATE Country SET CountryName=?1, CountryCode=coalesce(?2, CountryCode), "
                               u"IsDefault=?3 WHERE CountryId=?4"_s);
        st.bind(1, edit.name);
        st.bind(2, edit.code);
        st.bind(3, edit.isDefault);
        st.bind(4, *edit.id);
        if (auto r = st.run(); !r)
            return std::unexpected(r.error());
        if (m_db.changes() == 0)
            return std::unexpected(StoreError{0, u"The country %1 no longer exists."_s.arg(*edit.id)});
        id = *edit.id;
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return id;
}

std::expected<QStringList, StoreError> CountryTable::removeUnlessInUse(const std::vector<qint64>& ids) const
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());
    std::vector<qint64> inUse;
    for (const qint64 id : ids) {
        for (const QString& table : {u"State"_s, u"UserDetails"_s}) {
            auto used = refersTo(m_db, table, id);
            if (!used)
                return std::unexpected(used.error());
            if (*used)
                inUse.push_back(id);
        }
        if (!inUse.empty())
            continue;
        auto st = m_db.prepare(u"DELETE FROM Country WHERE CountryId=?1"_s);
        st.bind(1, id);
        if (auto r = st.run(); !r)
            return std::unexpected(r.error());
    }
    QStringList names;
    for (const qint64 id : inUse) {
        auto country = row(id);
        if (!country)
            return std::unexpected(country.error());
        if (*country)
            names << (*country)->name;
    }
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());
    return names;
}

} // namespace store
