#include "MessageCommands.h"

#include "CharacterSet.h"
#include "Pdu.h"

#include <algorithm>
#include <utility>

namespace modemsim {

namespace {

const QString kAll = QStringLiteral("ALL");
// PDU mode numbers the statuses; 4 is "all".
constexpr int kAllByNumber = 4;

// 27.005 error numbers
constexpr int kOperationNotAllowed = 302;
constexpr int kInvalidPduModeParameter = 304;
constexpr int kInvalidTextModeParameter = 305;
constexpr int kInvalidMemoryIndex = 321;
constexpr int kMemoryFull = 322;

} // namespace

MessageCommands::MessageCommands(ModemSettings& settings, QByteArrayList& info, SimStorage& sim)
    : CommandFamily(settings, info), m_sim(sim), m_formatter(settings)
{}

void MessageCommands::addTo(CommandTable& table)
{
    add(table, {"+CMGF"}, &MessageCommands::messageFormatCommand);
    add(table, {"+CSDH"}, &MessageCommands::showHeadersCommand);
    add(table, {"+CSMS"}, &MessageCommands::messageServiceCommand);
    add(table, {"+CPMS"}, &MessageCommands::storageCommand);
    add(table, {"+CSCA"}, &MessageCommands::serviceCentreCommand);
    add(table, {"+CSMP"}, &MessageCommands::submitParametersCommand);
    add(table, {"+CNMI"}, &MessageCommands::newMessageIndicationCommand);
    add(table, {"+CMGL"}, &MessageCommands::listMessagesCommand);
    add(table, {"+CMGR"}, &MessageCommands::readMessageCommand);
    add(table, {"+CMGD"}, &MessageCommands::deleteMessageCommand);
    add(table, {"+CMGW"}, &MessageCommands::writeMessageCommand);
    add(table, {"+CMSS"}, &MessageCommands::sendStoredCommand);
    add(table, {"+CMGS"}, &MessageCommands::sendMessageCommand);
}

MessageCommands::Arrival MessageCommands::receive(const QString& sender, const QString& text)
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

Outcome MessageCommands::listMessagesCommand(const Command& command)
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

Outcome MessageCommands::readMessageCommand(const Command& command)
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

Outcome MessageCommands::deleteMessageCommand(const Command& command)
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

Outcome MessageCommands::messageFormatCommand(const Command& command)
{
    return numberSetting(command, m_settings.textMode, 1);
}

Outcome MessageCommands::showHeadersCommand(const Command& command)
{
    return numberSetting(command, m_settings.showHeaders, 1);
}

Outcome MessageCommands::messageServiceCommand(const Command& command)
{
    const Outcome outcome = numberSetting(command, m_settings.messageService, 1, 0, ",1,1,1");
    // Either service supports receiving, sending and broadcast messages alike.
    if (command.form == Command::Set && outcome.kind == Outcome::Ok)
        m_info.append("+CSMS: 1,1,1");
    return outcome;
}

Outcome MessageCommands::storageCommand(const Command& command)
{
    const QByteArray used = number(static_cast<int>(m_sim.messages().size()));
    const QByteArray total = number(m_sim.capacity());
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 3)
            return error();
        // The SIM is the only storage this modem has.
        for (const Argument& argument : *arguments) {
            if (!argument.isEmpty() && argument.value.toUpper() != "SM")
                return cms(kOperationNotAllowed);
        }
        m_info.append("+CPMS: " + used + "," + total + "," + used + "," + total + "," + used + "," + total);
        return ok();
    };
    const QByteArray one = "\"SM\"," + used + "," + total;
    return extendedCommand(command, set, "+CPMS: " + one + "," + one + "," + one, "+CPMS: (\"SM\"),(\"SM\"),(\"SM\")");
}

Outcome MessageCommands::serviceCentreCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 2 || arguments->front().isEmpty())
            return error();
        const auto centre = decodeString(arguments->front());
        if (!centre)
            return error();
        const auto type = numberTypeAt(*arguments, 1, *centre);
        if (!type)
            return error();
        m_settings.serviceCentre = *centre;
        m_settings.serviceCentreType = *type;
        return ok();
    };
    return extendedCommand(command, set,
                           "+CSCA: " + quoted(encodeString(m_settings.serviceCentre)) + "," +
                               number(m_settings.serviceCentreType));
}

