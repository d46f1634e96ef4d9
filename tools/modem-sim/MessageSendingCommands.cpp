#include "MessageSendingCommands.h"

#include "CharacterSet.h"
#include "Pdu.h"

#include <utility>

namespace modemsim {

namespace {

// 27.005 error numbers
constexpr int kOperationNotAllowed = 302;
constexpr int kInvalidPduModeParameter = 304;
constexpr int kInvalidTextModeParameter = 305;
constexpr int kInvalidMemoryIndex = 321;
constexpr int kMemoryFull = 322;

} // namespace

MessageSendingCommands::MessageSendingCommands(ModemSettings& settings, QByteArrayList& info, SimStorage& sim)
    : CommandFamily(settings, info), m_sim(sim)
{}

void MessageSendingCommands::addTo(CommandTable& table)
{
    add(table, {"+CMGW"}, &MessageSendingCommands::writeMessageCommand);
    add(table, {"+CMSS"}, &MessageSendingCommands::sendStoredCommand);
    add(table, {"+CMGS"}, &MessageSendingCommands::sendMessageCommand);
}

Outcome MessageSendingCommands::takeBody(const QByteArray& body)
{
    const PendingMessage pending = std::exchange(m_pending, {});
    return pending.pdu ? takePduBody(pending, body) : takeTextBody(pending, body);
}

void MessageSendingCommands::dropBody()
{
    m_pending = {};
}

Outcome MessageSendingCommands::writeMessageCommand(const Command& command)
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

Outcome MessageSendingCommands::sendStoredCommand(const Command& command)
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

Outcome MessageSendingCommands::sendMessageCommand(const Command& command)
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

Outcome MessageSendingCommands::takeTextBody(const PendingMessage& pending, const QByteArray& body)
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

Outcome MessageSendingCommands::takePduBody(const PendingMessage& pending, const QByteArray& body)
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

Outcome MessageSendingCommands::takeMessage(const PendingMessage& pending, const StoredMessage& message)
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

int MessageSendingCommands::takeReference()
{
    // A message reference is one octet, and 0 is not used.
    const int reference = m_nextReference;
    m_nextReference = m_nextReference % 255 + 1;
    return reference;
}

} // namespace modemsim
