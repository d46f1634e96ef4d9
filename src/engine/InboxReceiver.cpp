#include "InboxReceiver.h"

#include "AtLink.h"
#include "DateText.h"
#include "GatewaySettings.h"
#include "InboxTable.h"
#include "OutboxDispatcher.h"
#include "OutboxTable.h"
#include "SimCommands.h"
#include "SoundPlayer.h"

#include <QCryptographicHash>

using namespace Qt::StringLiterals;

namespace engine {

namespace {

QString digestOf(const QString& pdu)
{
    return QString::fromLatin1(
        QCryptographicHash::hash(pdu.trimmed().toUpper().toLatin1(), QCryptographicHash::Sha1).toHex());
}

} // namespace

bool isAlphanumericSender(const QString& sender)
{
    const QString text = sender.trimmed();
    const QStringView digits = text.startsWith(u'+') ? QStringView(text).mid(1) : QStringView(text);
    return std::ranges::any_of(digits, [](QChar c) { return !c.isDigit(); });
}

QString inboxSender(const QString& listedSender)
{
    const QString sender = listedSender.trimmed();
    if (sender.startsWith(u'+') || isAlphanumericSender(sender))
        return sender;
    if (sender.size() > 10 && sender.startsWith(u'0'))
        return sender;
    return u"+"_s + sender;
}

QString joinParts(const std::vector<store::WaitingPart>& parts, int total)
{
    QString text;
    auto next = parts.begin();
    for (int sequence = 1; sequence <= total; ++sequence) {
        while (next != parts.end() && next->sequence < sequence)
            ++next;
        if (next != parts.end() && next->sequence == sequence)
            text += next->message;
        else
            text += u"[part %1 of %2 missing]"_s.arg(sequence).arg(total);
    }
    return text;
}

void InboxReceiver::ReceiveSIMMessages(int waitMs)
{
    modem::AtLink& link = m_context.link;
    if (!link.isConnected()) {
        m_context.notice(u"Computer is not communicating with the modem. Please select the option 'Listen To Modem' "
                         u"before executing any modem commands."_s);
        return;
    }
    const modem::SimListing listing = m_context.sim.ListSimMessages(u"ALL"_s, waitMs);
    if (listing.callInProgress && m_context.callInProgress)
        m_context.callInProgress();
    for (const QString& problem : listing.problems)
        m_context.log(u"**WARNING** The SIM listing held something that is no message, left alone: "_s + problem);

    bool storedAny = storeOverdueParts();
    const int count = listing.count();
    if (count == 0) {
        m_context.log(u"No new SMS found."_s);
        if (storedAny)
            m_context.inboxChanged();
        return;
    }
    m_context.log(u"Total "_s + QString::number(count) + u" new SMS found."_s);

    store::SimIntakeTable intake(m_context.db);
    for (int i = 0; i < count; ++i) {
        const modem::SimEntry& entry = listing.entries.at(size_t(i));
        if (entry.status != 0 && entry.status != 1)
            continue; // stored outgoing messages are not ours to take
        if (!entry.message || entry.message->kind != modem::SmsPdu::Kind::Deliver) {
            m_context.log(u"**WARNING** SMS No. %1 in SIM slot %2 could not be read (%3); it stays on the SIM."_s.arg(
                i + 1)
                              .arg(entry.index)
                              .arg(entry.problem.isEmpty() ? u"not a received message"_s : entry.problem));
            continue;
        }
        const store::SimMessageKey key{entry.index, digestOf(entry.pdu)};
        auto taken = intake.isTaken(key);
        if (!taken) {
            m_context.log(u"**ERROR** "_s + taken.error().message);
            break;
        }
        if (!*taken) {
            m_context.log(u"Retrieving SMS No. "_s + QString::number(i + 1));
            bool stored = false;
            if (!take(entry, key, stored))
                break; // not stored, so it stays on the SIM for the next run
            storedAny = storedAny || stored;
        }

        // Deleted only now that what it brought is committed.
        m_context.log(u"Deleting SMS No. "_s + QString::number(i + 1) + u" from the SIM card."_s);
        if (m_context.sim.DeleteSimMessage(entry.index)) {
            if (auto r = intake.forgetTaken(key); !r)
                m_context.log(u"**ERROR** "_s + r.error().message);
        } else {
            m_context.log(u"**ERROR** SMS No. %1 could not be deleted from the SIM card; it stays there and is not "
                          u"stored again."_s.arg(i + 1));
        }
    }
    if (storedAny)
        m_context.inboxChanged();
}

bool InboxReceiver::take(const modem::SimEntry& entry, const store::SimMessageKey& key, bool& stored)
{
    const modem::SmsPdu& message = *entry.message;
    const QString sender = inboxSender(message.address);
    const QString sentAt = message.serviceCentreTime.isValid() ? store::isoText(message.serviceCentreTime) : QString();
    const QDateTime now = m_context.clock.now();
    store::SimIntakeTable intake(m_context.db);

    const auto failed = [&](const store::StoreError& error) {
        m_context.log(u"**ERROR** The SMS from %1 could not be stored: %2"_s.arg(sender, error.message));
        return false;
    };

    store::Transaction transaction(m_context.db);
    if (!transaction.started())
        return failed(transaction.started().error());
    QString text = message.text;
    bool whole = true;
    if (message.concat && message.concat->total > 1) {
        const store::PartSet set{sender, message.concat->reference, message.concat->total};
        if (auto r = intake.addPart({sender, set.reference, set.total, message.concat->sequence, message.text, sentAt,
                                     now});
            !r)
            return failed(r.error());
        auto parts = intake.parts(set);
        if (!parts)
            return failed(parts.error());
        whole = int(parts->size()) >= set.total;
        if (whole) {
            text = joinParts(*parts, set.total);
            if (auto r = intake.removeParts(set); !r)
                return failed(r.error());
        }
    }
    qint64 id = 0;
    if (whole) {
        auto inserted = storeInInbox(sender, text, now);
        if (!inserted)
            return failed(inserted.error());
        id = *inserted;
    }
    if (auto r = intake.recordTaken(key, sender, sentAt, now); !r)
        return failed(r.error());
    if (auto r = transaction.commit(); !r)
        return failed(r.error());
    if (whole)
        announce(id, sender, text, now);
    stored = whole;
    return true;
}

std::expected<qint64, store::StoreError> InboxReceiver::storeInInbox(const QString& sender, const QString& text,
                                                                     const QDateTime& now)
{
    auto stored = store::InboxTable(m_context.db).insert(sender, text, now);
    if (!stored)
        return stored;
    // A name cannot be answered; a reply to it would fail on every send run.
    if (isAlphanumericSender(sender) || !isSendableNumber(sender))
        return stored;
    if (auto replied = m_context.replies.queueKeywordReply(sender, text, now); !replied)
        return std::unexpected(replied.error());
    return stored;
}

bool InboxReceiver::storeOverdueParts()
{
    store::SimIntakeTable intake(m_context.db);
    const QDateTime now = m_context.clock.now();
    // Read at every run, so a changed wait applies at once.
    const int waitHours = intake.partsWaitHours().value_or(24);
    auto sets = intake.setsWaitingSince(now.addSecs(-qint64(waitHours) * 3600));
    if (!sets) {
        m_context.log(u"**ERROR** "_s + sets.error().message);
        return false;
    }
    bool storedAny = false;
    for (const store::PartSet& set : *sets) {
        store::Transaction transaction(m_context.db);
        auto parts = intake.parts(set);
        if (!transaction.started() || !parts)
            continue;
        const QString text = joinParts(*parts, set.total);
        auto id = storeInInbox(set.sender, text, now);
        if (!id || !intake.removeParts(set) || !transaction.commit()) {
            m_context.log(u"**ERROR** The incomplete SMS from %1 could not be stored."_s.arg(set.sender));
            continue;
        }
        m_context.log(u"**WARNING** An SMS from %1 stayed incomplete (%2 of %3 parts); it is stored with the missing "
                      u"parts marked."_s.arg(set.sender)
                          .arg(parts->size())
                          .arg(set.total));
        announce(*id, set.sender, text, now);
        storedAny = true;
    }
    return storedAny;
}

void InboxReceiver::announce(qint64 id, const QString& sender, const QString& text, const QDateTime& when)
{
    m_context.messageStored(id, sender, text, when);
    m_context.sounds.PlayWaveFile(u"SMSNotify.wav"_s);
}

} // namespace engine