Outcome MessageCommands::submitParametersCommand(const Command& command)
{
    auto& parameters = m_settings.submitParameters;
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->size() > 4)
            return error();
        auto updated = parameters;
        for (qsizetype i = 0; i < arguments->size(); ++i) {
            const Argument& argument = arguments->at(i);
            // A validity period may also be given as an absolute time string; only the relative
            // form is kept.
            if (argument.isEmpty() || (i == 1 && argument.quoted))
                continue;
            bool valid = false;
            const int value = argument.value.toInt(&valid);
            if (!valid || argument.quoted || value < 0 || value > 255)
                return error();
            updated[static_cast<std::size_t>(i)] = value;
        }
        parameters = updated;
        return ok();
    };
    QByteArrayList shown;
    for (const int value : parameters)
        shown.append(number(value));
    return extendedCommand(command, set, "+CSMP: " + shown.join(','));
}

Outcome MessageCommands::newMessageIndicationCommand(const Command& command)
{
    // What is left out keeps its value.
    return numberListSetting(command, m_settings.newMessageIndication, m_settings.newMessageIndication,
                             {3, 3, 3, 2, 1});
}

Outcome MessageCommands::takeBody(const QByteArray& body)
{
    const PendingMessage pending = std::exchange(m_pending, {});
    return pending.pdu ? takePduBody(pending, body) : takeTextBody(pending, body);
}

void MessageCommands::dropBody()
{
    m_pending = {};
}

Outcome MessageCommands::writeMessageCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form == Command::Read)
        return error();
    PendingMessage pending;
    pending.send = false;
    pending.status = kStoUnsent;
    if (!m_settings.textMode) {
        // <length>[,<stat>], the status as a number.
        const auto values = CommandLine::integers(command.arguments);
        if (command.form != Command::Set || !values || values->isEmpty() || values->size() > 2 ||
            values->front().value_or(0) < 1)
            return cms(kInvalidPduModeParameter);
        pending.pdu = true;
        pending.length = *values->front();
        if (values->size() == 2 && values->back()) {
            pending.status = SimStorage::statusOfNumber(*values->back());
            if (pending.status.isEmpty())
                return cms(kInvalidPduModeParameter);
        }
        m_pending = pending;
        return {Outcome::Prompt, 0};
    }
    const auto arguments = CommandLine::arguments(command.arguments);
    if (!arguments || arguments->size() > 3)
        return error();
    if (!arguments->isEmpty() && !arguments->front().isEmpty()) {
        const auto number = decodeString(arguments->front());
        if (!number)
            return error();
        pending.number = *number;
    }
    const auto type = numberTypeAt(*arguments, 1, pending.number);
    if (!type)
        return error();
    pending.numberType = *type;
    if (arguments->size() > 2 && !arguments->at(2).isEmpty()) {
        pending.status = SimStorage::statusName(arguments->at(2).value);
        if (pending.status.isEmpty())
            return error();
    }
    m_pending = pending;
    return {Outcome::Prompt, 0};
}

Outcome MessageCommands::sendStoredCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Set)
        return error();
    const auto arguments = CommandLine::arguments(command.arguments);
    if (!arguments || arguments->isEmpty() || arguments->size() > 3)
        return error();
    bool valid = false;
    const int index = arguments->front().value.toInt(&valid);
    if (!valid)
        return error();
    const auto found = m_sim.messages().find(index);
    if (found == m_sim.messages().end())
        return cms(kInvalidMemoryIndex);
    StoredMessage& message = found->second;
    if (message.isIncoming())
        return cms(kOperationNotAllowed);
    QString recipient = message.number;
    if (arguments->size() > 1 && !arguments->at(1).isEmpty()) {
        const auto given = decodeString(arguments->at(1));
        if (!given)
            return error();
        recipient = *given;
    }
    if (recipient.isEmpty())
        return cms(kOperationNotAllowed);
    const int reference = takeReference();
    m_sent.append(SentMessage{recipient, message.text, reference, true});
    message.status = kStoSent;
    m_info.append("+CMSS: " + number(reference));
    return ok();
}

