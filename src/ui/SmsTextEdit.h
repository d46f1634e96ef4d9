#pragma once

#include <QPlainTextEdit>

namespace ui {

// A text box for one SMS: it refuses input beyond its maximum length, also when text is
// pasted or set.
class SmsTextEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    explicit SmsTextEdit(int maxLength = 160, QWidget* parent = nullptr);
    int maxLength() const { return m_maxLength; }

private:
    void limitLength();

    int m_maxLength;
};

} // namespace ui
