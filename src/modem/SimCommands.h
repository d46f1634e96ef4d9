#pragma once

#include "AtParsers.h"

#include <QString>

#include <functional>

namespace modem {

class AtLink;

// The SIM's messages through the modem in text mode: listing, deleting, sending directly or
// storing and sending from the SIM.
class SimCommands
{
public:
    // delayFactor is read at every call, so a changed setting applies at once.
    SimCommands(AtLink& link, std::function<double()> delayFactor);

    // Fills the listing; on failure, or while a call is in progress, the listing keeps its
    // previous entries and SimMessageCount becomes 0.
    void ListSimMessages(const QString& status, int waitMs);
    void DeleteSimMessagesByStatus(const QString& status);
    QString DeleteSimMessage(int index);
    QString StoreSimMessage(const QString& number, const QString& text);
    QString SendStoredMessage(int index);

    // Both sends tell a confirmed send from anything else: sent() is true only when the modem
    // confirmed every part (+CMGS or +CMSS, then OK).
    struct SendResult
    {
        QString answer; // as the callers have always read it: "OK", "ERROR", empty or the modem's text
        bool sent = false;
    };
    SendResult SendMessageStoreAndDeliver(const QString& number, const QString& text);
    SendResult SendMessageDirect(const QString& number, const QString& text);

    // The call state ("Active", "Incoming", ..., "ERROR" or the plain answer).
    QString GetCallState();

    const SimListing& listing() const { return m_listing; }
    int SimMessageCount = 0;

private:
    int wait(double multiplierMs) const;
    bool canSend() const;

    AtLink& m_link;
    std::function<double()> m_delayFactor;
    SimListing m_listing;
};

} // namespace modem
