#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// The terminal side of the simulated modem: the pty slave opened with plain POSIX calls, as a
// client program opens a serial port. Reads never wait longer than the deadline given.
class PortClient
{
public:
    static constexpr int kTimeoutMs = 3000;

    explicit PortClient(const QString& path);
    ~PortClient();
    PortClient(const PortClient&) = delete;
    PortClient& operator=(const PortClient&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    void reopen();
    void send(const QByteArray& bytes);

    // Writes the line with its CR and returns everything up to the final result code.
    QByteArray ask(const QByteArray& line, int timeoutMs = kTimeoutMs);
    // Everything read since the last answer, up to a final result code or the "> " prompt.
    QByteArray readAnswer(int timeoutMs = kTimeoutMs);
    // Everything read since the last answer, up to the given ending.
    QByteArray readUntil(const QByteArray& ending, int timeoutMs = kTimeoutMs);
    // The next `count` bytes as they arrived: one entry for each read that found bytes waiting.
    QList<QByteArray> readArrivals(qsizetype count, int timeoutMs = kTimeoutMs);

private:
    template <typename Done> QByteArray readWhile(Done done, int timeoutMs);

    QString m_path;
    int m_fd = -1;
    QByteArray m_buffer;
};
