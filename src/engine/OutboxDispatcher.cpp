#include "OutboxDispatcher.h"

#include "AtLink.h"
#include "SimCommands.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace engine {

namespace {

using store::DeliveryMedia;
using store::MixModeRoute;
using store::SimDeliveryMode;
const QString kNotCommunicating = u"Computer is not communicating with the modem. Please select the option 'Listen To "
                                  u"Modem' before executing any modem commands."_s;

} // namespace

bool isSendableNumber(const QString& number)
{
    return store::isSendableNumber(number.trimmed());
}

MixModeChoice chooseMixModeRoute(const QString& number, const QStringList& prefixes, MixModeRoute route)
{
    MixModeChoice choice;
    QString n = number.trimmed();
    n.remove(u'+');
    if (n.startsWith(u'0'))
        n.remove(0, 1);
    choice.comparedNumber = n;
    if (route == MixModeRoute::None)
        return choice;
    for (const QString& prefix : prefixes) {
        // An empty entry (from "98,,97" or a trailing comma) would match every number.
        if (!prefix.isEmpty() && n.startsWith(prefix)) {
            choice.route = route;
            choice.matchedPrefix = prefix;
            return choice;
        }
    }
    choice.route = route == MixModeRoute::Modem ? MixModeRoute::SmtpGateway : MixModeRoute::Modem;
    return choice;
}

bool OutboxDispatcher::canGoOn() const
{
    return store::sendsWithoutModem(m_context.settings.deliveryMedia) || m_context.link.isConnected();
}

void OutboxDispatcher::SendOutboxMessages()
{
    store::OutboxTable outbox(m_context.db);
    auto snapshot = outbox.pendingSnapshot();
    if (!snapshot) {
        m_context.log(u"**ERROR** "_s + snapshot.error().message);
        return;
    }
    m_context.log(u"Total "_s + QString::number(snapshot->size()) + u" SMS to be sent."_s);
    if (snapshot->empty())
        return;
    if (!canGoOn()) {
        m_context.log(kNotCommunicating);
        return;
    }

    bool lastSent = false;
    for (const store::OutboxRow& row : *snapshot) {
        // The modem went away, or the program is ending: the rest waits for the next run.
        if (!canGoOn() || (m_context.stopRequested && m_context.stopRequested()))
            break;
        const Outcome outcome = sendOne(row);
        if (outcome != Outcome::Skipped)
            lastSent = outcome == Outcome::Sent;
    }
    if (lastSent)
        m_context.messagesSent();
}

OutboxDispatcher::Outcome OutboxDispatcher::sendThroughModem(const store::OutboxRow& row, const QString& number,
                                                             const QString& text)
{
    const store::GatewaySettings& settings = m_context.settings;
    const bool stored = settings.simDeliveryMode == SimDeliveryMode::StoreAndDeliver;
    m_context.log(u"Sending SMS to "_s + row.recipient + u" using GSM modem and method - "_s +
                  (stored ? u"STORE & DELIVER."_s : u"DIRECT DELIVERY."_s));
    store::OutboxTable outbox(m_context.db);
    modem::SendControl control;
    control.firstPart = row.partsConfirmed;
    control.stopRequested = m_context.stopRequested;
    control.partConfirmed = [&](int parts) {
        // Remembered at once: a retry after a refused or doubtful later part starts after it.
        if (auto r = outbox.setPartsConfirmed(row.id, parts); !r)
            m_context.log(u"**ERROR** "_s + r.error().message);
    };
    const modem::SendResult result = stored ? m_context.sim.SendMessageStoreAndDeliver(number, text, control)
                                            : m_context.sim.SendMessageDirect(number, text, control);
    switch (result.outcome) {
    case modem::SendOutcome::Sent:
        return Outcome::Sent;
    case modem::SendOutcome::NotSent:
        return Outcome::NotSent;
    case modem::SendOutcome::Unconfirmed:
        break;
    }
    m_context.log(u"**WARNING** The modem did not confirm the SMS to %1 (answer '%2'). It may have been sent, so it "
                  u"stays 'SENDING' and is not sent again by itself; reset its status in the settings to send it "
                  u"again."_s.arg(row.recipient, modem::withoutCrLf(result.answer)));
    return Outcome::Unconfirmed;
}

OutboxDispatcher::Outcome OutboxDispatcher::sendOne(const store::OutboxRow& row)
{
    store::OutboxTable outbox(m_context.db);
    const QString number = row.recipient.trimmed();
    if (!isSendableNumber(number)) {
        // Never retried; also a "+" followed by something that is no number.
        if (auto r = outbox.markFaultyNumber(row.id); !r)
            m_context.log(u"**ERROR** "_s + r.error().message);
        return Outcome::Skipped;
    }
    const QString text = store::trimBlanks(row.message);
    const store::GatewaySettings& settings = m_context.settings;
    const DeliveryMedia media = settings.deliveryMedia;

    MixModeRoute route = MixModeRoute::None;
    if (media == DeliveryMedia::MixMode && !settings.MixModeMobileNumbers.trimmed().isEmpty()) {
        MixModeChoice choice = chooseMixModeRoute(number, settings.MixModePrefixes, settings.mixModeRoute);
        m_context.log(u"Checking the rules for MIX-MODE SMS delivery for number: "_s + choice.comparedNumber + u"."_s);
        if (choice.matchedPrefix)
            m_context.log(u"Rule matched! Number is starting with '"_s + *choice.matchedPrefix + u"'"_s);
        route = choice.route;
    }

    bool sent = false;
    bool claimed = false;
    // Taken before it goes out, so a second run, or a second gateway on the same store,
    // never sends it again; a row someone else took is left to them.
    const auto claim = [&]() -> bool {
        auto taken = outbox.claim(row.id);
        if (!taken) {
            m_context.log(u"**ERROR** "_s + taken.error().message);
            return false;
        }
        claimed = *taken;
        return claimed;
    };

    if (media == DeliveryMedia::Modem || route == MixModeRoute::Modem) {
        if (!m_context.link.isConnected()) {
            m_context.log(kNotCommunicating);
        } else if (settings.simDeliveryMode != SimDeliveryMode::None) {
            if (!claim())
                return Outcome::Skipped;
            const Outcome outcome = sendThroughModem(row, number, text);
            if (outcome == Outcome::Unconfirmed)
                return outcome;
            sent = outcome == Outcome::Sent;
        }
    } else if (media == DeliveryMedia::SmtpGateway || route == MixModeRoute::SmtpGateway) {
        if (!claim())
            return Outcome::Skipped;
        const QString error = m_context.sendEmail(row);
        if (error.isEmpty())
            sent = true;
        else
            m_context.log(u"**ERROR** SMS delivery failed. "_s + error);
    }

    if (sent) {
        m_context.log(u"SMS sent successfully. Now removing it from outbox."_s);
        if (auto r = outbox.bookSent(row.id, m_context.clock.now()); !r)
            m_context.log(u"**ERROR** The sent SMS could not be booked: "_s + r.error().message);
        m_context.messagesSent();
        m_context.pause(100);
        return Outcome::Sent;
    }
    m_context.log(u"**ERROR** SMS could not be sent to "_s + row.recipient +
                  u" (Possible Reasons: 1> Phone out of coverage area   2> No balance credit on your SIM   3> Problem "
                  u"connecting to remote SMS SMTP server.)"_s);
    // Only a row this run took goes back; an untaken one is still pending, or someone else's.
    if (claimed) {
        if (auto r = outbox.releaseToPending(row.id); !r)
            m_context.log(u"**ERROR** "_s + r.error().message);
    }
    return Outcome::NotSent;
}

} // namespace engine
