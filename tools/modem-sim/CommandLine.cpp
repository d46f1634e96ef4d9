#include "CommandLine.h"

#include "CharacterSet.h"

namespace modemsim {

namespace {

bool isLetter(char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Manufacturers put their own commands behind other marks than "+" ("^", "$", "%", "*").
bool isExtendedPrefix(char c)
{
    return c == '+' || c == '^' || c == '$' || c == '%' || c == '*';
}

bool isNameCharacter(char c)
{
    return isLetter(c) || isDigit(c) || c == '!' || c == '%' || c == '-' || c == '.' || c == '/' || c == ':' ||
           c == '_';
}

// The byte a backslash and two hex digits at `at` stand for; -1 when that is not what is there.
int escapedByte(const QByteArray& text, qsizetype at)
{
    if (text[at] != '\\' || at + 2 >= text.size())
        return -1;
    const int high = CharacterSet::hexValue(text[at + 1]);
    const int low = CharacterSet::hexValue(text[at + 2]);
    return high < 0 || low < 0 ? -1 : high * 16 + low;
}

qsizetype digitsEnd(const QByteArray& line, qsizetype from)
{
    while (from < line.size() && isDigit(line[from]))
        ++from;
    return from;
}

} // namespace

std::optional<QList<Command>> CommandLine::split(const QByteArray& body)
{
    QByteArray line;
    bool inString = false;
    for (const char c : body) {
        if (c == '"')
            inString = !inString;
        if (c == ' ' && !inString)
            continue;
        line.append(c);
    }
    if (inString)
        return std::nullopt;

    QList<Command> commands;
    const qsizetype size = line.size();
    qsizetype i = 0;
    while (i < size) {
        if (line[i] == ';') {
            ++i;
            continue;
        }
        Command command;
        const qsizetype start = i;
        const char first = line[i];
        if (isExtendedPrefix(first)) {
            qsizetype j = i + 1;
            while (j < size && isNameCharacter(line[j]))
                ++j;
            if (j == i + 1)
                return std::nullopt;
            command.name = line.mid(i, j - i).toUpper();
            if (line.mid(j, 2) == "=?") {
                command.form = Command::Test;
                j += 2;
            } else if (j < size && line[j] == '?') {
                command.form = Command::Read;
                ++j;
            } else if (j < size && line[j] == '=') {
                command.form = Command::Set;
                const qsizetype from = ++j;
                bool quoted = false;
                while (j < size && (quoted || line[j] != ';')) {
                    if (line[j] == '"')
                        quoted = !quoted;
                    ++j;
                }
                command.arguments = line.mid(from, j - from);
            }
            if (j < size && line[j] != ';')
                return std::nullopt;
            i = j;
        } else if (isLetter(first) || first == '&') {
            qsizetype j = i;
            if (first == '&') {
                ++j;
                if (j >= size || !isLetter(line[j]))
                    return std::nullopt;
            }
            const char letter = static_cast<char>(line[j] & ~0x20);
            ++j;
            if (first != '&' && letter == 'S') {
                const qsizetype end = digitsEnd(line, j);
                if (end == j)
                    return std::nullopt;
                command.name = "S" + line.mid(j, end - j);
                j = end;
                if (j < size && line[j] == '?') {
                    command.form = Command::Read;
                    ++j;
                } else if (j < size && line[j] == '=') {
                    command.form = Command::Set;
                    const qsizetype valueEnd = digitsEnd(line, ++j);
                    command.arguments = line.mid(j, valueEnd - j);
                    j = valueEnd;
                } else {
                    return std::nullopt;
                }
            } else if (first != '&' && letter == 'D') {
                // A dial string takes the rest of the line, its own ";" included.
                command.name = "D";
                command.arguments = line.mid(j);
                j = size;
            } else {
                command.name = first == '&' ? QByteArray("&") + letter : QByteArray(1, letter);
                const qsizetype end = digitsEnd(line, j);
                command.arguments = line.mid(j, end - j);
                j = end;
                if (j < size && line[j] == '?') {
                    command.form = Command::Read;
                    ++j;
                }
            }
            i = j;
        } else {
            return std::nullopt;
        }
        command.text = line.mid(start, i - start);
        commands.append(command);
    }
    return commands;
}

std::optional<QList<Argument>> CommandLine::arguments(const QByteArray& text)
{
    QList<Argument> arguments;
    if (text.isEmpty())
        return arguments;
    Argument current;
    bool inString = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (inString) {
            if (c == '"') {
                inString = false;
            } else if (const int escaped = escapedByte(text, i); escaped >= 0) {
                // Strings carry awkward bytes as a backslash and two hex digits.
                current.value.append(static_cast<char>(escaped));
                i += 2;
            } else {
                current.value.append(c);
            }
        } else if (c == '"') {
            inString = true;
            current.quoted = true;
        } else if (c == ',') {
            arguments.append(current);
            current = {};
        } else {
            current.value.append(c);
        }
    }
    if (inString)
        return std::nullopt;
    arguments.append(current);
    return arguments;
}

std::optional<QList<std::optional<int>>> CommandLine::integers(const QByteArray& text)
{
    const auto given = arguments(text);
    if (!given)
        return std::nullopt;
    QList<std::optional<int>> values;
    for (const Argument& argument : *given) {
        if (argument.isEmpty()) {
            values.append(std::nullopt);
            continue;
        }
        if (argument.quoted)
            return std::nullopt;
        bool ok = false;
        const int value = argument.value.toInt(&ok);
        if (!ok)
            return std::nullopt;
        values.append(value);
    }
    return values;
}

} // namespace modemsim