Outcome MessageCommands::sendMessageCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Set)
        return error();
    if (!m_settings.textMode) {
        // <length> of the TPDU; the recipient is inside it.
        const auto values = CommandLine::integers(command.arguments);
        if (!values || values->size() != 1 || values->front().value_or(0) < 1)
            return cms(kInvalidPduModeParameter);
        PendingMessage pending;
        pending.send = true;
        pending.pdu = true;
        pending.length = *values->front();
        m_pending = pending;
        return {Outcome::Prompt, 0};
    }
    const auto arguments = CommandLine::arguments(command.arguments);
    if (!arguments || arguments->isEmpty() || arguments->size() > 2 || arguments->front().isEmpty())
        return error();
    const auto recipient = decodeString(arguments->front());
    if (!recipient || recipient->isEmpty())
        return error();
    PendingMessage pending;
    pending.send = true;
    const auto type = numberTypeAt(*arguments, 1, *recipient);
    if (!type)
        return error();
    pending.number = *recipient;
    pending.numberType = *type;
    m_pending = pending;
    return {Outcome::Prompt, 0};
}

Outcome MessageCommands::takeTextBody(const PendingMessage& pending, const QByteArray& body)
{
    const Pdu::Alphabet alphabet = Pdu::alphabetOf(m_settings.submitParameters[3]);
    std::optional<QString> text;
    int size = 0;
    int limit = Pdu::kMaxOctets;
    if (alphabet == Pdu::Ucs2) {
        text = CharacterSet::fromUcs2Hex(body);
        size = text ? static_cast<int>(text->size()) * 2 : 0;
    } else if (alphabet == Pdu::EightBit) {
        if (const auto octets = CharacterSet::fromOctetHex(body)) {
            text = QString::fromLatin1(*octets);
            size = static_cast<int>(octets->size());
        }
    } else {
        text = CharacterSet::decode(body, m_settings.characterSet);
        size = text ? CharacterSet::septetCount(*text) : 0;
        limit = Pdu::kMaxSeptets;
    }
    if (!text || size > limit)
        return cms(kInvalidTextModeParameter);
    return takeMessage(
        pending,
        StoredMessage{
            pending.status, pending.number, pending.numberType, *text, QDateTime::currentDateTime(), alphabet, {}});
}

Outcome MessageCommands::takePduBody(const PendingMessage& pending, const QByteArray& body)
{
    // The service-centre part in front is not counted in the length the command line gave.
    const auto octets = CharacterSet::fromOctetHex(body.trimmed());
    if (!octets || octets->isEmpty())
        return cms(kInvalidPduModeParameter);
    const qsizetype tpduStart = 1 + static_cast<unsigned char>(octets->front());
    if (octets->size() - tpduStart != pending.length)
        return cms(kInvalidPduModeParameter);
    const auto message = Pdu::decode(octets->mid(tpduStart));
    if (!message || (pending.send && !message->submit))
        return cms(kInvalidPduModeParameter);
    const QDateTime timestamp =
        !message->submit && message->timestamp.isValid() ? message->timestamp : QDateTime::currentDateTime();
    return takeMessage(pending, StoredMessage{pending.status, message->address, message->addressType, message->text,
                                              timestamp, message->alphabet, message->header});
}

Outcome MessageCommands::takeMessage(const PendingMessage& pending, const StoredMessage& message)
{
    if (pending.send) {
        const int reference = takeReference();
        m_sent.append(SentMessage{message.number, message.text, reference, false});
        m_info.append("+CMGS: " + number(reference));
        return ok();
    }
    const int index = m_sim.store(message);
    if (index < 0)
        return cms(kMemoryFull);
    m_info.append("+CMGW: " + number(index));
    return ok();
}

int MessageCommands::takeReference()
{
    // A message reference is one octet, and 0 is not used.
    const int reference = m_nextReference;
    m_nextReference = m_nextReference % 255 + 1;
    return reference;
}

} // namespace modemsim
