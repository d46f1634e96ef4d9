#include "SmsTextEdit.h"

namespace ui {

SmsTextEdit::SmsTextEdit(int maxLength, QWidget* parent) : QPlainTextEdit(parent), m_maxLength(maxLength)
{
    setTabChangesFocus(true);
    connect(this, &QPlainTextEdit::textChanged, this, &SmsTextEdit::limitLength);
}

void SmsTextEdit::limitLength()
{
    const QString text = toPlainText();
    if (text.size() <= m_maxLength)
        return;
    QSignalBlocker block(this);
    setPlainText(text.left(m_maxLength));
    moveCursor(QTextCursor::End);
}

} // namespace ui
