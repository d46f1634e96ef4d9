#include "AtLink.h"

#include "AtParsers.h"

#include <algorithm>

#include <QDeadlineTimer>
#include <QFileInfo>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace modem {

namespace {
const QString kCrLf = u"\r\n"_s;
// How long the line must stay quiet after an exchange that never got its final result, and at
// most how long that is waited for.
constexpr int kQuietAfterUnfinishedMs = 300;
constexpr int kQuietAfterUnfinishedMaxMs = 10000;
const QString kNotConnected = u"Modem is currently not connected to the application. Please click on 'Connect' button "
                              u"before executing any commands."_s;
} // namespace

QString openFailureText(OpenFailure failure, const QString& portPath, const QString& detail)
{
    switch (failure) {
    case OpenFailure::None:
        return {};
    case OpenFailure::NotFound:
        return u"No modem found on COM Port "_s + portPath + kCrLf +
               u"Do you wish to enter the correct COM port settings for the attached modem?"_s;
    case OpenFailure::Permission:
        return u"Permission denied on %1: the user running tarvogate may not use serial ports. Add the user to the "
               u"'dialout' group (sudo adduser $USER dialout), log out and in again, then connect."_s.arg(portPath);
    case OpenFailure::InUse:
        return u"Comm Port : "_s + portPath + u" already open or some other program is using it."_s;
    case OpenFailure::Other:
        return u"%1 could not be opened: %2"_s.arg(portPath, detail);
    }
    return {};
}

bool parseLineSettings(const QString& text, LineSettings& settings)
{
    const QStringList parts = text.trimmed().split(u',');
    if (parts.size() != 4)
        return false;
    bool ok = false;
    const int baud = parts[0].trimmed().toInt(&ok);
    if (!ok || baud <= 0)
        return false;
    settings.baudRate = baud;

    const QString parity = parts[1].trimmed().toLower();
    if (parity == u"n"_s)
        settings.parity = QSerialPort::NoParity;
    else if (parity == u"e"_s)
        settings.parity = QSerialPort::EvenParity;
    else if (parity == u"o"_s)
        settings.parity = QSerialPort::OddParity;
    else if (parity == u"m"_s)
        settings.parity = QSerialPort::MarkParity;
    else if (parity == u"s"_s)
        settings.parity = QSerialPort::SpaceParity;
    else
        return false;

    const int bits = parts[2].trimmed().toInt(&ok);
    if (!ok || bits < 5 || bits > 8)
        return false;
    settings.dataBits = QSerialPort::DataBits(bits);

    const QString stop = parts[3].trimmed();
    if (stop == u"1"_s)
        settings.stopBits = QSerialPort::OneStop;
    else if (stop == u"1.5"_s)
        settings.stopBits = QSerialPort::OneAndHalfStop;
    else if (stop == u"2"_s)
        settings.stopBits = QSerialPort::TwoStop;
    else
        return false;
    return true;
}

bool AtAnswer::hasLineStartingWith(QStringView prefix) const
{
    return std::ranges::any_of(lines, [prefix](const QString& line) { return line.startsWith(prefix); });
}

QString AtAnswer::lineStartingWith(QStringView prefix) const
{
    for (const QString& line : lines) {
        if (line.startsWith(prefix))
            return line;
    }
    return {};
}

QString AtAnswer::text() const
{
    QString text;
    for (const QString& line : lines)
        text += kCrLf + line + kCrLf;
    if (!finalLine.isEmpty())
        text += kCrLf + finalLine + kCrLf;
    else if (prompt)
        text += kCrLf + u"> "_s;
    return text;
}

AtLink::AtLink(QObject* parent) : QObject(parent), m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &AtLink::onReadyRead);
    connect(&m_port, &QSerialPort::errorOccurred, this, &AtLink::onPortError);
}

AtLink::~AtLink()
{
    if (m_port.isOpen())
        m_port.close();
}

bool AtLink::ConfigurePort(const QString& portPath, const LineSettings& settings, QSerialPort::FlowControl flow)
{
    if (m_port.isOpen()) {
        Q_EMIT notice(u"Comm Port : "_s + m_portPath + u" already open or some other program is using it."_s);
        return false;
    }
    m_portPath = portPath;
    m_port.setPortName(portPath);
    m_port.setBaudRate(settings.baudRate);
    m_port.setParity(settings.parity);
    m_port.setDataBits(settings.dataBits);
    m_port.setStopBits(settings.stopBits);
    m_port.setFlowControl(flow);
    m_connected = true;
    return true;
}

