#include "AtLineReader.h"

using namespace Qt::StringLiterals;

namespace modem {

namespace {

// A modem never sends a line this long (a PDU line is at most 2 x 176 hex digits); a line
// without an end must not eat the memory, so it is cut here and judged as text.
constexpr qsizetype kMaxLineLength = 64 * 1024;

} // namespace

FinalResult finalResultOf(QStringView line)
{
    const QStringView text = line.trimmed();
    if (text == u"OK")
        return FinalResult::Ok;
    if (text == u"ERROR")
        return FinalResult::Error;
    if (text == u"NO CARRIER")
        return FinalResult::NoCarrier;
    if (text.startsWith(u"+CMS ERROR:"))
        return FinalResult::CmsError;
    if (text.startsWith(u"+CME ERROR:"))
        return FinalResult::CmeError;
    return FinalResult::None;
}

void AtLineReader::feed(const QByteArray& bytes)
{
    m_buffer += bytes;
}

std::optional<QByteArray> AtLineReader::takeLine()
{
    const qsizetype end = m_buffer.indexOf("\r\n");
    if (end < 0) {
        if (m_buffer.size() <= kMaxLineLength)
            return std::nullopt;
        QByteArray line = m_buffer.left(kMaxLineLength);
        m_buffer.remove(0, kMaxLineLength);
        return line;
    }
    QByteArray line = m_buffer.left(end);
    m_buffer.remove(0, end + 2);
    // A bare CR left over (an echoed command ends with one) is not part of the line's text.
    while (line.endsWith('\r'))
        line.chop(1);
    while (line.startsWith('\r'))
        line.remove(0, 1);
    return line;
}

bool AtLineReader::takePrompt()
{
    // The prompt is the only thing a modem sends without a line end; what precedes it in the
    // buffer can only be the CR LF that opens it.
    QByteArray rest = m_buffer;
    while (rest.startsWith("\r\n"))
        rest.remove(0, 2);
    if (rest != "> " && rest != ">")
        return false;
    m_buffer.clear();
    return true;
}

bool isUnsolicitedLine(QStringView line, bool callRinging)
{
    const QStringView text = line.trimmed();
    if (text == u"RING" || text.startsWith(u"+CRING:") || text.startsWith(u"+CMTI:") || text.startsWith(u"+CDSI:"))
        return true;
    // "+CLIP: 1,1" answers "AT+CLIP?"; only the quoted number form comes unasked.
    if (text.startsWith(u"+CLIP: \""))
        return true;
    return callRinging && text == u"NO CARRIER";
}

} // namespace modem
