#pragma once

#include <QString>

#include <optional>

// The small text rules every layer shares, kept apart so that trimming a reply or checking a
// number does not pull in the settings.
namespace store {

// "trim" removes leading and trailing blanks only, never tabs or line breaks.
QString trimBlanks(const QString& text);

// A TCP port as typed or stored: a whole number from 1 to 65535, white space around it allowed.
// Anything else ("995.0", "1,10", "-5") is no port, rather than a different one.
std::optional<int> portNumber(const QString& text);

// A number an SMS can go to: digits with an optional leading "+".
bool isSendableNumber(const QString& number);

} // namespace store
