#pragma once

#include <QObject>
#include <QSerialPort>
#include <QString>

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

// The serial link to the modem and the one AT command exchange everything else uses.
//
// Lines are read as they come. Lines the modem sends on its own (a ring, the caller's number,
// a new-message notice) are taken out of the answer and handed on at once through
// unsolicitedLine, also in the middle of an exchange, so they neither get lost nor make the
// exchange fail. A wait ends as soon as the expected text or an error has arrived, and never
// later than the wait given.
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

    // Writes the command once and waits for its answer with the retry and failure rules of
    // the exchange; returns the answer trimmed of spaces (line breaks kept), maybe empty.
    QString SendCommand(const QString& command, int waitMs, const QString& expected, int retries,
                        const QString& failureMessage);
    // Waits up to waitMs for more of the current answer, until it holds the expected text (or
    // "OK" CR LF when none is given) or an error; returns everything received since the
    // exchange began.
    QString ReadResponse(const QString& expected, int waitMs);
    void ClearResponseBuffer();

    // Text sent and received is Latin-1 unless the modem was told to use UTF-8.
    void setCharacterSet(const QString& characterSet);
    // While a call rings, "NO CARRIER" means the caller hung up rather than a command failed.
    void setCallRinging(bool ringing) { m_callRinging = ringing; }
    // The program is ending: every wait in progress or to come ends at once. The one call
    // that may come from another thread, so that leaving never waits for a silent modem.
    void requestAbort() { m_abort = true; }
    bool isAborting() const { return m_abort; }

    QString LastModemResponse;
    bool LastCommandSucceeded = true;
    bool ModemConnected = false;
    bool ModemInitialised = false;
    bool ModemBusy = false;
    bool SendInProgress = false;
    bool ReceiveInProgress = false;

Q_SIGNALS:
    void unsolicitedLine(const QString& line);
    // A message for the operator (an OK box); the engine does not wait for it.
    void notice(const QString& text);
    // A line for the activity log.
    void logLine(const QString& message);

private:
    void onReadyRead();
    void consumeInput();
    void takeLines();
    QString responseText() const;
    bool hasErrorLine(const QString& text) const;
    QByteArray encode(const QString& text) const;
    QString decode(const QByteArray& bytes) const;

    QSerialPort m_port;
    QString m_portPath; // as configured; QSerialPort keeps only the short name
    OpenFailure m_openFailure = OpenFailure::None;
    QString m_openFailureText;
    QByteArray m_raw;         // received bytes not yet split into lines
    QString m_response;       // the current answer, unsolicited lines taken out
    bool m_heldBlank = false; // a blank line that belongs to the next line (dropped with it if unsolicited)
    bool m_errorSeen = false;
    bool m_utf8 = false;
    bool m_callRinging = false;
    std::atomic<bool> m_abort = false;
};

} // namespace modem
