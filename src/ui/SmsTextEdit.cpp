#include "SmsTextEdit.h"

#include "AtParsers.h"

#include <QLabel>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// The box knows only LF; a pasted CR or CR LF is one line break like any other.
QString withLineFeeds(const QString& text)
{
    return QString(text).replace(u"\r\n"_s, u"\n"_s).replace(u'\r', u'\n');
}

// How much of the box's text fits into maxLength stored characters, a line break counting two;
// a character outside the basic plane is never cut in half.
qsizetype fittingLength(const QString& text, int maxLength)
{
    qsizetype stored = 0;
    qsizetype kept = 0;
    while (kept < text.size()) {
        const bool pair = text.at(kept).isHighSurrogate() && kept + 1 < text.size();
        const qsizetype width = text.at(kept) == u'\n' ? 2 : (pair ? 2 : 1);
        if (stored + width > maxLength)
            break;
        stored += width;
        kept += pair ? 2 : 1;
    }
    return kept;
}

} // namespace

SmsCount countSms(const QString& storedText)
{
    // The same cut the modem link makes when it sends, so the count is what goes out.
    return {int(storedText.size()), int(modem::smsParts(storedText).size())};
}

SmsTextEdit::SmsTextEdit(int maxLength, QWidget* parent) : QPlainTextEdit(parent), m_maxLength(maxLength)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, [this] {
        limitLength();
        Q_EMIT countChanged(countText());
    });
}

QString SmsTextEdit::storedText() const
{
    return withLineFeeds(toPlainText()).replace(u"\n"_s, u"\r\n"_s);
}

void SmsTextEdit::setStoredText(const QString& text)
{
    setPlainText(withLineFeeds(text));
}

QString SmsTextEdit::countText() const
{
    const SmsCount sms = count();
    const QString characters = m_maxLength > 0       ? u"%1 of %2 characters"_s.arg(sms.characters).arg(m_maxLength)
                               : sms.characters == 1 ? u"1 character"_s
                                                     : u"%1 characters"_s.arg(sms.characters);
    return u"%1, %2 SMS"_s.arg(characters).arg(sms.parts);
}

QLabel* SmsTextEdit::makeCounter(QWidget* parent)
{
    auto* counter = new QLabel(countText(), parent);
    counter->setObjectName(u"lblCount"_s);
    connect(this, &SmsTextEdit::countChanged, counter, &QLabel::setText);
    return counter;
}

void SmsTextEdit::limitLength()
{
    if (m_maxLength <= 0)
        return;
    const QString text = withLineFeeds(toPlainText());
    const qsizetype kept = fittingLength(text, m_maxLength);
    if (kept >= text.size())
        return;
    const int cursorAt = textCursor().position();
    QSignalBlocker block(this);
    setPlainText(text.left(kept));
    // The cursor stays where the operator was typing, as far as the text still reaches.
    QTextCursor cursor = textCursor();
    cursor.setPosition(std::min<int>(cursorAt, int(kept)));
    setTextCursor(cursor);
}

} // namespace ui
