#include "SimCommands.h"

#include "AtLink.h"

using namespace Qt::StringLiterals;

namespace modem {

namespace {

// After a missing prompt or an unconfirmed text, the modem's line must be quiet this long
// before anything else is said to it (long enough for a prompt that comes late to be seen
// and escaped), and the wait for that quiet is bounded.
constexpr int kQuietMs = 1000;
constexpr int kQuietMaxMs = 5000;
// StoreSimMessage waits for its answer at most this many waits.
constexpr int kStoreRereads = 20;

// Text mode takes the message text up to Ctrl-Z and gives it up at ESC (TS 27.005 3.5.1): a
// text holding either would end early and leave its rest to be read as commands, and a CR
// may start a new line of text, so every line break goes as a single LF.
QString textForTextMode(const QString& text)
{
    QString clean = text;
    clean.replace(u"\r\n"_s, u"\n"_s);
    clean.replace(u'\r', u'\n');
    clean.remove(QChar(26));
    clean.remove(QChar(27));
    return clean;
}

} // namespace

int pduListingStatus(const QString& statusName)
{
    const QString status = statusName.trimmed().toUpper();
    if (status == u"ALL"_s)
        return 4;
    for (int stat = 0; stat < 4; ++stat) {
        if (simStatusName(stat) == status)
            return stat;
    }
    return -1;
}

SimCommands::SimCommands(AtLink& link, std::function<double()> delayFactor, std::function<void(const QString&)> log)
    : m_link(link), m_delayFactor(std::move(delayFactor)), m_log(std::move(log))
{}

int SimCommands::wait(double multiplierMs) const
{
    return scaledWait(multiplierMs, m_delayFactor());
}

QString SimCommands::GetCallState(AtAnswer* answer)
{
    const AtAnswer reply = m_link.SendCommand(u"AT+CLCC\r"_s, wait(120), u"OK"_s, 4, QString());
    if (answer)
        *answer = reply;
    return callStateFromClcc(reply.text());
}

SimListing SimCommands::ListSimMessages(const QString& statusText, int waitMs)
{
    SimListing listing;
    const int stat = pduListingStatus(statusText);
    if (stat < 0 || !m_link.isConnected())
        return listing;
    const QString state = withoutCrLf(GetCallState()).trimmed().toUpper();
    // Neither "OK" (no call) nor "ERROR" (no call-state support): a call is in progress, or
    // the modem gave nothing usable; the SIM is left alone.
    if (!state.contains(u"ERROR"_s) && !state.contains(u"OK"_s)) {
        listing.callInProgress = true;
        return listing;
    }

    // In PDU mode every message is one line of hex digits: nothing a sender writes can look
    // like a result code, a header or a ring.
    const AtAnswer pduMode = m_link.SendCommand(u"AT+CMGF=0\r"_s, wait(50), u"OK"_s, 5, QString());
    if (pduMode.succeeded) {
        const AtAnswer answer =
            m_link.SendCommand(u"AT+CMGL=%1\r\n"_s.arg(stat), waitMs, u"OK"_s, 5, QString());
        if (answer.succeeded) {
            listing.listed = true;
            PduListing framed = parsePduListing(answer.lines);
            listing.problems = framed.framingErrors;
            for (PduListingEntry& entry : framed.entries) {
                SimEntry simEntry;
                simEntry.index = entry.index;
                simEntry.status = entry.status;
                simEntry.statusName = simStatusName(entry.status);
                simEntry.pdu = entry.pdu;
                auto decoded = decodeSmsPdu(entry.pdu);
                if (decoded)
                    simEntry.message = std::move(*decoded);
                else
                    simEntry.problem = decoded.error();
                listing.entries.push_back(std::move(simEntry));
            }
        }
    }
    // Sending stays in text mode, whatever became of the listing.
    const AtAnswer textMode = m_link.SendCommand(u"AT+CMGF=1\r"_s, wait(50), u"OK"_s, 5, QString());
    if (!textMode.succeeded && m_link.isConnected())
        m_log(u"**ERROR** The modem did not go back to text mode after reading the SIM; SMS cannot be sent until it "
              u"is connected again."_s);
    return listing;
}

SimDeletion SimCommands::DeleteSimMessagesByStatus(const QString& status,
                                                   const std::function<bool(const SimEntry&)>& keep)
{
    SimDeletion deletion;
    deletion.listing = ListSimMessages(status, wait(200));
    for (const SimEntry& entry : deletion.listing.entries) {
        if (keep && keep(entry)) {
            deletion.kept.push_back(entry.index);
            continue;
        }
        const AtAnswer answer =
            m_link.SendCommand(u"AT+CMGD=%1\r"_s.arg(entry.index), wait(100), u"OK"_s, 5, QString());
        if (answer.succeeded && answer.final == FinalResult::Ok)
            deletion.deleted.push_back(entry.index);
        else
            deletion.failed.push_back(entry.index);
    }
    return deletion;
}

bool SimCommands::DeleteSimMessage(int index)
{
    const QString number = QString::number(index);
    const AtAnswer answer = m_link.SendCommand(u"AT+CMGD="_s + number + u"\r"_s, wait(150), u"OK"_s, 5,
                                               u"Error occured while executing this command: AT+CMGD="_s + number);
    return answer.succeeded && answer.final == FinalResult::Ok;
}

SimCommands::PartResult SimCommands::submitText(const QString& commandLine, const QString& text, int promptWait,
                                                int promptRetries, int textWait, int textRetries,
                                                const QString& confirmation, int confirmWaitMs)
{
    PartResult result;
    const AtAnswer prompt = m_link.SendCommand(commandLine + u"\r"_s, promptWait, u"> "_s, promptRetries, QString());
    result.answer = prompt.text();
    if (commandLine.startsWith(u"AT+CMGS"_s))
        m_log(u"Response for "_s + commandLine + u" is '"_s + withoutCrLf(prompt.text()) + u"'"_s);
    if (!prompt.prompt) {
        // Refused, or no prompt yet: a prompt that still comes must not take the next command
        // line as a message text.
        if (!prompt.isError())
            m_link.escapeAndDrain(kQuietMs, kQuietMaxMs);
        return result;
    }
    const QString failure =
        confirmation == u"+CMGW"_s ? u"Error occured while executing this command: AT+CMGW"_s : QString();
    return judgeConfirmation(m_link.sendMessageText(text, textWait, textRetries, failure), confirmation,
                             confirmWaitMs);
}

SimCommands::PartResult SimCommands::judgeConfirmation(AtAnswer answer, const QString& confirmation,
                                                       int confirmWaitMs)
{
    PartResult result;
    if (answer.final == FinalResult::None && m_link.isConnected())
        answer = m_link.awaitFinal(confirmWaitMs);
    result.answer = answer.text();
    if (answer.final == FinalResult::Ok) {
        result.outcome = SendOutcome::Sent;
        result.info = answer.lineStartingWith(confirmation);
    } else if (answer.isError()) {
        result.outcome = SendOutcome::NotSent;
    } else {
        // It went out and nothing said what became of it.
        m_link.escapeAndDrain(kQuietMs, kQuietMaxMs);
        result.outcome = SendOutcome::Unconfirmed;
    }
    return result;
}

SimCommands::PartResult SimCommands::sendStored(int slot)
{
    return judgeConfirmation(m_link.SendCommand(u"AT+CMSS=%1\r"_s.arg(slot), wait(1000), u"OK"_s, 5,
                                                u"Error occured while executing this command: AT+CMSS"_s),
                             u"+CMSS"_s, m_confirmWaitMs);
}

SendResult SimCommands::sendParts(const QString& text, const SendControl& control,
                                  const std::function<PartResult(const QString& part)>& sendPart)
{
    const QStringList parts = smsParts(text);
    SendResult result;
    result.partsConfirmed = std::max(0, control.firstPart);
    if (parts.isEmpty())
        return result;
    for (qsizetype k = result.partsConfirmed; k < parts.size(); ++k) {
        // Between parts nothing is in flight: stopping here loses nothing and sends nothing twice.
        if ((control.stopRequested && control.stopRequested()) || !m_link.isConnected() || m_link.isAborting())
            return result;
        const PartResult part = sendPart(parts.at(k));
        result.answer = part.answer;
        if (part.outcome != SendOutcome::Sent) {
            result.outcome = part.outcome;
            return result;
        }
        ++result.partsConfirmed;
        if (control.partConfirmed)
            control.partConfirmed(result.partsConfirmed);
    }
    result.outcome = SendOutcome::Sent;
    return result;
}

SendResult SimCommands::SendMessageDirect(const QString& number, const QString& text, const SendControl& control)
{
    return sendParts(textForTextMode(text), control, [&](const QString& part) {
        return submitText(u"AT+CMGS=\""_s + number + u"\""_s, part, wait(20), 10, wait(200), 10, u"+CMGS"_s,
                          m_confirmWaitMs);
    });
}

SendResult SimCommands::SendMessageStoreAndDeliver(const QString& number, const QString& text,
                                                   const SendControl& control)
{
    // The parts are cut from the text as it is stored (a CR LF counts two), each then made
    // fit for text mode.
    return sendParts(text, control, [&](const QString& part) {
        const int storeWait = wait(75);
        PartResult stored = submitText(u"AT+CMGW=\""_s + number + u"\""_s, textForTextMode(part), storeWait, 5,
                                       storeWait, 5, u"+CMGW"_s, kStoreRereads * storeWait);
        bool isNumber = false;
        const int slot = cmgwIndex(stored.info).toInt(&isNumber);
        if (stored.outcome != SendOutcome::Sent || !isNumber) {
            if (stored.outcome != SendOutcome::NotSent)
                m_log(u"**WARNING** The modem did not say where it stored the SMS to %1; the SIM may keep an unsent "
                      u"copy."_s.arg(number));
            // Storing sends nothing: the row can be tried again.
            stored.outcome = SendOutcome::NotSent;
            return stored;
        }
        const PartResult sent = sendStored(slot);
        // The stored copy is of no use once sent, refused or in doubt; a retry stores anew.
        if (!DeleteSimMessage(slot))
            m_log(u"**WARNING** The stored copy in SIM slot %1 could not be deleted."_s.arg(slot));
        return sent;
    });
}

} // namespace modem
