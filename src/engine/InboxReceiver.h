#pragma once

#include "AutoReplies.h"
#include "Clock.h"
#include "Database.h"
#include "SimIntakeTable.h"

#include <QDateTime>

#include <functional>
#include <optional>

namespace modem {
class AtLink;
class SimCommands;
struct SimEntry;
} // namespace modem

namespace engine {

class SoundPlayer;

// The sender as the inbox keeps it: one that already starts with "+" and a name (a bank, a
// carrier) stay as they came; a short number, or a long one without "0" in front, gets a "+".
QString inboxSender(const QString& listedSender);
// A name rather than a number: nothing can be sent back to it.
bool isAlphanumericSender(const QString& sender);

// The text of a set of parts, each missing part marked in its place.
QString joinParts(const std::vector<store::WaitingPart>& parts, int total);

// Moves every received SMS from the SIM into the inbox exactly once: the inbox row, its
// keyword reply and a record of what was taken from the SIM commit together before the SIM
// delete, so a run that ends between the two neither loses nor repeats a message. Parts of a
// long SMS wait until their set is whole.
class InboxReceiver
{
public:
    struct Context
    {
        const store::Database& db;
        const store::Clock& clock;
        modem::AtLink& link;
        modem::SimCommands& sim;
        SoundPlayer& sounds;
        AutoReplies& replies;
        std::function<void(const QString&)> log;
        std::function<void(const QString&)> notice;
        std::function<void(qint64 id, const QString& sender, const QString& text, const QDateTime& when)> messageStored;
        std::function<void()> inboxChanged;
        std::function<void()> callInProgress;
    };

    explicit InboxReceiver(Context context) : m_context(std::move(context)) {}

    void ReceiveSIMMessages(int waitMs);

private:
    // Stores one listed message (or its part); false when the store refused.
    bool take(const modem::SimEntry& entry, const store::SimMessageKey& key, bool& stored);
    // Inbox row and keyword reply, inside the caller's transaction.
    std::expected<qint64, store::StoreError> storeInInbox(const QString& sender, const QString& text,
                                                          const QDateTime& now);
    bool storeOverdueParts();
    void announce(qint64 id, const QString& sender, const QString& text, const QDateTime& when);

    Context m_context;
};

} // namespace engine
