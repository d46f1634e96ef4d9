#pragma once

#include "Database.h"

#include <QDateTime>

#include <optional>
#include <vector>

namespace store {

struct UserAccountRow
{
    qint64 userId = 0;
    QString userName;
    QString password;
    QString fromName;                     // Null when the account has none
    std::optional<qint64> balanceCredits; // Null for an account that was never given credits
    QString balanceUpdatedOn;             // ISO text; Null until the balance is first written
};

// SMS_UserAccounts: the accounts that may send SMS by e-mail, each with its credit balance.
class UserAccountTable
{
public:
    explicit UserAccountTable(const Database& db) : m_db(db) {}

    // Names and passwords compare as the store compares text: exactly, case included. Of
    // several matching accounts the oldest wins, so the answer does not depend on the index.
    std::expected<std::optional<UserAccountRow>, StoreError> findByLogin(const QString& userName,
                                                                         const QString& password) const;
    std::expected<std::optional<UserAccountRow>, StoreError> row(qint64 userId) const;
    // Every account, oldest first.
    std::expected<std::vector<UserAccountRow>, StoreError> all() const;
    // Whether an account other than `except` has this user name, compared as the logins are.
    std::expected<bool, StoreError> nameTaken(const QString& userName, std::optional<qint64> except) const;

    // A null fromName or no balance is stored as Null.
    std::expected<qint64, StoreError> insert(const QString& userName, const QString& password, const QString& fromName,
                                             std::optional<qint64> balanceCredits) const;
    // The account's name, password, from-name and balance; the balance date is the charge's.
    // Fails, changing nothing, when the account is gone.
    std::expected<void, StoreError> update(qint64 userId, const QString& userName, const QString& password,
                                           const QString& fromName, qint64 balanceCredits) const;
    // All of them or, on a failure, none.
    std::expected<void, StoreError> remove(const std::vector<qint64>& userIds) const;
    // Fails when the account does not exist, so a charge is never silently lost.
    std::expected<void, StoreError> setBalance(qint64 userId, qint64 credits, const QDateTime& when) const;

private:
    const Database& m_db;
};

} // namespace store
