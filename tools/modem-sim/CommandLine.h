#pragma once

#include <QByteArray>
#include <QList>

#include <optional>

namespace modemsim {

// One command out of a command line: "E0", "&F", "S7=60", "+CMGL=\"ALL\"", "+CSQ".
struct Command
{
    enum Form
    {
        Action,
        Set,
        Read,
        Test
    };

    QByteArray text; // as written, spaces outside strings dropped; scripts match on this
    QByteArray name; // upper case: "E", "&F", "S7", "+CMGL"
    Form form = Action;
    QByteArray arguments; // after "=" (extended and S registers), or the digits of a basic command
};

// One argument of an extended command. A string keeps its raw bytes; the character set of the
// terminal decides later what they mean.
struct Argument
{
    QByteArray value;
    bool quoted = false;

    bool isEmpty() const { return value.isEmpty() && !quoted; }
};

// Splits command lines the way V.250 reads them: basic commands may follow each other
// directly, an extended command runs up to the next ";" outside a string.
class CommandLine
{
public:
    // What follows "AT"; empty when the line breaks the syntax.
    static std::optional<QList<Command>> split(const QByteArray& body);
    // The arguments of a set command; empty when a string is left open.
    static std::optional<QList<Argument>> arguments(const QByteArray& text);
    // Numeric arguments; an omitted one stays empty so the caller can keep the old value or use its
    // default. Empty when an argument is not a number.
    static std::optional<QList<std::optional<int>>> integers(const QByteArray& text);
};

} // namespace modemsim
