#pragma once

#include "Database.h"

namespace store {

// Country: dialling codes, used to tell a caller's country.
class CountryTable
{
public:
    explicit CountryTable(const Database& db) : m_db(db) {}

    std::expected<qint64, StoreError> count() const;
    // The dialling code stored for a country name; Null when there is none.
    std::expected<QString, StoreError> codeOf(const QString& countryName) const;

private:
    const Database& m_db;
};

} // namespace store
