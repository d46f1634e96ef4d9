#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QStringList>

#include "AtLineReader.h"

#include <atomic>

namespace modem {

// Why a port did not open, in terms a person can act on.
enum class OpenFailure
{
    None,
    NotFound,
    Permission,
    InUse,
    Other
};

// The text the operator reads for a failed open; NotFound is a question (Yes opens the
// settings), the others are plain messages.
QString openFailureText(OpenFailure failure, const QString& portPath, const QString& detail);

// Reads the line settings "bits per second,parity letter,data bits,stop bits", for example
// "115200,n,8,1". Returns false when a part is not understood.
struct LineSettings
{
    qint32 baudRate = 115200;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
};
bool parseLineSettings(const QString& text, LineSettings& settings);

// One exchange's answer as the modem framed it.
struct AtAnswer
{
    QStringList lines; // information lines; the command's echo, blank and unsolicited lines left out
    FinalResult final = FinalResult::None;
    QString finalLine; // "OK", "ERROR", "+CMS ERROR: 500", ... as the modem wrote it
    bool prompt = false;
    // The exchange's rules (retries, three errors, empty reads) found it succeeded.
    bool succeeded = false;

    bool received() const { return !lines.isEmpty() || final != FinalResult::None || prompt; }
    bool isError() const
    {
        return final == FinalResult::Error || final == FinalResult::CmsError || final == FinalResult::CmeError;
    }
    bool hasLineStartingWith(QStringView prefix) const;
    // The first information line starting with the prefix, or an empty text.
    QString lineStartingWith(QStringView prefix) const;
    // The answer written out the way the modem framed it (CR LF around each line), for the
    // trace lines of the log and the readers of whole answers.
    QString text() const;
};

// The serial link to the modem and the one AT command exchange everything else uses.
//
// The modem's output is cut into lines before anything looks at it. An exchange ends only on
// a whole final-result line or, where one is expected, the "> " prompt, so a message text can
// never end or fail a command. Lines the modem sends on its own (a ring, the caller's number,
// a new-message notice) are handed on at once through unsolicitedLine, also in the middle of
// an exchange. Whatever arrives outside an exchange is drained before the next command and
// logged, never taken as an answer.
class AtLink final : public QObject
{
    Q_OBJECT

public:
    explicit AtLink(QObject* parent = nullptr);
    ~AtLink() override;

    // Prepares the port without opening it. Refused (with the operator's message) while the
    // port is open.
    bool ConfigurePort(const QString& portPath, const LineSettings& settings, QSerialPort::FlowControl flow);
    // Opens the configured port; on failure the reason is in lastOpenFailure().
    bool OpenPort();
    // Closes the port and resets the link state.
    void ClosePort();
    bool isOpen() const;
    QString portPath() const { return m_portPath; }
    OpenFailure lastOpenFailure() const { return m_openFailure; }
    QString lastOpenFailureText() const { return m_openFailureText; }

    // The port is configured and open ("Connect" done).
    bool isConnected() const { return m_connected; }
    // The start-up sequence went through.
    bool isInitialised() const { return m_initialised; }
    void setInitialised(bool initialised) { m_initialised = initialised; }

    // Writes the command once and waits for its answer with the exchange's rules: a read ends
    // at the final result (or the prompt when "> " is expected) and never waits longer than
    // waitMs; three error answers fail it (showing failureMessage when there is one), as do
    // retries empty reads, two NO CARRIER or two answers without the expected result.
    AtAnswer SendCommand(const QString& command, int waitMs, const QString& expected, int retries,
                         const QString& failureMessage);
    // A message text after the prompt, ended by Ctrl-Z; its echo is not taken as an answer.
    AtAnswer sendMessageText(const QString& text, int waitMs, int retries, const QString& failureMessage);
    // Goes on waiting, at most waitMs, for the final result of the exchange in progress.
    AtAnswer awaitFinal(int waitMs);
    // Gives up whatever the modem may still wait for (a prompt that came late, a text it
    // never confirmed) with ESC, waits until the line has been quiet for quietMs (at most
    // maxMs) and drains what came; a prompt in it is escaped too.
    void escapeAndDrain(int quietMs, int maxMs);

    // Input that arrived outside an exchange and waits to be drained.
    bool hasUnclaimedInput() const { return !m_stale.isEmpty() || !m_reader.isEmpty(); }

    // Text sent and received is Latin-1 unless the modem was told to use UTF-8.
    void setCharacterSet(const QString& characterSet);
    // While a call rings, "NO CARRIER" means the caller hung up rather than a command failed.
    void setCallRinging(bool ringing) { m_callRinging = ringing; }
    // The program is ending: every wait in progress or to come ends at once. The one call
    // that may come from another thread, so that leaving never waits for a silent modem.
    void requestAbort() { m_abort = true; }
    bool isAborting() const { return m_abort; }

Q_SIGNALS:
    void unsolicitedLine(const QString& line);
    // A message for the operator (an OK box); the engine does not wait for it.
    void notice(const QString& text);
    // A line for the activity log.
    void logLine(const QString& message);
    // The device went away (unplugged, powered off): the port has been closed.
    void portLost();

private:
    enum class Want
    {
        Final,
        Prompt,
        Anything
    };
    void onReadyRead();
    void onPortError(QSerialPort::SerialPortError error);
    // Reads what waits and frames it; true when anything arrived.
    bool consumeInput();
    void handleLine(const QString& line);
    bool satisfied(Want want) const;
    // One read: until the wanted answer, an error or NO CARRIER has arrived, or waitMs.
    // Returns whether any input came during it.
    bool waitFor(Want want, int waitMs);
    // Reads until nothing has come for quietMs, at most maxMs.
    void waitUntilQuiet(int quietMs, int maxMs);
    void beginExchange(const QString& echo);
    void endExchange();
    // Input that arrived outside an exchange goes to the log, not to the next answer.
    void drainStale(const QString& before);
    AtAnswer runExchange(const QByteArray& bytes, const QString& echo, int waitMs, const QString& expected,
                         int retries, const QString& failureMessage, const QString& commandForLog);
    QByteArray encode(const QString& text) const;
    QString decode(const QByteArray& bytes) const;

    QSerialPort m_port;
    QString m_portPath; // as configured; QSerialPort keeps only the short name
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_openFailureText;
    AtLineReader m_reader;
    bool m_inExchange = false;
    AtAnswer m_answer;    // the exchange in progress
    QString m_echo;       // the command of the exchange, as an echo would repeat it
    bool m_bodyNext = false; // the next line is a message's text, never a result or a call
    QStringList m_stale;  // lines nobody asked for, logged before the next command
    qint64 m_bytesReceived = 0;
    bool m_partialIsStale = false; // the line being received began before the current command
    bool usable() const { return m_port.isOpen() && !m_lost; }
    bool m_lost = false; // the device went away; the port closes from the event loop
    bool m_connected = false;
    bool m_initialised = false;
    bool m_utf8 = false;
    bool m_callRinging = false;
    std::atomic<bool> m_abort = false;
};

} // namespace modem
