#pragma once

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

namespace modemsim {

class AtInterpreter;

// What the next matching commands get instead of their normal answer. Such a command is not
// carried out (a Delay one is, and answers late). For +CMGS and +CMGW the prompt is still given
// and the text taken; the behaviour then replaces the answer to the text, as a network failure
// would.
struct Behaviour
{
    enum Kind
    {
        Ok,
        Error,
        CmsError,
        CmeError,
        Silence,
        NoCarrier,
        Delay
    };
    Kind kind = Ok;
    int times = 1;   // how many matching commands this applies to; below 0: all until cleared
    int code = 0;    // for CmsError / CmeError: the error number
    int delayMs = 0; // for Delay: answer normally, but only after this many ms
};

struct SimMessage
{
    int index = 0;
    QString status; // "REC UNREAD", "REC READ", "STO UNSENT" or "STO SENT"
    QString sender; // the originator of a received message, the recipient of a stored one
    QString text;
    QDateTime timestamp;
};

struct SentMessage
{
    QString number;
    QString text;
    int reference = 0;
    bool fromStorage = false; // sent with +CMSS rather than +CMGS
};

// A GSM modem in SMS text mode behind a pseudo-terminal, for tests and demonstrations. A client
// opens portName() like a serial port; the simulator answers from its own thread. Every method
// may be called from any thread.
//
// Setting TARVOGATE_MODEM_SIM_TRACE=1 in the environment copies the traffic to standard error.
class ModemSimulator
{
public:
    ModemSimulator();
    ~ModemSimulator();
    ModemSimulator(const ModemSimulator&) = delete;
    ModemSimulator& operator=(const ModemSimulator&) = delete;

    bool start(QString* error = nullptr);
    void stop();
    QString portName() const;

    // Also sets the echo now, so it can be called before the client arrives.
    void setEchoAtPowerUp(bool on);
    void setIdentity(const QString& manufacturer, const QString& model, const QString& revision, const QString& imei);
    // Messages in slots beyond the new capacity are dropped.
    void setSimCapacity(int slots);

    // Returns the SIM index (1-based, lowest free), -1 when the SIM is full or the status unknown.
    int addMessage(const QString& status, const QString& sender, const QString& text, const QDateTime& timestamp = {});
    // Stored as REC UNREAD and announced with +CMTI when +CNMI asked for it. With +CNMI <mt> 2
    // in text mode the message goes straight to the terminal as +CMT and 0 is returned.
    // -1 when the SIM is full; nothing reaches the port then.
    int injectIncomingSms(const QString& sender, const QString& text);
    QList<SimMessage> simMessages() const;

    // "RING", then "+CLIP: ..." when the client enabled it; the call shows in +CLCC until
    // hangUp(), ATH or +CHUP.
    void ring(const QString& number, int type = 145);
    // "NO CARRIER" (also without a call, so a test can provoke it); the call is gone.
    void hangUp();
    void sendUnsolicited(const QString& text);

    // Prefix compared case-insensitively with each command of a line ("+CLIP", "E0") and with
    // the whole line after "AT"; "" matches every command including plain AT. Scripts queue in
    // order; the first one that matches is used.
    void script(const QString& commandPrefix, Behaviour behaviour);
    void clearScripts();

    QStringList receivedCommands() const;
    void clearReceivedCommands();
    QList<SentMessage> sentMessages() const;
    bool waitForCommand(const QString& commandPrefix, int timeoutMs) const;

private:
    void serve();
    void flushOutputLocked();
    void wake();
    void speakUnprompted(const std::function<void(AtInterpreter&)>& action);
    void trace(QByteArray& pending, const char* direction, const QByteArray& bytes, bool complete);
    void closeDescriptors();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_commandArrived;
    std::unique_ptr<AtInterpreter> m_interpreter;
    QByteArray m_pendingOutput;
    std::thread m_thread;
    std::atomic<bool> m_stopping = false;
    int m_master = -1;
    int m_slave = -1;
    int m_wakeRead = -1;
    int m_wakeWrite = -1;
    QString m_portName;
    bool m_trace = false;
    QByteArray m_traceIn;
    QByteArray m_traceOut;
};

} // namespace modemsim
