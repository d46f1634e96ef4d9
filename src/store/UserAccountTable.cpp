#include "UserAccountTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

namespace {

const QString kColumns =
    u"UserId, SMSUserName, SMSPassword, SMSFromName, SMSBalanceCredits, SMSBalanceCreditsUpdatedOn"_s;

UserAccountRow readRow(const Statement& st)
{
    UserAccountRow row{st.integer(0), st.text(1), st.text(2), st.text(3), std::nullopt, st.text(5)};
    if (!st.isNull(4))
        row.balanceCredits = st.integer(4);
    return row;
}

std::expected<std::optional<UserAccountRow>, StoreError> firstRow(Statement& st)
{
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    return readRow(st);
}

} // namespace

std::expected<std::optional<UserAccountRow>, StoreError> UserAccountTable::findByLogin(const QString& userName,
                                                                                       const QString& password) const
{
    auto st = m_db.prepare(u"SELECT "_s + kColumns +
                           u" FROM SMS_UserAccounts WHERE SMSUserName=?1 AND SMSPassword=?2 ORDER BY UserId LIMIT 1"_s);
    st.bind(1, userName);
    st.bind(2, password);
    return firstRow(st);
}

std::expected<std::optional<UserAccountRow>, StoreError> UserAccountTable::row(qint64 userId) const
{
    auto st = m_db.prepare(u"SELECT "_s + kColumns + u" FROM SMS_UserAccounts WHERE UserId=?1"_s);
    st.bind(1, userId);
    return firstRow(st);
}

std::expected<std::vector<UserAccountRow>, StoreError> UserAccountTable::all() const
{
    auto st = m_db.prepare(u"SELECT "_s + kColumns + u" FROM SMS_UserAccounts ORDER BY UserId"_s);
    return st.collect(readRow);
}

std::expected<bool, StoreError> UserAccountTable::nameTaken(const QString& userName, std::optional<qint64> except) const
{
    auto st = m_db.prepare(u"SELECT COUNT(*) FROM SMS_UserAccounts WHERE SMSUserName=?1 AND UserId<>?2"_s);
    st.bind(1, userName);
    st.bind(2, except.value_or(-1));
    auto found = st.scalar();
    if (!found)
        return std::unexpected(found.error());
    return *found > 0;
}

std::expected<void, StoreError> UserAccountTable::update(qint64 userId, const QString& userName,
                                                         const QString& password, const QString& fromName,
                                                         qint64 balanceCredits) const
{
    auto st = m_db.prepare(u"UPDATE SMS_UserAccounts SET SMSUserName=?1, SMSPassword=?2, SMSFromName=?3, "
                           u"SMSBalanceCredits=?4 WHERE UserId=?5"_s);
    st.bind(1, userName);
    st.bind(2, password);
    st.bind(3, fromName);
    st.bind(4, balanceCredits);
    st.bind(5, userId);
    if (auto r = st.run(); !r)
        return r;
    if (m_db.changes() == 0)
        return std::unexpected(StoreError{0, u"The SMS user account %1 no longer exists."_s.arg(userId)});
    return {};
}

std::expected<void, StoreError> UserAccountTable::remove(const std::vector<qint64>& userIds) const
{
    Transaction transaction(m_db);
    if (!transaction.started())
        return transaction.started();
    auto st = m_db.prepare(u"DELETE FROM SMS_UserAccounts WHERE UserId=?1"_s);
    for (const qint64 id : userIds) {
        st.bind(1, id);
        if (auto r = st.run(); !r)
            return r;
    }
    return transaction.commit();
}

std::expected<qint64, StoreError> UserAccountTable::insert(const QString& userName, const QString& password,
                                                           const QString& fromName,
                                                           std::optional<qint64> balanceCredits) const
{
    auto st = m_db.prepare(u"INSERT INTO SMS_UserAccounts (SMSUserName, SMSPassword, SMSFromName, SMSBalanceCredits) "
                           u"VALUES (?1, ?2, ?3, ?4)"_s);
    st.bind(1, userName);
    st.bind(2, password);
    st.bind(3, fromName);
    if (balanceCredits)
        st.bind(4, *balanceCredits);
    else
        st.bindNull(4);
    if (auto r = st.run(); !r)
        return std::unexpected(r.error());
    return m_db.lastInsertId();
}

std::expected<void, StoreError> UserAccountTable::setBalance(qint64 userId, qint64 credits, const QDateTime& when) const
{
    auto st = m_db.prepare(u"UPDATE SMS_UserAccounts SET SMSBalanceCredits=?1, SMSBalanceCreditsUpdatedOn=?2 "
                           u"WHERE UserId=?3"_s);
    st.bind(1, credits);
    st.bind(2, isoText(when));
    st.bind(3, userId);
    if (auto r = st.run(); !r)
        return r;
    if (m_db.changes() == 0)
        return std::unexpected(StoreError{0, u"user account %1 does not exist"_s.arg(userId)});
    return {};
}

} // namespace store
