#include "ModemSimulator.h"

#include "AtInterpreter.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

namespace modemsim {

namespace {

QString systemError(const char* what)
{
    return QStringLiteral("%1: %2").arg(QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

QByteArray printable(const QByteArray& bytes)
{
    QByteArray out;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\r')
            out.append("\\r");
        else if (c == '\n')
            out.append("\\n");
        else if (byte < 0x20 || byte >= 0x7F)
            out.append("\\x" + QByteArray::number(byte, 16).rightJustified(2, '0'));
        else
            out.append(c);
    }
    return out;
}

} // namespace

ModemSimulator::ModemSimulator()
    : m_interpreter(std::make_unique<AtInterpreter>()),
      m_trace(qEnvironmentVariableIntValue("TARVOGATE_MODEM_SIM_TRACE") != 0)
{}

ModemSimulator::~ModemSimulator()
{
    stop();
}

bool ModemSimulator::start(QString* error)
{
    if (m_thread.joinable())
        return true;
    const auto fail = [&](const char* what) {
        if (error)
            *error = systemError(what);
        closeDescriptors();
        return false;
    };

    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        return fail("posix_openpt");
    if (fcntl(m_master, F_SETFD, FD_CLOEXEC) < 0 || fcntl(m_master, F_SETFL, O_NONBLOCK) < 0)
        return fail("fcntl");
    if (grantpt(m_master) < 0)
        return fail("grantpt");
    if (unlockpt(m_master) < 0)
        return fail("unlockpt");
    char name[128] = {};
    if (ptsname_r(m_master, name, sizeof name) != 0)
        return fail("ptsname");

    // Holding the slave open ourselves keeps the master readable when the client closes the
    // port, instead of failing with EIO until it comes back.
    m_slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m_slave < 0)
        return fail("open pty slave");
    termios settings{};
    if (tcgetattr(m_slave, &settings) < 0)
        return fail("tcgetattr");
    // A modem line passes bytes untouched: no echo, no line editing, no CR/LF translation.
    cfmakeraw(&settings);
    cfsetispeed(&settings, B115200);
    cfsetospeed(&settings, B115200);
    if (tcsetattr(m_slave, TCSANOW, &settings) < 0)
        return fail("tcsetattr");

    int wake[2];
    if (pipe2(wake, O_NONBLOCK | O_CLOEXEC) < 0)
        return fail("pipe2");
    m_wakeRead = wake[0];
    m_wakeWrite = wake[1];

