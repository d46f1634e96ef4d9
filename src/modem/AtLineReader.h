#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace modem {

// How a line ends an AT command (ITU-T V.250 5.7, 3GPP TS 27.007 9.2, TS 27.005 3.2.5).
enum class FinalResult
{
    None,
    Ok,
    Error,
    CmsError,
    CmeError,
    NoCarrier
};

// The final result a whole line stands for; None for any other line. Only the whole line
// counts: "Card payment ERROR" or "OK see you at 5" are text, not results.
FinalResult finalResultOf(QStringView line);

// Cuts the modem's output into lines, whatever size the pieces arrive in. Pure: no I/O, so it
// can be fed any byte sequence in tests.
class AtLineReader
{
public:
    void feed(const QByteArray& bytes);
    // The next whole line without its CR LF, or nothing while only part of one has arrived.
    std::optional<QByteArray> takeLine();
    // The "> " that asks for a message text (TS 27.005 3.5.1: CR LF > space) has arrived and
    // nothing after it. Taking it consumes it.
    bool takePrompt();
    // Bytes received that are not yet a whole line.
    const QByteArray& partial() const { return m_buffer; }
    bool isEmpty() const { return m_buffer.isEmpty(); }
    void clear() { m_buffer.clear(); }

private:
    QByteArray m_buffer;
};

// A line the modem sends on its own, not as part of an answer: a ring, the caller's number,
// a new-message notice. "NO CARRIER" is one only while a call is ringing.
bool isUnsolicitedLine(QStringView line, bool callRinging);

} // namespace modem
