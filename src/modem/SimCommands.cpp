#include "SimCommands.h"

#include "AtLink.h"

#include <QDeadlineTimer>

using namespace Qt::StringLiterals;

namespace modem {

namespace {

const QString kCtrlZ = QString(QChar(26));

// How long a send may still take to be confirmed after its text went out: a network can be
// slow, but a gateway must not hang on a modem that never answers.
constexpr int kConfirmSeconds = 60;
// StoreSimMessage re-reads for its "OK" at most this often.
constexpr int kStoreRereads = 20;

QString lfOnly(const QString& text)
{
    return QString(text).replace(u"\r\n"_s, u"\n"_s);
}

} // namespace

SimCommands::SimCommands(AtLink& link, std::function<double()> delayFactor)
    : m_link(link), m_delayFactor(std::move(delayFactor))
{}

int SimCommands::wait(double multiplierMs) const
{
    return scaledWait(multiplierMs, m_delayFactor());
}

bool SimCommands::canSend() const
{
    return !m_link.ModemBusy && m_link.ModemConnected;
}

QString SimCommands::GetCallState()
{
    const QString answer = m_link.SendCommand(u"AT+CLCC\r"_s, wait(120), u"OK"_s, 4, QString());
    m_link.LastModemResponse = answer;
    return callStateFromClcc(answer);
}

void SimCommands::ListSimMessages(const QString& statusText, int waitMs)
{
    m_link.ReceiveInProgress = true;
    const QString status = statusText.toUpper();
    const QString state = withoutCrLf(GetCallState()).trimmed().toUpper();
    // Neither "OK" (no call) nor "ERROR" (no call-state support): a call is in progress, or
    // the modem gave nothing usable; the SIM is left alone.
    if (!state.contains(u"ERROR"_s) && !state.contains(u"OK"_s))
        m_link.ModemBusy = true;

    SimMessageCount = 0;
    if (!m_link.ModemBusy && m_link.ModemConnected) {
        const QString answer =
            m_link.SendCommand(u"AT+CMGL=\""_s + status + u"\"\r\n"_s, waitMs, u"OK"_s, 5, QString());
        m_link.LastModemResponse = answer;
        if (!answer.isEmpty() && m_link.LastCommandSucceeded) {
            m_listing = parseCmgl(answer);
            SimMessageCount = m_listing.count();
        }
    }
    m_link.ReceiveInProgress = false;
}

void SimCommands::DeleteSimMessagesByStatus(const QString& status)
{
    ListSimMessages(status.toUpper(), wait(200));
    for (int k = 0; k < SimMessageCount; ++k) {
        m_link.LastModemResponse =
            m_link.SendCommand(u"AT+CMGD="_s + m_listing.index.at(k) + u"\r"_s, wait(100), u"OK"_s, 5, QString());
    }
}

QString SimCommands::DeleteSimMessage(int index)
{
    const QString number = QString::number(index);
    const QString answer = m_link.SendCommand(u"AT+CMGD="_s + number + u"\r"_s, wait(150), u"OK"_s, 5,
                                              u"Error occured while executing this command: AT+CMGD="_s + number);
    m_link.LastModemResponse = answer;
    return answer;
}

QString SimCommands::StoreSimMessage(const QString& number, const QString& text)
{
    const int waitMs = wait(75);
    // Command line and text in one write, without waiting for the prompt.
    QString answer = m_link.SendCommand(u"AT+CMGW=\""_s + number + u"\"\r"_s + lfOnly(text) + kCtrlZ, waitMs, u"OK"_s,
                                        5, u"Error occured while executing this command: AT+CMGW"_s);
    if (m_link.LastCommandSucceeded || answer.contains(u"ERROR"_s)) {
        for (int reread = 0; reread < kStoreRereads && !answer.contains(u"OK"_s); ++reread)
            answer = m_link.ReadResponse(u"OK"_s, waitMs);
    }
    m_link.LastModemResponse = answer;
    if (m_link.ModemConnected && !answer.contains(u"ERROR"_s))
        return cmgwIndex(answer);
    return {};
}

QString SimCommands::SendStoredMessage(int index)
{
    const QString answer = m_link.SendCommand(u"AT+CMSS="_s + QString::number(index) + u"\r"_s, wait(1000), u"OK"_s, 5,
                                              u"Error occured while executing this command: AT+CMSS"_s);
    m_link.LastModemResponse = answer;
    return answer;
}

SimCommands::SendResult SimCommands::SendMessageStoreAndDeliver(const QString& number, const QString& text)
{
    m_link.SendInProgress = true;
    const QStringList parts = smsParts(text);
    SendResult result;
    bool confirmed = !parts.isEmpty();
    for (const QString& part : parts) {
        if (!canSend()) {
            m_link.SendInProgress = false;
            return {u"ERROR"_s, false};
        }
        const QString index = StoreSimMessage(number, part).trimmed();
        bool isNumber = false;
        const int slot = index.toShort(&isNumber);
        if (index.isEmpty() || !isNumber || !m_link.LastCommandSucceeded) {
            m_link.SendInProgress = false;
            return {u"ERROR"_s, false};
        }
        const QString answer = SendStoredMessage(slot);
        if (!answer.contains(u"CMSS"_s)) {
            // Not confirmed: the part stays on the SIM, nothing more is sent.
            m_link.SendInProgress = false;
            return {QString(), false};
        }
        confirmed = confirmed && answer.contains(u"OK"_s) && m_link.LastCommandSucceeded;
        m_link.LastModemResponse = DeleteSimMessage(slot);
        if (m_link.LastModemResponse.contains(u"OK"_s))
            m_link.LastModemResponse = u"OK"_s;
    }
    result.answer = m_link.LastModemResponse;
    result.sent = confirmed;
    m_link.SendInProgress = false;
    return result;
}

SimCommands::SendResult SimCommands::SendMessageDirect(const QString& number, const QString& text)
{
    m_link.SendInProgress = true;
    const QStringList parts = smsParts(lfOnly(text));
    bool confirmed = !parts.isEmpty();
    for (const QString& part : parts) {
        if (!canSend()) {
            m_link.SendInProgress = false;
            return {u"ERROR"_s, false};
        }
        const QString command = u"AT+CMGS=\""_s + number + u"\""_s;
        QString answer = m_link.SendCommand(command + u"\r"_s, wait(20), u"> "_s, 10, QString());
        m_link.LastModemResponse = answer;
        Q_EMIT m_link.logLine(u"Response for "_s + command + u" is '"_s + withoutCrLf(answer) + u"'"_s);
        if (!m_link.LastCommandSucceeded) {
            confirmed = false;
            break;
        }
        const int bodyWait = wait(200);
        answer = m_link.SendCommand(QString(part).remove(u"\r\n"_s) + kCtrlZ, bodyWait, u"OK"_s, 10, QString());
        m_link.LastModemResponse = answer;
        if (answer.contains(u"ERROR"_s)) {
            confirmed = false;
            break;
        }
        QDeadlineTimer deadline(qint64(kConfirmSeconds * 1000 * m_delayFactor()));
        while (!answer.contains(u"OK"_s) && !deadline.hasExpired() && m_link.ModemConnected && !m_link.isAborting()) {
            answer = m_link.ReadResponse(u"OK"_s, bodyWait);
            m_link.LastModemResponse = answer;
        }
        // 3GPP TS 27.005 3.5.1: a send is done only with "+CMGS: <mr>" and a final OK.
        if (!(answer.contains(u"+CMGS"_s) && answer.contains(u"OK"_s))) {
            confirmed = false;
            break;
        }
    }
    m_link.SendInProgress = false;
    return {m_link.LastModemResponse, confirmed};
}

} // namespace modem
