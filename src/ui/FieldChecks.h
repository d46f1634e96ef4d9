#pragma once

#include <QString>

namespace ui {

// Whether a typed text reads as a number the way people write numbers: blanks around it, a
// sign, a currency sign, thousands commas, a decimal point, an exponent. The time fields accept
// such a number first and then refuse the signs and commas one by one, each with its own
// message.
bool isNumeric(const QString& text);
// Its value with the currency sign, the commas and the blanks left out; 0 when not numeric.
double numericValue(const QString& text);
// The message for a time typed into the receive or the send timer field, or the empty text.
QString timeFieldProblem(const QString& text, bool receiveField);

} // namespace ui
