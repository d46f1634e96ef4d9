#pragma once

#include <QDeadlineTimer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>

namespace testing_support {

// A POP3 server of the test's own on a loopback port, for what the real test servers cannot be
// made to do (stall, trickle, give a number to another message). It greets, offers USER and
// UIDL but no STLS, lets anyone in, and hands every command line to the test's script; it
// records each line it receives. Connections are served one after another for 30 s at most.
class ScriptedPop3
{
public:
    // Answers one command line on the server's thread; false: the script has nothing to say to
    // it, and the server answers "+OK" (CAPA and QUIT get their usual answers).
    using Script = std::function<bool(QTcpSocket& peer, const QByteArray& line)>;

    explicit ScriptedPop3(Script script) : m_script(std::move(script))
    {
        m_thread = std::thread([this] { serve(); });
        m_port = m_portPromise.get_future().get();
    }
    ~ScriptedPop3()
    {
        m_done = true;
        m_thread.join();
    }
    ScriptedPop3(const ScriptedPop3&) = delete;
    ScriptedPop3& operator=(const ScriptedPop3&) = delete;

    int port() const { return m_port; }
    QStringList received() const
    {
        std::lock_guard lock(m_mutex);
        return m_received;
    }
    // Waits until a line starting with `prefix` has come in.
    bool waitForLine(const QString& prefix, int timeoutMs) const
    {
        std::unique_lock lock(m_mutex);
        return m_lineCame.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
            return std::ranges::any_of(m_received, [&](const QString& line) { return line.startsWith(prefix); });
        });
    }
    // The test is over: a script that holds a connection open lets go.
    bool finishing() const { return m_done; }

    static void answer(QTcpSocket& peer, const QByteArray& text)
    {
        peer.write(text);
        while (peer.bytesToWrite() > 0 && peer.waitForBytesWritten(1000)) {
        }
    }

private:
    void serve()
    {
        QTcpServer server;
        server.listen(QHostAddress::LocalHost);
        m_portPromise.set_value(server.serverPort());
        const QDeadlineTimer deadline(30000);
        while (!m_done && !deadline.hasExpired()) {
            if (!server.waitForNewConnection(50))
                continue;
            std::unique_ptr<QTcpSocket> peer(server.nextPendingConnection());
            talk(*peer, deadline);
        }
    }
    void talk(QTcpSocket& peer, const QDeadlineTimer& deadline)
    {
        answer(peer, "+OK ready\r\n");
        while (!m_done && !deadline.hasExpired() && peer.state() == QAbstractSocket::ConnectedState) {
            if (!peer.canReadLine()) {
                peer.waitForReadyRead(50);
                continue;
            }
            const QByteArray line = peer.readLine().trimmed();
            {
                std::lock_guard lock(m_mutex);
                m_received << QString::fromLatin1(line);
            }
            m_lineCame.notify_all();
            if (m_script(peer, line))
                continue;
            const QByteArray command = line.split(' ').value(0).toUpper();
            if (command == "CAPA") {
                answer(peer, "+OK\r\nUSER\r\nUIDL\r\n.\r\n");
            } else if (command == "QUIT") {
                answer(peer, "+OK\r\n");
                return;
            } else {
                answer(peer, "+OK\r\n");
            }
        }
    }

    Script m_script;
    std::thread m_thread;
    std::promise<int> m_portPromise;
    int m_port = 0;
    std::atomic<bool> m_done = false;
    mutable std::mutex m_mutex;
    mutable std::condition_variable m_lineCame;
    QStringList m_received;
};

} // namespace testing_support
