#pragma once

#include "Database.h"

#include <optional>
#include <vector>

namespace store {

struct CountryRow
{
    qint64 id = 0;
    QString name;
    QString code; // Null when the country has none
    bool isDefault = false;
};

// A country as the operator saves it.
struct CountryEdit
{
    std::optional<qint64> id; // none: a new country
    QString name;
    QString code; // a null code leaves the stored one as it is (Null for a new country)
    bool isDefault = false;
    // The country that loses its default mark in the same step, so that two never carry it.
    std::optional<qint64> clearDefaultOf;
};

// Country: dialling codes, used to tell a caller's country.
class CountryTable
{
public:
    explicit CountryTable(const Database& db) : m_db(db) {}

    std::expected<qint64, StoreError> count() const;
    // The dialling code stored for a country name; Null when there is none.
    std::expected<QString, StoreError> codeOf(const QString& countryName) const;

    // Every country, by name.
    std::expected<std::vector<CountryRow>, StoreError> all() const;
    std::expected<std::optional<CountryRow>, StoreError> row(qint64 id) const;
    // Whether another country (not `except`) has this name, compared as the store compares text.
    std::expected<bool, StoreError> nameTaken(const QString& name, std::optional<qint64> except) const;
    // The country other than `except` that carries the default mark.
    std::expected<std::optional<CountryRow>, StoreError> defaultCountry(std::optional<qint64> except) const;
    // Adds or changes a country; returns its id. Fails, changing nothing, when the country to
    // change is gone.
    std::expected<qint64, StoreError> save(const CountryEdit& edit) const;

    // Deletes the countries in order until one is found that a State or UserDetails row refers
    // to; from then on nothing more is deleted. Returns the names of those found in use, once
    // per table that uses them. A failure deletes none.
    std::expected<QStringList, StoreError> removeUnlessInUse(const std::vector<qint64>& ids) const;

private:
    const Database& m_db;
};

} // namespace store
