#pragma once

#include <QPlainTextEdit>

class QLabel;

namespace ui {

// How long a text is as the store keeps it (a line break is CR LF, two characters) and how many
// SMS the gateway makes of it when sending.
struct SmsCount
{
    int characters = 0;
    int parts = 0;
};
SmsCount countSms(const QString& storedText);

// A text box for an SMS. It counts what the store will hold, not what the box shows: the box
// separates lines with one LF, the store and the modem see CR LF. A maximum, when given, refuses
// input beyond it, also when text is pasted or set; without one the text may run over several SMS.
class SmsTextEdit final : public QPlainTextEdit
{
    Q_OBJECT

public:
    // maxLength 0: no limit.
    explicit SmsTextEdit(int maxLength = 0, QWidget* parent = nullptr);

    int maxLength() const { return m_maxLength; }

    // The text with CR LF line breaks, as it is stored and sent.
    QString storedText() const;
    // Shows a stored text (CR LF line breaks) as the box writes it.
    void setStoredText(const QString& text);

    SmsCount count() const { return countSms(storedText()); }
    // "12 characters, 1 SMS", or with a maximum "12 of 160 characters, 1 SMS".
    QString countText() const;
    // A label beside the box that always shows countText().
    QLabel* makeCounter(QWidget* parent);

Q_SIGNALS:
    void countChanged(const QString& countText);

private:
    void limitLength();

    int m_maxLength;
};

} // namespace ui
