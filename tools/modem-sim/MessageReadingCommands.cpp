#include "MessageReadingCommands.h"

#include "CharacterSet.h"

#include <algorithm>

namespace modemsim {

namespace {

const QString kAll = QStringLiteral("ALL");
// PDU mode numbers the statuses; 4 is "all".
constexpr int kAllByNumber = 4;

// 27.005 error numbers
constexpr int kInvalidPduModeParameter = 304;
constexpr int kInvalidMemoryIndex = 321;

} // namespace

MessageReadingCommands::MessageReadingCommands(ModemSettings& settings, QByteArrayList& info, SimStorage& sim)
    : CommandFamily(settings, info), m_sim(sim), m_formatter(settings)
{}

void MessageReadingCommands::addTo(CommandTable& table)
{
    add(table, {"+CMGL"}, &MessageReadingCommands::listMessagesCommand);
    add(table, {"+CMGR"}, &MessageReadingCommands::readMessageCommand);
    add(table, {"+CMGD"}, &MessageReadingCommands::deleteMessageCommand);
}

MessageReadingCommands::Arrival MessageReadingCommands::receive(const QString& sender, const QString& text)
{
    const int mode = m_settings.newMessageIndication[0];
    const int mt = m_settings.newMessageIndication[1];
    // Mode 0 keeps indications in the modem; the others pass them on (there is no data mode
    // here that would hold them back).
    const bool forward = mode > 0;
    if (forward && mt == 2) {
        const StoredMessage message{kRecUnread,
                                    sender,
                                    Pdu::addressTypeOf(sender),
                                    text,
                                    QDateTime::currentDateTime(),
                                    CharacterSet::fitsGsmAlphabet(text) ? Pdu::Gsm7 : Pdu::Ucs2,
                                    {}};
        if (!m_settings.textMode) {
            const auto [hex, length] = m_formatter.pduOf(message);
            return {0, unsolicited("+CMT: ," + number(length) + "\r\n" + hex)};
        }
        QByteArray header =
            "+CMT: " + quoted(encodeString(sender)) + ",," + quoted(m_formatter.timestampText(message.timestamp));
        if (m_settings.showHeaders)
            header.append(m_formatter.headerDetails(message));
        return {0, unsolicited(header + "\r\n" + m_formatter.messageData(message))};
    }
    const int index = m_sim.addMessage(kRecUnread, sender, text, {});
    if (index < 0)
        return {-1, {}};
    if (forward && (mt == 1 || mt == 3))
        return {index, unsolicited("+CMTI: \"SM\"," + number(index))};
    return {index, {}};
}

Outcome MessageReadingCommands::listMessagesCommand(const Command& command)
{
    if (command.form == Command::Test) {
        m_info.append(m_settings.textMode ? "+CMGL: (\"REC UNREAD\",\"REC READ\",\"STO UNSENT\",\"STO SENT\",\"ALL\")"
                                          : "+CMGL: (0-4)");
        return ok();
    }
    if (command.form == Command::Read)
        return error();
    QString wanted = kRecUnread;
    if (command.form == Command::Set) {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->size() > 1)
            return error();
        const Argument given = arguments->isEmpty() ? Argument{} : arguments->front();
        if (m_settings.textMode) {
            if (!given.quoted)
                return error();
            const QByteArray name = given.value.toUpper();
            wanted = name == kAll.toLatin1() ? kAll : SimStorage::statusName(name);
            if (wanted.isEmpty())
                return error();
        } else if (!given.isEmpty()) {
            bool valid = false;
            const int status = given.value.toInt(&valid);
            if (given.quoted || !valid || status < 0 || status > kAllByNumber)
                return cms(kInvalidPduModeParameter);
            wanted = status == kAllByNumber ? kAll : SimStorage::statusOfNumber(status);
        }
    }
    QByteArrayList entries;
    for (auto& [index, message] : m_sim.messages()) {
        if (wanted != kAll && message.status != wanted)
            continue;
        entries.append(m_settings.textMode
                           ? m_formatter.listHeader(index, message) + "\r\n" + m_formatter.messageData(message)
                           : m_formatter.pduListEntry(index, message));
        // Reading a message is what makes it read.
        if (message.status == kRecUnread)
            message.status = kRecRead;
    }
    if (!entries.isEmpty())
        m_info.append(entries.join("\r\n"));
    return ok();
}

Outcome MessageReadingCommands::readMessageCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Set)
        return error();
    const auto values = CommandLine::integers(command.arguments);
    if (!values || values->isEmpty() || values->size() > 2 || !values->front())
        return error();
    const auto found = m_sim.messages().find(*values->front());
    if (found == m_sim.messages().end())
        return cms(kInvalidMemoryIndex);
    StoredMessage& message = found->second;
    if (m_settings.textMode) {
        m_info.append(m_formatter.readHeader(message) + "\r\n" + m_formatter.messageData(message));
    } else {
        const auto [hex, length] = m_formatter.pduOf(message);
        m_info.append("+CMGR: " + number(SimStorage::statusNumber(message.status)) + ",," + number(length) + "\r\n" +
                      hex);
    }
    if (message.status == kRecUnread)
        message.status = kRecRead;
    return ok();
}

Outcome MessageReadingCommands::deleteMessageCommand(const Command& command)
{
    if (command.form == Command::Test) {
        QByteArrayList used;
        for (const auto& entry : m_sim.messages())
            used.append(number(entry.first));
        m_info.append("+CMGD: (" + used.join(',') + "),(0-4)");
        return ok();
    }
    if (command.form != Command::Set)
        return error();
    const auto values = CommandLine::integers(command.arguments);
    if (!values || values->isEmpty() || values->size() > 2)
        return error();
    const int flag = values->size() == 2 ? values->at(1).value_or(0) : 0;
    if (flag < 0 || flag > 4)
        return error();
    if (flag == 0) {
        const int index = values->front().value_or(0);
        if (index < 1 || index > m_sim.capacity())
            return cms(kInvalidMemoryIndex);
        m_sim.messages().erase(index);
        return ok();
    }
    // The flags widen step by step: read, then sent, then unsent, then everything.
    std::erase_if(m_sim.messages(), [flag](const auto& entry) {
        const QString& status = entry.second.status;
        return flag == 4 || status == kRecRead || (flag >= 2 && status == kStoSent) ||
               (flag >= 3 && status == kStoUnsent);
    });
    return ok();
}

} // namespace modemsim
