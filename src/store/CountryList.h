#pragma once
#include <QString>
#include <vector>
namespace store {
struct CountryEntry
{
    QString name;
    QString code;
};
const std::vector<CountryEntry>& worldCountries();
} // namespace store
