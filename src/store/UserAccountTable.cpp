#include "UserAccountTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

namespace {

const QString kColumns =
    u"UserId, SMSUserName, SMSPassword, SMSFromName, SMSBalanceCredits, SMSBalanceCreditsUpdatedOn"_s;

std::expected<std::optional<UserAccountRow>, StoreError> firstRow(Statement& st)
{
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::nullopt;
    UserAccountRow row{st.integer(0), st.text(1), st.text(2), st.text(3), std::nullopt, st.text(5)};
    if (!st.isNull(4))
        row.balanceCredits = st.integer(4);
    return row;
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
