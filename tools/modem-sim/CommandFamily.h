#pragma once

#include "CommandLine.h"
#include "ModemSettings.h"
#include "Outcome.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QHash>
#include <QList>
#include <QString>

#include <array>
#include <cstddef>
#include <functional>
#include <optional>

namespace modemsim {

// Command names ("E", "+CMGL") to what answers them.
using CommandTable = QHash<QByteArray, std::function<Outcome(const Command&)>>;

// What every family of commands needs: the settings, the information text of the command line being
// answered, and the shapes most extended commands share (V.250's set, read and test forms).
class CommandFamily
{
public:
    Q_DISABLE_COPY_MOVE(CommandFamily)

protected:
    CommandFamily(ModemSettings& settings, QByteArrayList& info);
    ~CommandFamily() = default;

    // Files `handler` under each of `names`; the table then calls this family for them.
    template <typename Family>
    void add(CommandTable& table, const QByteArrayList& names, Outcome (Family::*handler)(const Command&));

    // An extended command that holds a setting; its read and test answers are given ready, `testAnswer` empty when
    // the test command answers no more than OK.
    Outcome extendedCommand(const Command& command, const std::function<Outcome()>& set, const QByteArray& readAnswer,
                            const QByteArray& testAnswer = {});
    // A setting that is one number from 0 to `high`; `omitted` is what "=" alone sets, `readTail` what the read
    // answer shows after the value.
    template <typename T>
    Outcome numberSetting(const Command& command, T& setting, int high, int omitted = 0,
                          const QByteArray& readTail = {});
    // Values left out of a set command take theirs from `start`.
    template <std::size_t N>
    Outcome numberListSetting(const Command& command, std::array<int, N>& setting, std::array<int, N> start,
                              const std::array<int, N>& highest);
    // A basic command that turns something on or off: "ATE1", "ATE0", "ATE" (which means 0).
    Outcome switchCommand(const Command& command, bool& setting);

    QByteArray encodeString(const QString& text) const;
    std::optional<QString> decodeString(const Argument& argument) const;
    // 27.007 frames an unsolicited result code like information text.
    QByteArray unsolicited(const QByteArray& text) const { return informationText(m_settings, text); }

    static QByteArray number(int value) { return QByteArray::number(value); }
    static QByteArray quoted(const QByteArray& text) { return '"' + text + '"'; }
    // The type of a number given at `at` - 1 (27.005 <tosca>, <toda>): when left out, 145 for "+digits" and 129
    // otherwise; empty when it is not a number.
    static std::optional<int> numberTypeAt(const QList<Argument>& arguments, qsizetype at, const QString& number);

    ModemSettings& m_settings;
    QByteArrayList& m_info;
};

template <typename Family>
void CommandFamily::add(CommandTable& table, const QByteArrayList& names, Outcome (Family::*handler)(const Command&))
{
    for (const QByteArray& name : names)
        table.insert(name, std::bind_front(handler, static_cast<Family*>(this)));
}

} // namespace modemsim
