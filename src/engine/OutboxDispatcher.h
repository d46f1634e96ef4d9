#pragma once

#include "Clock.h"
#include "Database.h"
#include "GatewaySettings.h"
#include "OutboxTable.h"

#include <functional>
#include <optional>

namespace modem {
class AtLink;
class SimCommands;
} // namespace modem

namespace engine {

// A number that can be sent to: digits, with or without a leading "+".
bool isSendableNumber(const QString& number);

// The mixed-mode rule: n (the number without "+" and one leading "0") starting with one of the
// prefixes goes by `route`, every other number by the other route. Empty entries match nothing.
// The route for the number (None where the rule names none), and the matching prefix when one matched.
struct MixModeChoice
{
    store::MixModeRoute route = store::MixModeRoute::None; // None: no rule to follow
    std::optional<QString> matchedPrefix;
    QString comparedNumber;
};
MixModeChoice chooseMixModeRoute(const QString& number, const QStringList& prefixes, store::MixModeRoute route);

// Empties the outbox: every pending row is checked, routed (modem, SMTP gateway, or by number
// prefix), claimed, sent and booked SENT only when the modem or the server confirmed it. A row
// whose text went to the modem without a confirmation stays SENDING: it may have been sent, and
// only the operator can tell.
class OutboxDispatcher
{
public:
    struct Context
    {
        const store::Database& db;
        const store::Clock& clock;
        const store::GatewaySettings& settings;
        modem::AtLink& link;
        modem::SimCommands& sim;
        std::function<QString(const store::OutboxRow&)> sendEmail;
        std::function<void(const QString&)> log;
        std::function<void()> messagesSent;
        std::function<void(int)> pause; // milliseconds
        std::function<bool()> stopRequested;
    };

    explicit OutboxDispatcher(Context context) : m_context(std::move(context)) {}

    void SendOutboxMessages();

private:
    enum class Outcome
    {
        NotSent,
        Sent,
        Unconfirmed,
        Skipped
    };
    Outcome sendOne(const store::OutboxRow& row);
    Outcome sendThroughModem(const store::OutboxRow& row, const QString& number, const QString& text);
    bool canGoOn() const;

    Context m_context;
};

} // namespace engine