    {
        const std::lock_guard lock(m_mutex);
        m_portName = QString::fromLocal8Bit(name);
    }
    m_stopping = false;
    m_thread = std::thread([this] { serve(); });
    return true;
}

void ModemSimulator::stop()
{
    if (m_thread.joinable()) {
        m_stopping = true;
        wake();
        m_thread.join();
    }
    closeDescriptors();
}

void ModemSimulator::closeDescriptors()
{
    for (int* fd : {&m_master, &m_slave, &m_wakeRead, &m_wakeWrite}) {
        if (*fd >= 0)
            close(*fd);
        *fd = -1;
    }
}

QString ModemSimulator::portName() const
{
    const std::lock_guard lock(m_mutex);
    return m_portName;
}

void ModemSimulator::wake()
{
    if (m_wakeWrite >= 0) {
        const char byte = 1;
        // A full pipe already means a wake-up is pending.
        [[maybe_unused]] const ssize_t written = write(m_wakeWrite, &byte, 1);
    }
}

void ModemSimulator::speakUnprompted(const std::function<void(AtInterpreter&)>& action)
{
    {
        const std::lock_guard lock(m_mutex);
        action(*m_interpreter);
        flushOutputLocked();
    }
    // The serving thread may sleep in poll() with nothing to write; what the modem said has to go out now.
    wake();
}

void ModemSimulator::trace(QByteArray& pending, const char* direction, const QByteArray& bytes, bool complete)
{
    if (!m_trace)
        return;
    // Clients that write a byte at a time would otherwise give one trace line per byte.
    pending.append(bytes);
    if (!complete || pending.isEmpty())
        return;
    std::fprintf(stderr, "modem-sim %s %s\n", direction, printable(pending).constData());
    pending.clear();
}

void ModemSimulator::flushOutputLocked()
{
    const QByteArray produced = m_interpreter->takeOutput();
    trace(m_traceOut, ">>", produced, produced.endsWith('\n') || produced.endsWith("> "));
    m_pendingOutput.append(produced);
}

void ModemSimulator::writeOutputLocked()
{
    while (!m_pendingOutput.isEmpty()) {
        const auto now = std::chrono::steady_clock::now();
        qsizetype limit = m_pendingOutput.size();
        if (m_chunker) {
            if (now < m_nextPieceAt)
                return;
            if (m_pieceLeft == 0) {
                const Chunker::Piece piece = m_chunker->next();
                m_pieceLeft = piece.bytes;
                m_pieceDelayMs = piece.delayMs;
            }
            limit = std::min<qsizetype>(limit, m_pieceLeft);
        }
        const ssize_t written = write(m_master, m_pendingOutput.constData(), static_cast<size_t>(limit));
        if (written <= 0)
            return;
        m_pendingOutput.remove(0, written);
        if (!m_chunker)
            continue;
        m_pieceLeft -= static_cast<int>(written);
        // A piece also ends when the modem has nothing more to say; what it says later starts a new one.
        if (m_pieceLeft == 0 || m_pendingOutput.isEmpty()) {
            m_pieceLeft = 0;
            m_nextPieceAt = now + std::chrono::milliseconds(m_pieceDelayMs);
        }
    }
}

void ModemSimulator::serve()
{
    using Clock = AtInterpreter::Clock;
    char buffer[4096];
    while (!m_stopping) {
        int timeoutMs = -1;
        bool writing = false;
        {
            const std::lock_guard lock(m_mutex);
            const auto now = Clock::now();
            std::optional<Clock::time_point> due = m_interpreter->nextDeadline();
            const bool pieceWaits = m_chunker && now < m_nextPieceAt;
            writing = !m_pendingOutput.isEmpty() && !pieceWaits;
            if (!m_pendingOutput.isEmpty() && pieceWaits)
                due = due ? std::min(*due, m_nextPieceAt) : m_nextPieceAt;
            if (due) {
                const auto left = std::chrono::ceil<std::chrono::milliseconds>(*due - now).count();
                timeoutMs = static_cast<int>(std::max<long long>(0, left));
            }
        }
        pollfd fds[2] = {{m_master, static_cast<short>(POLLIN | (writing ? POLLOUT : 0)), 0}, {m_wakeRead, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0 && errno != EINTR)
            break;
        if (fds[1].revents & POLLIN) {
            while (read(m_wakeRead, buffer, sizeof buffer) > 0) {
            }
        }
        if (fds[0].revents & POLLIN) {
            const ssize_t count = read(m_master, buffer, sizeof buffer);
            if (count > 0) {
                const QByteArray received(buffer, count);
                const std::lock_guard lock(m_mutex);
                trace(m_traceIn, "<<", received,
                      received.endsWith('\r') || received.endsWith('\n') || received.endsWith('\x1A'));
                m_interpreter->receive(received, Clock::now());
                flushOutputLocked();
            }
            m_commandArrived.notify_all();
        }
        const std::lock_guard lock(m_mutex);
        m_interpreter->advance(Clock::now());
        flushOutputLocked();
        writeOutputLocked();
    }
}

void ModemSimulator::setEchoAtPowerUp(bool on)
{
    const std::lock_guard lock(m_mutex);
    m_interpreter->setEchoAtPowerUp(on);
}

void ModemSimulator::setIdentity(const QString& manufacturer, const QString& model, const QString& revision,
                                 const QString& imei)
{
    const std::lock_guard lock(m_mutex);
    m_interpreter->setIdentity(manufacturer, model, revision, imei);
}

void ModemSimulator::setSimCapacity(int slots)
{
    const std::lock_guard lock(m_mutex);
    m_interpreter->setSimCapacity(slots);
}

int ModemSimulator::addMessage(const QString& status, const QString& sender, const QString& text,
                               const QDateTime& timestamp)
{
    const std::lock_guard lock(m_mutex);
    return m_interpreter->addMessage(status, sender, text, timestamp);
}

int ModemSimulator::injectIncomingSms(const QString& sender, const QString& text)
{
    int index = -1;
    speakUnprompted([&](AtInterpreter& modem) { index = modem.injectIncomingSms(sender, text); });
    return index;
}

QList<int> ModemSimulator::addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                                  bool sixteenBitReference, const QList<int>& onlyParts,
                                                  const QDateTime& timestamp)
{
    const std::lock_guard lock(m_mutex);
    return m_interpreter->addConcatenatedMessage(sender, text, reference, sixteenBitReference, onlyParts, timestamp);
}

QList<SimMessage> ModemSimulator::simMessages() const
{
    const std::lock_guard lock(m_mutex);
    return m_interpreter->simMessages();
}

void ModemSimulator::ring(const QString& number, int type)
{
    speakUnprompted([&](AtInterpreter& modem) { modem.ring(number, type); });
}

void ModemSimulator::hangUp()
{
    speakUnprompted([](AtInterpreter& modem) { modem.hangUp(); });
}

void ModemSimulator::sendUnsolicited(const QString& text)
{
    speakUnprompted([&](AtInterpreter& modem) { modem.sendUnsolicited(text); });
}

void ModemSimulator::script(const QString& commandPrefix, Behaviour behaviour)
{
    const std::lock_guard lock(m_mutex);
    m_interpreter->script(commandPrefix, behaviour);
}

void ModemSimulator::clearScripts()
{
    const std::lock_guard lock(m_mutex);
    m_interpreter->clearScripts();
}

void ModemSimulator::setChunking(quint32 seed, int maxChunkBytes, int maxDelayMs)
{
    {
        const std::lock_guard lock(m_mutex);
        if (maxChunkBytes > 0)
            m_chunker.emplace(seed, maxChunkBytes, maxDelayMs);
        else
            m_chunker.reset();
        m_pieceLeft = 0;
        m_nextPieceAt = {};
    }
    wake();
}

QStringList ModemSimulator::receivedCommands() const
{
    const std::lock_guard lock(m_mutex);
    return m_interpreter->receivedCommands();
}

void ModemSimulator::clearReceivedCommands()
{
    const std::lock_guard lock(m_mutex);
    m_interpreter->clearReceivedCommands();
}

QList<SentMessage> ModemSimulator::sentMessages() const
{
    const std::lock_guard lock(m_mutex);
    return m_interpreter->sentMessages();
}

bool ModemSimulator::waitForCommand(const QString& commandPrefix, int timeoutMs) const
{
    std::unique_lock lock(m_mutex);
    return m_commandArrived.wait_for(lock, std::chrono::milliseconds(std::max(0, timeoutMs)),
                                     [&] { return m_interpreter->hasCommand(commandPrefix); });
}

} // namespace modemsim