bool AtLink::OpenPort()
{
    m_openFailure = OpenFailure::None;
    m_openFailureText.clear();
    if (m_port.isOpen()) {
        m_connected = true;
        return true;
    }
    if (m_port.open(QIODevice::ReadWrite)) {
        // Modems want DTR raised while the line is in use; a pseudo-terminal has no such
        // line and refuses, which is harmless.
        m_port.setDataTerminalReady(true);
        m_port.clearError();
        m_reader.clear();
        m_stale.clear();
        m_inExchange = false;
        m_bodyNext = false;
        m_connected = true;
        // What a modem still had to say from before (a confirmation held back when the
        // program last ended) must not become the answer to the first command.
        drainStale(u"the first command"_s);
        return true;
    }

    m_connected = false;
    const QString& path = m_portPath;
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
        m_openFailure = QFileInfo::exists(path) ? OpenFailure::Other : OpenFailure::NotFound;
        break;
    case QSerialPort::PermissionError:
        // Qt reports a port locked by another program as a permission error too; only the
        // file's own rights tell them apart.
        m_openFailure = ::access(QFile::encodeName(path).constData(), R_OK | W_OK) == 0 ? OpenFailure::InUse
                                                                                        : OpenFailure::Permission;
        break;
    case QSerialPort::OpenError:
        m_openFailure = OpenFailure::InUse;
        break;
    default:
        m_openFailure = OpenFailure::Other;
        break;
    }
    m_openFailureText = openFailureText(m_openFailure, path, m_port.errorString());
    m_port.clearError();
    return false;
}

void AtLink::ClosePort()
{
    if (m_port.isOpen())
        m_port.close();
    // Also a port that was configured but never opened is not connected.
    m_connected = false;
    m_initialised = false;
    m_callRinging = false;
    m_inExchange = false;
    m_lost = false;
    m_reader.clear();
}

bool AtLink::isOpen() const
{
    return m_port.isOpen();
}

void AtLink::setCharacterSet(const QString& characterSet)
{
    m_utf8 = characterSet.trimmed().compare(u"UTF-8"_s, Qt::CaseInsensitive) == 0;
}

QByteArray AtLink::encode(const QString& text) const
{
    return m_utf8 ? text.toUtf8() : text.toLatin1();
}

QString AtLink::decode(const QByteArray& bytes) const
{
    return m_utf8 ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
}

void AtLink::onReadyRead()
{
    consumeInput();
}

void AtLink::onPortError(QSerialPort::SerialPortError error)
{
    // A USB modem pulled out (ResourceError), or a line hung up at the other end (ReadError, as
    // a pseudo-terminal reports it): every read would fail at once from now on.
    if ((error != QSerialPort::ResourceError && error != QSerialPort::ReadError) || !m_port.isOpen())
        return;
    if (m_lost)
        return;
    // A read that found nothing after the notifier fired (the bytes went to a wait's own read)
    // is reported the same way, with whatever errno was left over. A device that really went
    // away takes its node with it, a USB modem's as a pseudo-terminal's.
    if (QFileInfo::exists(m_portPath)) {
        m_port.clearError();
        return;
    }
    m_lost = true;
    Q_EMIT logLine(u"**ERROR** The modem's port %1 went away: %2"_s.arg(m_portPath, m_port.errorString()));
    // Closed from the event loop: this may be called from inside the port's own wait.
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_lost)
                return;
            ClosePort();
            m_port.clearError();
            Q_EMIT portLost();
        },
        Qt::QueuedConnection);
}

bool AtLink::consumeInput()
{
    if (!m_port.isOpen())
        return false;
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return false;
    m_bytesReceived += bytes.size();
    m_reader.feed(bytes);
    while (const auto line = m_reader.takeLine())
        handleLine(decode(*line));
    if (m_inExchange && !m_answer.prompt && m_answer.final == FinalResult::None && m_reader.takePrompt())
        m_answer.prompt = true;
    return true;
}

