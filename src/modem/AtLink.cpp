#include "AtLink.h"

#include "AtParsers.h"
#include "GatewaySettings.h"

#include <QDeadlineTimer>
#include <QFileInfo>

#include <unistd.h>

using namespace Qt::StringLiterals;

namespace modem {

namespace {
const QString kCrLf = u"\r\n"_s;
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

AtLink::AtLink(QObject* parent) : QObject(parent), m_port(this)
{
    connect(&m_port, &QSerialPort::readyRead, this, &AtLink::onReadyRead);
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
    ModemConnected = true;
    return true;
}

bool AtLink::OpenPort()
{
    m_openFailure = OpenFailure::None;
    m_openFailureText.clear();
    if (m_port.isOpen()) {
        ModemConnected = true;
        return true;
    }
    if (m_port.open(QIODevice::ReadWrite)) {
        // Modems want DTR raised while the line is in use; a pseudo-terminal has no such
        // line and refuses, which is harmless.
        m_port.setDataTerminalReady(true);
        m_port.clearError();
        m_raw.clear();
        m_response.clear();
        m_heldBlank = false;
        ModemConnected = true;
        return true;
    }

    ModemConnected = false;
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
    if (m_port.isOpen()) {
        m_port.close();
        ModemConnected = false;
    }
    ModemInitialised = false;
    SendInProgress = false;
    ReceiveInProgress = false;
    ModemBusy = false;
    m_callRinging = false;
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

void AtLink::consumeInput()
{
    if (!m_port.isOpen())
        return;
    const QByteArray bytes = m_port.readAll();
    if (bytes.isEmpty())
        return;
    m_raw += bytes;
    takeLines();
}

void AtLink::takeLines()
{
    // Only whole lines are judged; a prompt ("> ") or a half line waits in m_raw and still
    // counts as part of the answer.
    qsizetype end;
    while ((end = m_raw.indexOf("\r\n")) >= 0) {
        const QString line = decode(m_raw.left(end));
        m_raw.remove(0, end + 2);
        if (line.isEmpty()) {
            if (m_heldBlank)
                m_response += kCrLf;
            m_heldBlank = true;
            continue;
        }
        if (isUnsolicitedLine(line, m_callRinging)) {
            // The blank line in front of it belongs to it (V.250 framing), not to the answer.
            m_heldBlank = false;
            Q_EMIT unsolicitedLine(line.trimmed());
            continue;
        }
        if (m_heldBlank)
            m_response += kCrLf;
        m_heldBlank = false;
        m_response += line + kCrLf;
    }
}

QString AtLink::responseText() const
{
    return m_response + (m_heldBlank ? kCrLf : QString()) + decode(m_raw);
}

bool AtLink::hasErrorLine(const QString& text) const
{
    // A final result code of failure: "ERROR", or an extended "+CMS ERROR: n" / "+CME ERROR: n".
    return text.contains(u"ERROR\r\n"_s) || text.contains(u"+CMS ERROR:"_s) || text.contains(u"+CME ERROR:"_s);
}

void AtLink::ClearResponseBuffer()
{
    m_response.clear();
    m_heldBlank = false;
    m_errorSeen = false;
}

QString AtLink::ReadResponse(const QString& expected, int waitMs)
{
    ModemBusy = true;
    const QString pattern = expected.trimmed().isEmpty() ? u"OK\r\n"_s : expected;
    QDeadlineTimer deadline(std::max(waitMs, 0));
    for (;;) {
        if (!ModemConnected || !m_port.isOpen()) {
            ModemBusy = false;
            return {};
        }
        consumeInput();
        const QString text = responseText();
        if (m_errorSeen)
            break;
        if (text.contains(pattern))
            break;
        if (hasErrorLine(text)) {
            m_errorSeen = true;
            break;
        }
        if (text.contains(u"NO CARRIER\r\n"_s))
            break;
        if (deadline.hasExpired() || m_abort)
            break;
        // Short slices, so that a request to end is noticed while a modem stays silent.
        m_port.waitForReadyRead(int(std::clamp<qint64>(deadline.remainingTime(), 1, 100)));
    }
    ModemBusy = false;
    // Once the modem has failed the command, the answer is that failure and nothing else.
    if (m_errorSeen)
        return u"ERROR"_s;
    return store::trimBlanks(responseText());
}

QString AtLink::SendCommand(const QString& command, int waitMs, const QString& expectedText, int retries,
                            const QString& failureMessage)
{
    ModemBusy = true;
    LastCommandSucceeded = true;
    const QString expected = expectedText.trimmed();
    int errors = 0;
    int empties = 0;
    int noCarriers = 0;
    int unexpected = 0;

    // What waits from before belongs to no one; rings in it still reach call handling.
    consumeInput();
    if (!m_port.isOpen()) {
        ModemConnected = false;
        Q_EMIT notice(kNotConnected);
        ModemBusy = false;
        return {};
    }
    ClearResponseBuffer();
    m_port.write(encode(command));
    m_port.waitForBytesWritten(std::max(waitMs, 100));

    QString answer = ReadResponse(expected, waitMs);
    // The first answer is not judged; the command is never written again.
    while (!answer.contains(expected) && errors < 3 && noCarriers < 2 && empties < retries + 1 && unexpected < 2) {
        answer = ReadResponse(expected, waitMs);
        if (answer.contains(u"ERROR"_s))
            ++errors;
        else if (answer.isEmpty() && !expected.isEmpty())
            ++empties;
        else if (answer.contains(u"NO CARRIER"_s))
            ++noCarriers;
        else if (!expected.isEmpty() && !answer.contains(expected))
            ++unexpected;
    }

    if (errors >= 3) {
        if (!failureMessage.trimmed().isEmpty())
            Q_EMIT notice(failureMessage);
        LastCommandSucceeded = false;
    }
    if (noCarriers >= 2) {
        Q_EMIT notice(u"Your modem probably does not support the dialing feature."_s);
        LastCommandSucceeded = false;
    }
    if (empties >= retries)
        LastCommandSucceeded = false;
    if (unexpected >= 2) {
        Q_EMIT logLine(u"Modem gives non expected response"_s + kCrLf + u"Command: "_s + command + kCrLf +
                       u"Expected response: "_s + expected + kCrLf + u"Returned response: "_s + answer);
        LastCommandSucceeded = false;
    }
    ModemBusy = false;
    return answer;
}

} // namespace modem
