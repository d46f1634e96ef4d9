#pragma once

#include "Database.h"

#include <QDateTime>

#include <vector>

namespace store {

// A SIM message known by its slot and a digest of what the modem listed there.
struct SimMessageKey
{
    int simIndex = 0;
    QString digest;
};

// One part of a concatenated SMS waiting for the rest of its set.
struct WaitingPart
{
    QString sender;
    int reference = 0;
    int total = 0;
    int sequence = 0;
    QString message;
    QString serviceCentreTime; // ISO text
    QDateTime receivedOn;
};

// A set of parts, named by sender, reference and size.
struct PartSet
{
    QString sender;
    int reference = 0;
    int total = 0;
};

// What the receiver has taken from the SIM (SIM_TakenMessages) and the parts of long SMS that
// wait for the rest (SMS_PartsWaiting). Both are written in the same transaction as the inbox
// row, so a message is stored exactly once even when the program ends between storing it and
// deleting it from the SIM.
class SimIntakeTable
{
public:
    explicit SimIntakeTable(const Database& db) : m_db(db) {}

    std::expected<bool, StoreError> isTaken(const SimMessageKey& key) const;
    std::expected<void, StoreError> recordTaken(const SimMessageKey& key, const QString& sender,
                                                const QString& serviceCentreTime, const QDateTime& when);
    // The SIM confirmed the delete: the record has done its work.
    std::expected<void, StoreError> forgetTaken(const SimMessageKey& key);

    // A part that is already waiting is not added twice.
    std::expected<void, StoreError> addPart(const WaitingPart& part);
    // The parts of the set in order of their sequence number.
    std::expected<std::vector<WaitingPart>, StoreError> parts(const PartSet& set) const;
    std::expected<void, StoreError> removeParts(const PartSet& set);
    // How long a set may wait for its missing parts (SMS_PartsWaitSetting.WaitHours, 24 unless an
    // administrator changed it in the store); never less than an hour.
    std::expected<int, StoreError> partsWaitHours() const;
    // Sets whose first part arrived before the given time.
    std::expected<std::vector<PartSet>, StoreError> setsWaitingSince(const QDateTime& before) const;

private:
    const Database& m_db;
};

} // namespace store
