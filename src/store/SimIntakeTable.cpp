#include "SimIntakeTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

std::expected<bool, StoreError> SimIntakeTable::isTaken(const SimMessageKey& key) const
{
    auto st = m_db.prepare(u"SELECT COUNT(*) FROM SIM_TakenMessages WHERE SimIndex=?1 AND TextDigest=?2"_s);
    st.bind(1, key.simIndex);
    st.bind(2, key.digest);
    auto count = st.scalar();
    if (!count)
        return std::unexpected(count.error());
    return *count > 0;
}

std::expected<void, StoreError> SimIntakeTable::recordTaken(const SimMessageKey& key, const QString& sender,
                                                            const QString& serviceCentreTime, const QDateTime& when)
{
    auto st = m_db.prepare(u"INSERT INTO SIM_TakenMessages (SimIndex, Sender, ServiceCentreTime, TextDigest, TakenOn) "
                           u"VALUES (?1, ?2, ?3, ?4, ?5)"_s);
    st.bind(1, key.simIndex);
    st.bind(2, sender);
    st.bind(3, serviceCentreTime);
    st.bind(4, key.digest);
    st.bind(5, isoText(when));
    return st.run();
}

std::expected<void, StoreError> SimIntakeTable::forgetTaken(const SimMessageKey& key)
{
    auto st = m_db.prepare(u"DELETE FROM SIM_TakenMessages WHERE SimIndex=?1 AND TextDigest=?2"_s);
    st.bind(1, key.simIndex);
    st.bind(2, key.digest);
    return st.run();
}

std::expected<void, StoreError> SimIntakeTable::addPart(const WaitingPart& part)
{
    auto st = m_db.prepare(u"INSERT OR IGNORE INTO SMS_PartsWaiting (Sender, Reference, Total, Sequence, Message, "
                           u"ServiceCentreTime, ReceivedOn) VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7)"_s);
    st.bind(1, part.sender);
    st.bind(2, part.reference);
    st.bind(3, part.total);
    st.bind(4, part.sequence);
    st.bind(5, part.message);
    st.bind(6, part.serviceCentreTime);
    st.bind(7, isoText(part.receivedOn));
    return st.run();
}

std::expected<std::vector<WaitingPart>, StoreError> SimIntakeTable::parts(const PartSet& set) const
{
    auto st = m_db.prepare(u"SELECT Sender, Reference, Total, Sequence, Message, ServiceCentreTime, ReceivedOn "
                           u"FROM SMS_PartsWaiting WHERE Sender=?1 AND Reference=?2 AND Total=?3 ORDER BY Sequence"_s);
    st.bind(1, set.sender);
    st.bind(2, set.reference);
    st.bind(3, set.total);
    return st.collect([](const Statement& row) {
        return WaitingPart{row.text(0),        int(row.integer(1)), int(row.integer(2)),   int(row.integer(3)),
                           row.text(4),        row.text(5),         fromIsoText(row.text(6))};
    });
}

std::expected<void, StoreError> SimIntakeTable::removeParts(const PartSet& set)
{
    auto st = m_db.prepare(u"DELETE FROM SMS_PartsWaiting WHERE Sender=?1 AND Reference=?2 AND Total=?3"_s);
    st.bind(1, set.sender);
    st.bind(2, set.reference);
    st.bind(3, set.total);
    return st.run();
}

std::expected<int, StoreError> SimIntakeTable::partsWaitHours() const
{
    auto hours =
        m_db.prepare(u"SELECT COALESCE(MAX(WaitHours), 24) FROM SMS_PartsWaitSetting"_s).scalar();
    if (!hours)
        return std::unexpected(hours.error());
    return int(std::clamp<qint64>(*hours, 1, 24 * 365));
}

std::expected<std::vector<PartSet>, StoreError> SimIntakeTable::setsWaitingSince(const QDateTime& before) const
{
    auto st = m_db.prepare(u"SELECT Sender, Reference, Total FROM SMS_PartsWaiting GROUP BY Sender, Reference, Total "
                           u"HAVING MIN(ReceivedOn) < ?1 ORDER BY MIN(Part_Id)"_s);
    st.bind(1, isoText(before));
    return st.collect(
        [](const Statement& row) { return PartSet{row.text(0), int(row.integer(1)), int(row.integer(2))}; });
}

} // namespace store
