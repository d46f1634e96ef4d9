#include "CommandFamily.h"

namespace modemsim {

namespace {

// A single 0/1 style setting: "AT+CMGF=1", "ATE0", "ATE" (which means 0).
std::optional<int> singleValue(const QByteArray& text, int low, int high, int omitted)
{
    const auto values = CommandLine::integers(text);
    if (!values || values->size() > 1)
        return std::nullopt;
    const int value = values->isEmpty() || !values->front() ? omitted : *values->front();
    if (value < low || value > high)
        return std::nullopt;
    return value;
}

// The values 0 to `high` as a test command lists them: two are named, more are a span.
QByteArray valueRange(int high)
{
    return high == 1 ? QByteArray("(0,1)") : "(0-" + QByteArray::number(high) + ")";
}

template <std::size_t N> QByteArray joined(const std::array<int, N>& values)
{
    QByteArrayList shown;
    for (const int value : values)
        shown.append(QByteArray::number(value));
    return shown.join(',');
}

} // namespace

CommandFamily::CommandFamily(ModemSettings& settings, QByteArrayList& info) : m_settings(settings), m_info(info) {}

Outcome CommandFamily::extendedCommand(const Command& command, const std::function<Outcome()>& set,
                                       const QByteArray& readAnswer, const QByteArray& testAnswer)
{
    switch (command.form) {
    case Command::Set:
        return set();
    case Command::Read:
        m_info.append(readAnswer);
        return ok();
    case Command::Test:
        if (!testAnswer.isEmpty())
            m_info.append(testAnswer);
        return ok();
    case Command::Action:
        break;
    }
    return error();
}

template <typename T>
Outcome CommandFamily::numberSetting(const Command& command, T& setting, int high, int omitted,
                                     const QByteArray& readTail)
{
    const auto set = [&] {
        const auto value = singleValue(command.arguments, 0, high, omitted);
        if (!value)
            return error();
        setting = static_cast<T>(*value);
        return ok();
    };
    return extendedCommand(command, set, command.name + ": " + number(static_cast<int>(setting)) + readTail,
                           command.name + ": " + valueRange(high));
}

template <std::size_t N>
Outcome CommandFamily::numberListSetting(const Command& command, std::array<int, N>& setting, std::array<int, N> start,
                                         const std::array<int, N>& highest)
{
    const auto set = [&] {
        const auto values = CommandLine::integers(command.arguments);
        if (!values || values->size() > static_cast<qsizetype>(N))
            return error();
        for (qsizetype i = 0; i < values->size(); ++i) {
            const auto slot = static_cast<std::size_t>(i);
            const std::optional<int> value = values->at(i);
            if (!value)
                continue;
            if (*value < 0 || *value > highest[slot])
                return error();
            start[slot] = *value;
        }
        setting = start;
        return ok();
    };
    QByteArrayList ranges;
    for (const int high : highest)
        ranges.append(valueRange(high));
    return extendedCommand(command, set, command.name + ": " + joined(setting), command.name + ": " + ranges.join(','));
}

// The kinds of setting ModemSettings holds.
template Outcome CommandFamily::numberSetting(const Command&, bool&, int, int, const QByteArray&);
template Outcome CommandFamily::numberSetting(const Command&, int&, int, int, const QByteArray&);
template Outcome CommandFamily::numberListSetting(const Command&, std::array<int, 2>&, std::array<int, 2>,
                                                  const std::array<int, 2>&);
template Outcome CommandFamily::numberListSetting(const Command&, std::array<int, 5>&, std::array<int, 5>,
                                                  const std::array<int, 5>&);

Outcome CommandFamily::switchCommand(const Command& command, bool& setting)
{
    const auto value = singleValue(command.arguments, 0, 1, 0);
    if (command.form != Command::Action || !value)
        return error();
    setting = *value == 1;
    return ok();
}

std::optional<int> CommandFamily::numberTypeAt(const QList<Argument>& arguments, qsizetype at, const QString& number)
{
    if (arguments.size() <= at || arguments[at].isEmpty())
        return number.startsWith(u'+') ? 145 : 129;
    bool valid = false;
    const int type = arguments[at].value.toInt(&valid);
    return valid ? std::optional(type) : std::nullopt;
}

QByteArray CommandFamily::encodeString(const QString& text) const
{
    return CharacterSet::encode(text, m_settings.characterSet);
}

std::optional<QString> CommandFamily::decodeString(const Argument& argument) const
{
    if (m_settings.characterSet == CharacterSet::Ucs2) {
        // Terminals often send a number as it stands even after choosing UCS2.
        if (const auto text = CharacterSet::fromUcs2Hex(argument.value))
            return text;
        return QString::fromLatin1(argument.value);
    }
    return CharacterSet::decode(argument.value, m_settings.characterSet);
}

} // namespace modemsim
