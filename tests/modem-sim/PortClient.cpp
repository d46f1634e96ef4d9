#include "PortClient.h"

#include <QDeadlineTimer>
#include <QRegularExpression>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

namespace {

bool endsWithFinalResult(const QByteArray& data)
{
    static const QRegularExpression finalResult(
        QStringLiteral("\r\n(OK|ERROR|NO CARRIER|\\+CM[ES] ERROR: [^\r\n]*)\r\n$|\r\n> $"));
    return finalResult.match(QString::fromLatin1(data)).hasMatch();
}

} // namespace

PortClient::PortClient(const QString& path) : m_path(path)
{
    reopen();
}

PortClient::~PortClient()
{
    if (m_fd >= 0)
        close(m_fd);
}

void PortClient::reopen()
{
    if (m_fd >= 0)
        close(m_fd);
    m_fd = open(m_path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    m_buffer.clear();
}

void PortClient::send(const QByteArray& bytes)
{
    qsizetype done = 0;
    const QDeadlineTimer deadline(kTimeoutMs);
    while (m_fd >= 0 && done < bytes.size() && !deadline.hasExpired()) {
        const ssize_t written = write(m_fd, bytes.constData() + done, static_cast<size_t>(bytes.size() - done));
        if (written > 0) {
            done += written;
            continue;
        }
        if (written < 0 && errno != EAGAIN && errno != EINTR)
            return;
        pollfd out{m_fd, POLLOUT, 0};
        poll(&out, 1, static_cast<int>(deadline.remainingTime()));
    }
}

QByteArray PortClient::ask(const QByteArray& line, int timeoutMs)
{
    send(line + '\r');
    return readAnswer(timeoutMs);
}

QByteArray PortClient::readAnswer(int timeoutMs)
{
    return readWhile([](const QByteArray& data) { return endsWithFinalResult(data); }, timeoutMs);
}

QByteArray PortClient::readUntil(const QByteArray& ending, int timeoutMs)
{
    return readWhile([&ending](const QByteArray& data) { return data.endsWith(ending); }, timeoutMs);
}

QList<QByteArray> PortClient::readArrivals(qsizetype count, int timeoutMs)
{
    QList<QByteArray> arrivals;
    qsizetype received = 0;
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && received < count && !deadline.hasExpired()) {
        pollfd in{m_fd, POLLIN, 0};
        if (poll(&in, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            continue;
        QByteArray bytes(count - received, '\0');
        const ssize_t got = read(m_fd, bytes.data(), static_cast<size_t>(bytes.size()));
        if (got <= 0)
            continue;
        bytes.truncate(got);
        received += got;
        arrivals.append(bytes);
    }
    return arrivals;
}

template <typename Done> QByteArray PortClient::readWhile(Done done, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_fd >= 0 && !done(m_buffer) && !deadline.hasExpired()) {
        pollfd in{m_fd, POLLIN, 0};
        if (poll(&in, 1, static_cast<int>(deadline.remainingTime())) <= 0)
            continue;
        // One byte at a time, so nothing that belongs to the next answer is taken early.
        char byte = 0;
        if (read(m_fd, &byte, 1) == 1)
            m_buffer.append(byte);
    }
    QByteArray answer;
    answer.swap(m_buffer);
    return answer;
}
