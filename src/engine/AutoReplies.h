#pragma once

#include "AutoReplyTable.h"
#include "Database.h"

#include <QDateTime>

#include <functional>
#include <optional>

namespace engine {

// The first command (in table order) that the message contains anywhere, letter case aside, blanks
// and all.
std::optional<store::AutoReplyRow> matchKeyword(const QString& messageText,
                                                const std::vector<store::AutoReplyRow>& rows);

// The gateway's two automatic answers, queued into the outbox like any message: the reply to
// a received SMS that holds a keyword, and the reply to a missed call. Both write in the
// caller's transaction, if there is one.
class AutoReplies
{
public:
    AutoReplies(const store::Database& db, std::function<void(const QString&)> log)
        : m_db(db), m_log(std::move(log))
    {
    }

    // The keyword tables are read afresh each time, so a change applies to the next SMS.
    // Returns whether a reply was queued.
    std::expected<bool, store::StoreError> queueKeywordReply(const QString& sender, const QString& text,
                                                             const QDateTime& now);
    std::expected<void, store::StoreError> queueMissedCallReply(const QString& caller, const QString& text,
                                                                const QDateTime& now);

private:
    const store::Database& m_db;
    std::function<void(const QString&)> m_log;
};

} // namespace engine
