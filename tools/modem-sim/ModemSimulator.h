#pragma once

#include "Chunker.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace modemsim {

class AtInterpreter;

// What the next matching commands get instead of their normal answer. Such a command is not
// carried out (a Delay, LatePrompt or Swallow one is). For +CMGS and +CMGW the prompt is still
// given and the text taken; the behaviour then replaces the answer to the text, as a network
// failure would (RefusePrompt and LatePrompt act on the command line instead).
struct Behaviour
{
    enum Kind
    {
        Ok,
        Error,
        CmsError,
        CmeError,
        // No answer at all. On +CMGS the text is taken but the message never leaves: it is not in
        // sentMessages().
        Silence,
        NoCarrier,
        Delay,
        // ERROR, or +CMS ERROR: code when code > 0, for the command line itself: no prompt, and a
        // text sent without waiting for one is thrown away up to its Ctrl-Z.
        RefusePrompt,
        // The prompt comes only after delayMs. What arrives meanwhile is held and read after the
        // prompt: an ESC then cancels the text, a text with Ctrl-Z is taken. On other commands it
        // is a Delay.
        LatePrompt,
        // The command is carried out but its answer is lost: a +CMGS or +CMSS message is sent (it
        // is in sentMessages()), a +CMGW one stored, and no +CMGS / +CMSS / +CMGW line or result
        // code comes back. This is the confirmation that never arrives.
        Swallow
    };
    Kind kind = Ok;
    int times = 1;   // how many matching commands this applies to; below 0: all until cleared
    int code = 0;    // for CmsError / CmeError / RefusePrompt: the error number
    int delayMs = 0; // for Delay: answer normally, but only after this many ms; for LatePrompt: the prompt's wait
    int skip = 0;    // this many matching commands pass normally first
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

// A GSM modem behind a pseudo-terminal, in SMS text or PDU mode, for tests and demonstrations. A client
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
    // the message goes straight to the terminal as +CMT (text or PDU) and 0 is returned.
    // -1 when the SIM is full; nothing reaches the port then.
    int injectIncomingSms(const QString& sender, const QString& text);
    // A message too long for one SMS, split the way a phone splits it: 153 septets or 67 UCS2 characters a
    // part (152 and 66 with a 16-bit reference), an escape pair or a surrogate pair never cut. Each part is
    // stored as REC UNREAD with a concatenation header in its own slot; only the parts numbered (from 1) in
    // `onlyParts` when it is not empty, so a test can hold parts back. Returns the slot of each part stored,
    // -1 for a part the SIM had no room for; empty when the text needs more than 255 parts. Text mode shows
    // each part's text without the header, as many modems do.
    QList<int> addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                      bool sixteenBitReference = false, const QList<int>& onlyParts = {},
                                      const QDateTime& timestamp = {});
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

    // Every byte the modem sends from now on (echo, answers, prompts, unsolicited lines) reaches the
    // port in pieces of 1 to maxChunkBytes bytes with 0 to maxDelayMs ms after each, drawn from a
    // std::mt19937 seeded with `seed`; the same seed cuts the same answer the same way. maxChunkBytes
    // 0 sends everything at once again (the default).
    void setChunking(quint32 seed, int maxChunkBytes, int maxDelayMs);

    QStringList receivedCommands() const;
    void clearReceivedCommands();
    QList<SentMessage> sentMessages() const;
    bool waitForCommand(const QString& commandPrefix, int timeoutMs) const;

private:
    void serve();
    void flushOutputLocked();
    void writeOutputLocked();
    void wake();
    void speakUnprompted(const std::function<void(AtInterpreter&)>& action);
    void trace(QByteArray& pending, const char* direction, const QByteArray& bytes, bool complete);
    void closeDescriptors();

    mutable std::mutex m_mutex;
    mutable std::condition_variable m_commandArrived;
    std::unique_ptr<AtInterpreter> m_interpreter;
    QByteArray m_pendingOutput;
    std::optional<Chunker> m_chunker;
    int m_pieceLeft = 0;
    int m_pieceDelayMs = 0;
    std::chrono::steady_clock::time_point m_nextPieceAt;
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