void AtLink::handleLine(const QString& line)
{
    if (m_bodyNext) {
        // The line after a message header is that message's text or PDU, whatever it says.
        m_bodyNext = false;
        if (m_inExchange)
            m_answer.lines << line;
        else
            m_stale << line;
        return;
    }
    const bool beganBefore = std::exchange(m_partialIsStale, false);
    const QString trimmed = line.trimmed();
    if (trimmed.isEmpty())
        return;
    if (isUnsolicitedLine(trimmed, m_callRinging)) {
        Q_EMIT unsolicitedLine(trimmed);
        return;
    }
    if (!m_inExchange || m_answer.final != FinalResult::None || beganBefore) {
        // Nobody asked for it: logged before the next command, never its answer.
        if (!trimmed.isEmpty())
            m_stale << trimmed;
        return;
    }
    if (!m_echo.isEmpty() && trimmed == m_echo) {
        m_echo.clear();
        return;
    }
    if (trimmed.startsWith(u'>')) {
        // A prompt that a line end followed: the text after it is the echo of our own text.
        m_answer.prompt = true;
        return;
    }
    if (const FinalResult final = finalResultOf(trimmed); final != FinalResult::None) {
        m_answer.final = final;
        m_answer.finalLine = trimmed;
        return;
    }
    if (trimmed.startsWith(u"+CMGL:"_s) || trimmed.startsWith(u"+CMGR:"_s))
        m_bodyNext = true;
    m_answer.lines << trimmed;
}

bool AtLink::satisfied(Want want) const
{
    if (m_answer.final != FinalResult::None)
        return true;
    switch (want) {
    case Want::Prompt:
        return m_answer.prompt;
    case Want::Anything:
        return m_answer.received();
    case Want::Final:
        return false;
    }
    return false;
}

bool AtLink::waitFor(Want want, int waitMs)
{
    // Counted, not taken from the calls: the port's readyRead may have read the input already.
    const qint64 before = m_bytesReceived;
    consumeInput();
    QDeadlineTimer deadline(std::max(waitMs, 0));
    while (usable() && !satisfied(want) && !deadline.hasExpired() && !m_abort) {
        // Short slices, so that a request to end is noticed while a modem stays silent.
        if (m_port.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100))))
            consumeInput();
    }
    return m_bytesReceived != before;
}

void AtLink::waitUntilQuiet(int quietMs, int maxMs)
{
    QDeadlineTimer deadline(std::max(maxMs, quietMs));
    QDeadlineTimer quiet(quietMs);
    while (usable() && !quiet.hasExpired() && !deadline.hasExpired() && !m_abort) {
        const qint64 before = m_bytesReceived;
        if (m_port.waitForReadyRead(int(std::clamp<qint64>(quiet.remainingTime(), 1, 100))))
            consumeInput();
        if (m_bytesReceived != before)
            quiet.setRemainingTime(quietMs);
    }
}

void AtLink::beginExchange(const QString& echo)
{
    m_answer = AtAnswer{};
    m_echo = echo.trimmed();
    m_bodyNext = false;
    m_inExchange = true;
}

void AtLink::endExchange()
{
    m_inExchange = false;
    m_echo.clear();
}

void AtLink::drainStale(const QString& before)
{
    if (m_inExchange) {
        // The last exchange gave up before its final result: the modem may still be busy
        // answering it (a long listing over a slow line), and none of that is the next answer.
        endExchange();
        waitUntilQuiet(kQuietAfterUnfinishedMs, kQuietAfterUnfinishedMaxMs);
    }
    // What the system already holds for us, also what the event loop has not yet read in.
    consumeInput();
    for (int pulls = 0; pulls < 64 && usable() && m_port.waitForReadyRead(0); ++pulls)
        consumeInput();
    if (!m_reader.isEmpty() && m_reader.takePrompt())
        m_stale << u">"_s;
    // Half a line that began before the command belongs to no answer of it.
    m_partialIsStale = std::ranges::any_of(m_reader.partial(), [](char c) { return c != '\r' && c != '\n'; });
    if (m_stale.isEmpty())
        return;
    Q_EMIT logLine(u"**NOTICE** The modem said, unasked, before %1: '%2'"_s.arg(before, m_stale.join(u" | "_s)));
    m_stale.clear();
}

