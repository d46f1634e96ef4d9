#pragma once

#include <QString>

class QWidget;

namespace ui {

class Dialogs;

// Whether a typed text reads as a number the way people write numbers: blanks around it, a
// sign, a currency sign, thousands commas, a decimal point, an exponent. The time fields accept
// such a number first and then refuse the signs and commas one by one, each with its own
// message.
bool isNumeric(const QString& text);
// Its value with the currency sign, the commas and the blanks left out; 0 when not numeric.
double numericValue(const QString& text);
// The message for a time typed into the receive or the send timer field, or the empty text.
QString timeFieldProblem(const QString& text, bool receiveField);

// Brings the tab that holds the field to the front and puts the focus in the field.
void bringForward(QWidget* field);
// A save's refusal: the message (OK only), then the field brought forward.
void refuseField(Dialogs& dialogs, QWidget* field, const QString& text);

} // namespace ui
