#include "InboxReceiver.h"

#include "AtLink.h"
#include "GatewaySettings.h"
#include "InboxTable.h"
#include "OutboxTable.h"
#include "SimCommands.h"
#include "SoundPlayer.h"

using namespace Qt::StringLiterals;

namespace engine {

QString inboxSender(const QString& listedSender)
{
    const QString sender = listedSender.trimmed();
    if (sender.size() > 10 && (sender.startsWith(u'+') || sender.startsWith(u'0')))
        return sender;
    return u"+"_s + sender;
}

std::optional<store::AutoReplyRow> matchKeyword(const QString& messageText,
                                                const std::vector<store::AutoReplyRow>& rows)
{
    QString text = messageText.trimmed();
    text.remove(u"\r\n"_s);
    text.remove(u'\r');
    text = text.toUpper().trimmed();
    for (const store::AutoReplyRow& row : rows) {
        const QString command = row.command.trimmed().toUpper();
        // An empty command would answer every message.
        if (!command.isEmpty() && text.contains(command))
            return row;
    }
    return std::nullopt;
}

void InboxReceiver::ReceiveSIMMessages(int waitMs)
{
    modem::AtLink& link = m_context.link;
    if (!link.ModemConnected) {
        m_context.notice(u"Computer is not communicating with the modem. Please select the option 'Listen To Modem' "
                         u"before executing any modem commands."_s);
        return;
    }
    m_context.sim.SimMessageCount = 0;
    if (!link.ModemBusy) {
        link.ReceiveInProgress = true;
        m_context.sim.ListSimMessages(u"ALL"_s, waitMs);
        link.ReceiveInProgress = false;
    }
    const int count = m_context.sim.SimMessageCount;
    if (count == 0) {
        m_context.log(u"No new SMS found."_s);
        return;
    }
    m_context.log(u"Total "_s + QString::number(count) + u" new SMS found."_s);

    const modem::SimListing listing = m_context.sim.listing();
    bool handledAny = false;
    for (int i = 0; i < count; ++i) {
        const QString& status = listing.status.at(i);
        if (status != u"REC READ"_s && status != u"REC UNREAD"_s)
            continue; // stored outgoing messages are not ours to take
        const QString sender = inboxSender(listing.sender.at(i));
        const QString& text = listing.text.at(i);
        const auto key = std::make_tuple(listing.index.at(i).trimmed(), sender, text);

        if (!m_storedNotDeleted.contains(key)) {
            m_context.log(u"Retrieving SMS No. "_s + QString::number(i + 1));
            const QDateTime now = m_context.clock.now();
            auto stored = store::InboxTable(m_context.db).insert(sender, text, now);
            if (!stored) {
                // Not stored, so it stays on the SIM for the next run.
                m_context.log(
                    u"**ERROR** The SMS from %1 could not be stored: %2"_s.arg(sender, stored.error().message));
                break;
            }
            handledAny = true;
            m_context.messageStored(*stored, sender, text, now);
            m_context.sounds.PlayWaveFile(u"SMSNotify.wav"_s);
            queueKeywordReply(sender, text, now);
        }

        // Deleted only now that the inbox row is committed.
        m_context.log(u"Deleting SMS No. "_s + QString::number(i + 1) + u" from the SIM card."_s);
        bool isNumber = false;
        const int index = listing.index.at(i).trimmed().toShort(&isNumber);
        const QString answer = isNumber ? m_context.sim.DeleteSimMessage(index) : QString();
        if (!isNumber || !link.LastCommandSucceeded || !answer.contains(u"OK"_s)) {
            m_storedNotDeleted.insert(key);
            m_context.log(u"**ERROR** SMS No. %1 could not be deleted from the SIM card; it stays there and is not "
                          u"stored again."_s.arg(i + 1));
            break;
        }
        m_storedNotDeleted.erase(key);
    }
    if (handledAny)
        m_context.inboxChanged();
}

void InboxReceiver::queueKeywordReply(const QString& sender, const QString& text, const QDateTime& now)
{
    store::AutoReplyTable replies(m_context.db);
    auto on = replies.isSwitchedOn();
    if (!on || !*on)
        return;
    auto rows = replies.all();
    if (!rows)
        return;
    const auto match = matchKeyword(text, *rows);
    if (!match)
        return;
    m_context.log(u"Sending AutoReply to SMS."_s);
    if (auto queued = store::OutboxTable(m_context.db).insert(sender, store::trimBlanks(match->reply), now); !queued)
        m_context.log(u"**ERROR** The reply to %1 could not be queued: %2"_s.arg(sender, queued.error().message));
}

} // namespace engine