AtAnswer AtLink::runExchange(const QByteArray& bytes, const QString& echo, int waitMs, const QString& expectedText,
                             int retries, const QString& failureMessage, const QString& commandForLog)
{
    const QString expected = expectedText.trimmed();
    if (!usable()) {
        m_connected = false;
        Q_EMIT notice(kNotConnected);
        return {};
    }
    drainStale(withoutCrLf(commandForLog).trimmed());
    beginExchange(echo);
    m_port.write(bytes);
    m_port.waitForBytesWritten(std::max(waitMs, 100));

    const Want want = expected.isEmpty() ? Want::Anything : expected == u">"_s ? Want::Prompt : Want::Final;
    const auto done = [&] {
        if (expected.isEmpty())
            return true;
        if (want == Want::Prompt)
            return m_answer.prompt;
        if (expected == u"OK"_s)
            return m_answer.final == FinalResult::Ok;
        return m_answer.finalLine.contains(expected) || m_answer.hasLineStartingWith(expected);
    };

    int errors = 0;
    int empties = 0;
    int noCarriers = 0;
    int unexpected = 0;
    // A long answer (a full SIM at a slow line speed) may take many reads; each read that
    // brings more of it does not count against the modem, but their number is bounded.
    int progressReads = 0;
    constexpr int kMaxProgressReads = 200;

    waitFor(want, waitMs);
    // The first answer is not judged; the command is never written again.
    while (!done() && errors < 3 && noCarriers < 2 && empties < retries + 1 && unexpected < 2 && usable() &&
           !m_abort) {
        const bool arrived = waitFor(want, waitMs);
        if (m_answer.isError())
            ++errors;
        else if (!m_answer.received() && !expected.isEmpty())
            ++empties;
        else if (m_answer.final == FinalResult::NoCarrier)
            ++noCarriers;
        else if (!done() && (!arrived || m_answer.final != FinalResult::None || ++progressReads > kMaxProgressReads))
            ++unexpected;
    }

    bool succeeded = usable() && !m_abort;
    if (errors >= 3) {
        if (!failureMessage.trimmed().isEmpty())
            Q_EMIT notice(failureMessage);
        succeeded = false;
    }
    if (noCarriers >= 2) {
        Q_EMIT notice(u"Your modem probably does not support the dialing feature."_s);
        succeeded = false;
    }
    if (empties >= retries)
        succeeded = false;
    if (unexpected >= 2) {
        Q_EMIT logLine(u"Modem gives non expected response"_s + kCrLf + u"Command: "_s + commandForLog + kCrLf +
                       u"Expected response: "_s + expected + kCrLf + u"Returned response: "_s + m_answer.text());
        succeeded = false;
    }
    if (!done())
        succeeded = false;
    m_answer.succeeded = succeeded;
    // Once the final result is in, the exchange is over; an answer still missing it stays
    // open for awaitFinal.
    if (m_answer.final != FinalResult::None)
        endExchange();
    return m_answer;
}

AtAnswer AtLink::SendCommand(const QString& command, int waitMs, const QString& expected, int retries,
                             const QString& failureMessage)
{
    return runExchange(encode(command), command, waitMs, expected, retries, failureMessage, command);
}

AtAnswer AtLink::sendMessageText(const QString& text, int waitMs, int retries, const QString& failureMessage)
{
    // The text follows a prompt: nothing is waiting that could be stale, and the exchange
    // that gave the prompt is over.
    endExchange();
    return runExchange(encode(text) + char(26), text, waitMs, u"OK"_s, retries, failureMessage, u"(message text)"_s);
}

AtAnswer AtLink::awaitFinal(int waitMs)
{
    if (!m_inExchange)
        return m_answer;
    QDeadlineTimer deadline(std::max(waitMs, 0));
    while (usable() && m_answer.final == FinalResult::None && !deadline.hasExpired() && !m_abort)
        waitFor(Want::Final, int(std::min<qint64>(deadline.remainingTime(), 1000)));
    if (m_answer.final != FinalResult::None)
        endExchange();
    m_answer.succeeded = m_answer.final == FinalResult::Ok;
    return m_answer;
}

void AtLink::escapeAndDrain(int quietMs, int maxMs)
{
    endExchange();
    if (!usable())
        return;
    QDeadlineTimer deadline(std::max(maxMs, quietMs));
    for (int round = 0; round < 3; ++round) {
        m_port.write(QByteArray(1, char(27)));
        m_port.waitForBytesWritten(100);
        waitUntilQuiet(quietMs, int(std::max<qint64>(deadline.remainingTime(), 0)));
        const bool prompted = m_reader.takePrompt();
        // A prompt that came after the ESC would take the next command as a message text.
        if (!prompted)
            break;
    }
    drainStale(u"the next command"_s);
}

} // namespace modem
