#pragma once

#include "AutoReplyTable.h"
#include "Clock.h"
#include "Database.h"

#include <QDateTime>

#include <functional>
#include <optional>
#include <set>
#include <tuple>

namespace modem {
class AtLink;
class SimCommands;
class SoundPlayer;
} // namespace modem

namespace engine {

// The sender as the inbox keeps it: a short number, or a long one without "+" or "0" in
// front, gets a "+".
QString inboxSender(const QString& listedSender);

// The first command (in table order) that the message contains anywhere, letter case aside.
std::optional<store::AutoReplyRow> matchKeyword(const QString& messageText,
                                                const std::vector<store::AutoReplyRow>& rows);

// Moves every received SMS from the SIM into the inbox, deletes it from the SIM once it is
// stored, and queues the keyword reply it asks for.
class InboxReceiver
{
public:
    struct Context
    {
        const store::Database& db;
        const store::Clock& clock;
        modem::AtLink& link;
        modem::SimCommands& sim;
        modem::SoundPlayer& sounds;
        std::function<void(const QString&)> log;
        std::function<void(const QString&)> notice;
        std::function<void(qint64 id, const QString& sender, const QString& text, const QDateTime& when)> messageStored;
        std::function<void()> inboxChanged;
    };

    explicit InboxReceiver(Context context) : m_context(std::move(context)) {}

    void ReceiveSIMMessages(int waitMs);

private:
    void queueKeywordReply(const QString& sender, const QString& text, const QDateTime& now);

    Context m_context;
    // Stored in the inbox, but the SIM refused to delete it: not stored a second time.
    std::set<std::tuple<QString, QString, QString>> m_storedNotDeleted;
};

} // namespace engine
