#include "AtInterpreter.h"

#include <utility>

namespace modemsim {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;
constexpr char kBackspace = 0x08;

// A command line that never ends must not eat the memory.
constexpr qsizetype kMaxLineLength = 4096;

const QString kRecUnread = QStringLiteral("REC UNREAD");
const QString kRecRead = QStringLiteral("REC READ");
const QString kStoUnsent = QStringLiteral("STO UNSENT");
const QString kStoSent = QStringLiteral("STO SENT");
const QString kAll = QStringLiteral("ALL");
// PDU mode numbers the statuses; 4 is "all".
const QStringList kStatusByNumber = {kRecUnread, kRecRead, kStoUnsent, kStoSent};
constexpr int kAllByNumber = 4;

// 27.005 error numbers
constexpr int kOperationNotAllowed = 302;
constexpr int kInvalidPduModeParameter = 304;
constexpr int kInvalidTextModeParameter = 305;
constexpr int kInvalidMemoryIndex = 321;
constexpr int kMemoryFull = 322;

QByteArray number(int value)
{
    return QByteArray::number(value);
}

QByteArray quoted(const QByteArray& text)
{
    return '"' + text + '"';
}

// Numeric arguments of an extended command; an omitted one stays empty so the caller can keep
// the old value or use its default. Empty when an argument is not a number.
std::optional<QList<std::optional<int>>> integers(const QByteArray& text)
{
    const auto arguments = CommandLine::arguments(text);
    if (!arguments)
        return std::nullopt;
    QList<std::optional<int>> values;
    for (const Argument& argument : *arguments) {
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

// A single 0/1 style setting: "AT+CMGF=1", "ATE0", "ATE" (which means 0).
std::optional<int> singleValue(const QByteArray& text, int low, int high, int omitted)
{
    const auto values = integers(text);
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
    return high == 1 ? QByteArray("(0,1)") : "(0-" + number(high) + ")";
}

template <std::size_t N> QByteArray joined(const std::array<int, N>& values)
{
    QByteArrayList shown;
    for (const int value : values)
        shown.append(number(value));
    return shown.join(',');
}

// The type of the number before it: `fallback` when it is left out, empty when it is not a number.
std::optional<int> numberTypeAt(const QList<Argument>& arguments, qsizetype at, int fallback)
{
    if (arguments.size() <= at || arguments[at].isEmpty())
        return fallback;
    bool valid = false;
    const int type = arguments[at].value.toInt(&valid);
    return valid ? std::optional(type) : std::nullopt;
}

QByteArray cmeText(int code)
{
    switch (code) {
    case 3:
        return "operation not allowed";
    case 4:
        return "operation not supported";
    case 10:
        return "SIM not inserted";
    case 11:
        return "SIM PIN required";
    case 13:
        return "SIM failure";
    case 30:
        return "no network service";
    case 100:
        return "unknown";
    default:
        return {};
    }
}

} // namespace

AtInterpreter::AtInterpreter()
{
    reset();
}

void AtInterpreter::reset()
{
    m_settings = Settings{};
    m_settings.echo = m_echoAtPowerUp;
}

// ---- the line ------------------------------------------------------------------------------

void AtInterpreter::receive(const QByteArray& bytes, Clock::time_point now)
{
    m_input.append(bytes);
    process(now);
}

void AtInterpreter::advance(Clock::time_point now)
{
    if (m_answerDue && now >= *m_answerDue) {
        m_output.append(std::exchange(m_delayedAnswer, {}));
        m_answerDue.reset();
    }
    process(now);
}

std::optional<AtInterpreter::Clock::time_point> AtInterpreter::nextDeadline() const
{
    return m_answerDue;
}

QByteArray AtInterpreter::takeOutput()
{
    return std::exchange(m_output, {});
}

void AtInterpreter::process(Clock::time_point now)
{
    qsizetype i = 0;
    for (; i < m_input.size() && !m_answerDue; ++i) {
        const char c = m_input[i];
        if (m_inBody) {
            if (c == kCtrlZ || c == kEscape) {
                m_inBody = false;
                finishBody(c == kEscape, now);
            } else {
                if (m_settings.echo)
                    m_output.append(c);
                m_body.append(c);
            }
            continue;
        }
        if (m_settings.echo)
            m_output.append(c);
        if (c == '\r') {
            executeLine(std::exchange(m_line, {}), now);
        } else if (c == kCtrlZ || c == kEscape) {
            // The rest of a message text the modem did not ask for.
            m_line.clear();
        } else if (c == kBackspace) {
            m_line.chop(1);
        } else if (c != '\n' && m_line.size() < kMaxLineLength) {
            m_line.append(c);
        }
    }
    m_input.remove(0, i);
}

void AtInterpreter::executeLine(const QByteArray& line, Clock::time_point now)
{
    // Whatever comes before the "AT" prefix is noise on the line (V.250 waits for the prefix).
    const qsizetype at = line.toUpper().indexOf("AT");
    if (at < 0)
        return;
    const QByteArray commandLine = line.mid(at);
    m_commands.append(QString::fromLatin1(commandLine));

    const QByteArray body = commandLine.mid(2);
    m_info.clear();
    int delayMs = 0;
    int promptDelayMs = 0;
    Outcome outcome = ok();
    const auto split = CommandLine::split(body);
    if (!split) {
        outcome = error();
    } else {
        QList<Command> commands = *split;
        if (commands.isEmpty())
            commands.append(Command{});
        for (qsizetype i = 0; i < commands.size(); ++i) {
            const Command& command = commands[i];
            std::optional<Behaviour> scripted = takeScript(command.text, i == 0 ? &body : nullptr);
            const bool takesText = command.name == "+CMGS" || command.name == "+CMGW";
            // Ok stands for "no script": no test below asks for it.
            const Behaviour::Kind kind = scripted ? scripted->kind : Behaviour::Ok;
            if (kind == Behaviour::Delay || (kind == Behaviour::LatePrompt && !takesText)) {
                delayMs += scripted->delayMs;
                scripted.reset();
            }
            if (scripted && kind == Behaviour::Swallow && !takesText) {
                // Carried out, but the answer is lost on the way.
                const qsizetype shown = m_info.size();
                execute(command);
                m_info.resize(shown);
                outcome = {Outcome::Silent, 0};
            } else if (scripted && (!takesText || kind == Behaviour::RefusePrompt)) {
                outcome = scriptedOutcome(*scripted);
            } else {
                outcome = execute(command);
                if (outcome.kind == Outcome::Prompt) {
                    if (kind == Behaviour::LatePrompt) {
                        promptDelayMs = scripted->delayMs;
                        scripted.reset();
                    }
                    m_pendingBody.scripted = scripted;
                    m_pendingBody.delayMs = delayMs;
                    break;
                }
                if (scripted && kind != Behaviour::LatePrompt && kind != Behaviour::Swallow)
                    outcome = scriptedOutcome(*scripted);
            }
            if (outcome.kind != Outcome::Ok)
                break;
        }
    }

    QByteArray answer = takeInfo();
    if (outcome.kind == Outcome::Prompt) {
        // A late prompt holds back the input behind it like a late answer does, so a text or an ESC sent
        // early is read only once the prompt is out.
        m_inBody = true;
        m_body.clear();
        respond(answer + "\r\n> ", promptDelayMs, now);
        return;
    }
    answer.append(result(outcome));
    respond(answer, delayMs, now);
}

void AtInterpreter::finishBody(bool cancelled, Clock::time_point now)
{
    const PendingBody pending = std::exchange(m_pendingBody, {});
    const QByteArray body = std::exchange(m_body, {});
    m_info.clear();

    Outcome outcome = ok();
    const std::optional<Behaviour>& scripted = pending.scripted;
    if (cancelled) {
        // ESC gives up the message; nothing is sent or stored.
    } else if (scripted && scripted->kind != Behaviour::Swallow) {
        outcome = scriptedOutcome(*scripted);
    } else {
        outcome = pending.pdu ? takePduBody(pending, body) : takeTextBody(pending, body);
        if (scripted) {
            m_info.clear();
            outcome = {Outcome::Silent, 0};
        }
    }

    respond(takeInfo() + result(outcome), pending.delayMs, now);
}

AtInterpreter::Outcome AtInterpreter::takeTextBody(const PendingBody& pending, const QByteArray& body)
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
        Stored{pending.status, pending.number, pending.numberType, *text, QDateTime::currentDateTime(), alphabet, {}});
}

AtInterpreter::Outcome AtInterpreter::takePduBody(const PendingBody& pending, const QByteArray& body)
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
    return takeMessage(pending, Stored{pending.status, message->address, message->addressType, message->text, timestamp,
                                       message->alphabet, message->header});
}

AtInterpreter::Outcome AtInterpreter::takeMessage(const PendingBody& pending, const Stored& message)
{
    if (pending.send) {
        const int reference = takeReference();
        m_sent.append(SentMessage{message.number, message.text, reference, false});
        m_info.append("+CMGS: " + number(reference));
        return ok();
    }
    const int index = lowestFreeIndex();
    if (index < 0)
        return cms(kMemoryFull);
    m_sim[index] = message;
    m_info.append("+CMGW: " + number(index));
    return ok();
}

QByteArray AtInterpreter::takeInfo()
{
    QByteArray answer;
    for (const QByteArray& text : std::as_const(m_info))
        answer.append(info(text));
    m_info.clear();
    return answer;
}

void AtInterpreter::respond(const QByteArray& answer, int delayMs, Clock::time_point now)
{
    if (delayMs <= 0) {
        m_output.append(answer);
        return;
    }
    m_delayedAnswer = answer;
    m_answerDue = now + std::chrono::milliseconds(delayMs);
}

std::optional<Behaviour> AtInterpreter::takeScript(const QByteArray& commandText, const QByteArray* wholeLine)
{
    const QString text = QString::fromLatin1(commandText);
    const QString line = wholeLine ? QString::fromLatin1(*wholeLine) : QString();
    for (auto it = m_scripts.begin(); it != m_scripts.end(); ++it) {
        const bool matches = text.startsWith(it->prefix, Qt::CaseInsensitive) ||
                             (wholeLine && line.startsWith(it->prefix, Qt::CaseInsensitive));
        if (!matches)
            continue;
        if (it->behaviour.skip > 0) {
            --it->behaviour.skip;
            return std::nullopt;
        }
        const Behaviour behaviour = it->behaviour;
        if (it->behaviour.times > 0 && --it->behaviour.times == 0)
            m_scripts.erase(it);
        return behaviour;
    }
    return std::nullopt;
}

AtInterpreter::Outcome AtInterpreter::scriptedOutcome(const Behaviour& behaviour) const
{
    switch (behaviour.kind) {
    case Behaviour::Ok:
    case Behaviour::Delay:
        return ok();
    case Behaviour::Error:
        return error();
    case Behaviour::CmsError:
        return cms(behaviour.code);
    case Behaviour::CmeError:
        return cme(behaviour.code);
    case Behaviour::Silence:
        return {Outcome::Silent, 0};
    case Behaviour::NoCarrier:
        return {Outcome::NoCarrier, 0};
    case Behaviour::RefusePrompt:
        return behaviour.code > 0 ? cms(behaviour.code) : error();
    case Behaviour::LatePrompt:
        return ok();
    case Behaviour::Swallow:
        return {Outcome::Silent, 0};
    }
    return error();
}

// ---- framing -------------------------------------------------------------------------------

QByteArray AtInterpreter::info(const QByteArray& text) const
{
    return m_settings.verbose ? "\r\n" + text + "\r\n" : text + "\r\n";
}

QByteArray AtInterpreter::unsolicited(const QByteArray& text) const
{
    return info(text);
}

QByteArray AtInterpreter::result(const Outcome& outcome) const
{
    if (m_settings.quiet || outcome.kind == Outcome::Silent)
        return {};
    const bool verbose = m_settings.verbose;
    switch (outcome.kind) {
    case Outcome::Ok:
        return verbose ? "\r\nOK\r\n" : "0\r";
    case Outcome::NoCarrier:
        return verbose ? "\r\nNO CARRIER\r\n" : "3\r";
    case Outcome::CmsError:
        if (m_settings.errorReports > 0)
            return info("+CMS ERROR: " + number(outcome.code));
        break;
    case Outcome::CmeError:
        if (m_settings.errorReports == 2 && !cmeText(outcome.code).isEmpty())
            return info("+CME ERROR: " + cmeText(outcome.code));
        if (m_settings.errorReports > 0)
            return info("+CME ERROR: " + number(outcome.code));
        break;
    case Outcome::Error:
    case Outcome::Prompt:
    case Outcome::Silent:
        break;
    }
    return verbose ? "\r\nERROR\r\n" : "4\r";
}

QByteArray AtInterpreter::encodeString(const QString& text) const
{
    return CharacterSet::encode(text, m_settings.characterSet);
}

std::optional<QString> AtInterpreter::decodeString(const Argument& argument) const
{
    if (m_settings.characterSet == CharacterSet::Ucs2) {
        // Terminals often send a number as it stands even after choosing UCS2.
        if (const auto text = CharacterSet::fromUcs2Hex(argument.value))
            return text;
        return QString::fromLatin1(argument.value);
    }
    return CharacterSet::decode(argument.value, m_settings.characterSet);
}

QByteArray AtInterpreter::messageData(const Stored& message) const
{
    // Text outside the default alphabet reaches a text-mode terminal as hex, whatever +CSCS says.
    switch (message.alphabet) {
    case Pdu::Gsm7:
        break;
    case Pdu::EightBit:
        return CharacterSet::toOctetHex(message.text.toLatin1());
    case Pdu::Ucs2:
        return CharacterSet::toUcs2Hex(message.text);
    }
    return encodeString(message.text);
}

int AtInterpreter::messageLength(const Stored& message) const
{
    switch (message.alphabet) {
    case Pdu::Gsm7:
        break;
    case Pdu::EightBit:
        return static_cast<int>(message.text.size());
    case Pdu::Ucs2:
        return static_cast<int>(message.text.size()) * 2;
    }
    return CharacterSet::septetCount(message.text);
}

QByteArray AtInterpreter::timestampText(const QDateTime& timestamp) const
{
    // The zone is counted in quarter hours.
    const int quarters = timestamp.offsetFromUtc() / 900;
    return timestamp.toString(QStringLiteral("yy/MM/dd,hh:mm:ss")).toLatin1() + (quarters < 0 ? '-' : '+') +
           number(std::abs(quarters)).rightJustified(2, '0');
}

QByteArray AtInterpreter::listHeader(int index, const Stored& message) const
{
    QByteArray header = "+CMGL: " + number(index) + "," + quoted(message.status.toLatin1()) + "," +
                        quoted(encodeString(message.number)) + ",,";
    if (isIncoming(message.status))
        header.append(quoted(timestampText(message.timestamp)));
    if (m_settings.showHeaders)
        header.append("," + number(message.numberType) + "," + number(messageLength(message)));
    return header;
}

QByteArray AtInterpreter::readHeader(const Stored& message) const
{
    QByteArray header =
        "+CMGR: " + quoted(message.status.toLatin1()) + "," + quoted(encodeString(message.number)) + ",";
    if (isIncoming(message.status))
        header.append("," + quoted(timestampText(message.timestamp)));
    if (m_settings.showHeaders)
        header.append(headerDetails(message));
    return header;
}

QByteArray AtInterpreter::headerDetails(const Stored& message) const
{
    // A received message shows how it was delivered; a stored one shows how it would be submitted, validity
    // period included.
    const bool incoming = isIncoming(message.status);
    return "," + number(message.numberType) + (incoming ? ",4,0," : ",17,0,") +
           number(Pdu::dataCoding(message.alphabet)) + (incoming ? "," : ",167,") +
           quoted(encodeString(m_settings.serviceCentre)) + "," + number(m_settings.serviceCentreType) + "," +
           number(messageLength(message));
}

std::pair<QByteArray, int> AtInterpreter::pduOf(const Stored& message) const
{
    Pdu::Message tpdu;
    tpdu.submit = !isIncoming(message.status);
    tpdu.address = message.number;
    tpdu.addressType = message.numberType;
    tpdu.alphabet = message.alphabet;
    tpdu.timestamp = message.timestamp;
    tpdu.header = message.header;
    tpdu.text = message.text;
    if (tpdu.submit) {
        tpdu.validity = m_settings.submitParameters[1];
        tpdu.protocolId = m_settings.submitParameters[2];
    }
    const QByteArray encoded = Pdu::encode(tpdu);
    const QByteArray centre = Pdu::serviceCentre(m_settings.serviceCentre, m_settings.serviceCentreType);
    return {CharacterSet::toOctetHex(centre + encoded), static_cast<int>(encoded.size())};
}

QByteArray AtInterpreter::pduListEntry(int index, const Stored& message) const
{
    const auto [hex, length] = pduOf(message);
    return "+CMGL: " + number(index) + "," + number(statusNumber(message.status)) + ",," + number(length) + "\r\n" +
           hex;
}

int AtInterpreter::takeReference()
{
    // A message reference is one octet, and 0 is not used.
    const int reference = m_nextReference;
    m_nextReference = m_nextReference % 255 + 1;
    return reference;
}

int AtInterpreter::lowestFreeIndex() const
{
    for (int index = 1; index <= m_capacity; ++index) {
        if (!m_sim.contains(index))
            return index;
    }
    return -1;
}

int AtInterpreter::numberTypeOf(const QString& number)
{
    return number.startsWith(u'+') ? 145 : 129;
}

QString AtInterpreter::statusName(const QByteArray& given)
{
    const QString upper = QString::fromLatin1(given).toUpper();
    for (const QString& status : {kRecUnread, kRecRead, kStoUnsent, kStoSent}) {
        if (upper == status)
            return status;
    }
    return {};
}

int AtInterpreter::statusNumber(const QString& status)
{
    return static_cast<int>(kStatusByNumber.indexOf(status));
}

QString AtInterpreter::statusOfNumber(int number)
{
    return kStatusByNumber.value(number);
}

// ---- the test side -------------------------------------------------------------------------

void AtInterpreter::setEchoAtPowerUp(bool on)
{
    m_echoAtPowerUp = on;
    m_settings.echo = on;
}

void AtInterpreter::setIdentity(const QString& manufacturer, const QString& model, const QString& revision,
                                const QString& imei)
{
    m_manufacturer = manufacturer;
    m_model = model;
    m_revision = revision;
    m_imei = imei;
}

void AtInterpreter::setSimCapacity(int slots)
{
    m_capacity = std::max(0, slots);
    m_sim.erase(m_sim.upper_bound(m_capacity), m_sim.end());
}

int AtInterpreter::addMessage(const QString& status, const QString& sender, const QString& text,
                              const QDateTime& timestamp)
{
    const QString name = statusName(status.toLatin1());
    const int index = lowestFreeIndex();
    if (name.isEmpty() || index < 0)
        return -1;
    const QDateTime when = timestamp.isValid() ? timestamp : QDateTime::currentDateTime();
    m_sim[index] = Stored{name, sender, Pdu::addressTypeOf(sender),
                          text, when,   CharacterSet::fitsGsmAlphabet(text) ? Pdu::Gsm7 : Pdu::Ucs2,
                          {}};
    return index;
}

QList<int> AtInterpreter::addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                                 bool sixteenBitReference, const QList<int>& onlyParts,
                                                 const QDateTime& timestamp)
{
    const int headerOctets = static_cast<int>(Pdu::concatenationHeader(reference, sixteenBitReference, 1, 1).size());
    const QStringList parts = Pdu::split(text, headerOctets);
    if (parts.size() > 255)
        return {};
    const auto total = static_cast<int>(parts.size());
    const QDateTime when = timestamp.isValid() ? timestamp : QDateTime::currentDateTime();
    // All parts share the alphabet the whole text needs.
    const Pdu::Alphabet alphabet = CharacterSet::fitsGsmAlphabet(text) ? Pdu::Gsm7 : Pdu::Ucs2;
    QList<int> indexes;
    for (int sequence = 1; sequence <= total; ++sequence) {
        if (!onlyParts.isEmpty() && !onlyParts.contains(sequence))
            continue;
        const int index = lowestFreeIndex();
        if (index >= 0)
            m_sim[index] = Stored{kRecUnread,
                                  sender,
                                  Pdu::addressTypeOf(sender),
                                  parts[sequence - 1],
                                  when,
                                  alphabet,
                                  Pdu::concatenationHeader(reference, sixteenBitReference, total, sequence)};
        indexes.append(index);
    }
    return indexes;
}

int AtInterpreter::injectIncomingSms(const QString& sender, const QString& text)
{
    const int mode = m_settings.newMessageIndication[0];
    const int mt = m_settings.newMessageIndication[1];
    // Mode 0 keeps indications in the modem; the others pass them on (there is no data mode
    // here that would hold them back).
    const bool forward = mode > 0;
    if (forward && mt == 2) {
        const Stored message{kRecUnread,
                             sender,
                             Pdu::addressTypeOf(sender),
                             text,
                             QDateTime::currentDateTime(),
                             CharacterSet::fitsGsmAlphabet(text) ? Pdu::Gsm7 : Pdu::Ucs2,
                             {}};
        if (!m_settings.textMode) {
            const auto [hex, length] = pduOf(message);
            m_output.append(unsolicited("+CMT: ," + number(length) + "\r\n" + hex));
            return 0;
        }
        QByteArray header = "+CMT: " + quoted(encodeString(sender)) + ",," + quoted(timestampText(message.timestamp));
        if (m_settings.showHeaders)
            header.append(headerDetails(message));
        m_output.append(unsolicited(header + "\r\n" + messageData(message)));
        return 0;
    }
    const int index = addMessage(kRecUnread, sender, text, {});
    if (index < 0)
        return -1;
    if (forward && (mt == 1 || mt == 3))
        m_output.append(unsolicited("+CMTI: \"SM\"," + number(index)));
    return index;
}

QList<SimMessage> AtInterpreter::simMessages() const
{
    QList<SimMessage> messages;
    for (const auto& [index, message] : m_sim)
        messages.append(SimMessage{index, message.status, message.number, message.text, message.timestamp});
    return messages;
}

void AtInterpreter::ring(const QString& number, int type)
{
    if (!m_call)
        m_call = Call{number, type, 4};
    m_output.append(m_settings.verbose ? unsolicited("RING") : QByteArray("2\r"));
    if (m_settings.callerId)
        m_output.append(unsolicited("+CLIP: " + quoted(encodeString(number)) + "," + modemsim::number(type) + ",,,,0"));
}

void AtInterpreter::hangUp()
{
    m_call.reset();
    m_output.append(m_settings.verbose ? unsolicited("NO CARRIER") : QByteArray("3\r"));
}

void AtInterpreter::sendUnsolicited(const QString& text)
{
    m_output.append(text.toLatin1());
}

void AtInterpreter::script(const QString& commandPrefix, const Behaviour& behaviour)
{
    if (behaviour.times != 0)
        m_scripts.push_back(Script{commandPrefix, behaviour});
}

void AtInterpreter::clearScripts()
{
    m_scripts.clear();
}

bool AtInterpreter::hasCommand(const QString& prefix) const
{
    for (const QString& command : m_commands) {
        if (command.startsWith(prefix, Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// ---- commands ------------------------------------------------------------------------------

const QHash<QByteArray, AtInterpreter::Handler>& AtInterpreter::handlers()
{
    static const QHash<QByteArray, Handler> table = {
        {"E", &AtInterpreter::echoCommand},
        {"V", &AtInterpreter::verboseCommand},
        {"Q", &AtInterpreter::quietCommand},
        {"Z", &AtInterpreter::resetCommand},
        {"&F", &AtInterpreter::resetCommand},
        {"I", &AtInterpreter::identificationCommand},
        {"&C", &AtInterpreter::acceptedCommand},
        {"&D", &AtInterpreter::acceptedCommand},
        {"&K", &AtInterpreter::acceptedCommand},
        {"&W", &AtInterpreter::acceptedCommand},
        {"X", &AtInterpreter::acceptedCommand},
        {"L", &AtInterpreter::acceptedCommand},
        {"M", &AtInterpreter::acceptedCommand},
        {"A", &AtInterpreter::answerCommand},
        {"H", &AtInterpreter::hangUpCommand},
        {"D", &AtInterpreter::dialCommand},
        {"+CGMI", &AtInterpreter::manufacturerCommand},
        {"+GMI", &AtInterpreter::manufacturerCommand},
        {"+CGMM", &AtInterpreter::modelCommand},
        {"+GMM", &AtInterpreter::modelCommand},
        {"+CGMR", &AtInterpreter::revisionCommand},
        {"+GMR", &AtInterpreter::revisionCommand},
        {"+CGSN", &AtInterpreter::serialNumberCommand},
        {"+GSN", &AtInterpreter::serialNumberCommand},
        {"+CIMI", &AtInterpreter::subscriberCommand},
        {"+GCAP", &AtInterpreter::capabilitiesCommand},
        {"+FLO", &AtInterpreter::flowControlCommand},
        {"+IFC", &AtInterpreter::localFlowControlCommand},
        {"+IPR", &AtInterpreter::bitRateCommand},
        {"+CSCS", &AtInterpreter::characterSetCommand},
        {"+CLIP", &AtInterpreter::callerIdCommand},
        {"+CMGF", &AtInterpreter::messageFormatCommand},
        {"+CMEE", &AtInterpreter::errorReportCommand},
        {"+CSDH", &AtInterpreter::showHeadersCommand},
        {"+CSMS", &AtInterpreter::messageServiceCommand},
        {"+CPMS", &AtInterpreter::storageCommand},
        {"+CSCA", &AtInterpreter::serviceCentreCommand},
        {"+CSMP", &AtInterpreter::submitParametersCommand},
        {"+CNMI", &AtInterpreter::newMessageIndicationCommand},
        {"+CFUN", &AtInterpreter::functionalityCommand},
        {"+CPIN", &AtInterpreter::pinCommand},
        {"+CSQ", &AtInterpreter::signalQualityCommand},
        {"+CREG", &AtInterpreter::registrationCommand},
        {"+COPS", &AtInterpreter::operatorCommand},
        {"+CLCC", &AtInterpreter::listCallsCommand},
        {"+CHUP", &AtInterpreter::hangUpCommand},
        {"+CMGL", &AtInterpreter::listMessagesCommand},
        {"+CMGR", &AtInterpreter::readMessageCommand},
        {"+CMGD", &AtInterpreter::deleteMessageCommand},
        {"+CMGW", &AtInterpreter::writeMessageCommand},
        {"+CMSS", &AtInterpreter::sendStoredCommand},
        {"+CMGS", &AtInterpreter::sendMessageCommand},
    };
    return table;
}

AtInterpreter::Outcome AtInterpreter::execute(const Command& command)
{
    if (command.name.isEmpty())
        return ok();
    if (command.name.size() > 1 && command.name[0] == 'S' && command.name[1] >= '0' && command.name[1] <= '9')
        return registerCommand(command);
    const Handler handler = handlers().value(command.name);
    return handler ? (this->*handler)(command) : error();
}

AtInterpreter::Outcome AtInterpreter::switchCommand(const Command& command, bool& setting)
{
    const auto value = singleValue(command.arguments, 0, 1, 0);
    if (command.form != Command::Action || !value)
        return error();
    setting = *value == 1;
    return ok();
}

AtInterpreter::Outcome AtInterpreter::echoCommand(const Command& command)
{
    return switchCommand(command, m_settings.echo);
}

AtInterpreter::Outcome AtInterpreter::verboseCommand(const Command& command)
{
    return switchCommand(command, m_settings.verbose);
}

AtInterpreter::Outcome AtInterpreter::quietCommand(const Command& command)
{
    return switchCommand(command, m_settings.quiet);
}

AtInterpreter::Outcome AtInterpreter::resetCommand(const Command& command)
{
    if (command.form != Command::Action)
        return error();
    reset();
    return ok();
}

AtInterpreter::Outcome AtInterpreter::identificationCommand(const Command& command)
{
    if (command.form != Command::Action)
        return error();
    m_info.append(m_manufacturer.toLatin1() + "\r\n" + m_model.toLatin1() + "\r\nRevision: " + m_revision.toLatin1());
    return ok();
}

AtInterpreter::Outcome AtInterpreter::acceptedCommand(const Command&)
{
    return ok();
}

AtInterpreter::Outcome AtInterpreter::registerCommand(const Command& command)
{
    if (command.form == Command::Read) {
        const int index = command.name.mid(1).toInt();
        const int value = index == 3 ? 13 : index == 4 ? 10 : index == 5 ? 8 : 0;
        m_info.append(number(value).rightJustified(3, '0'));
    }
    return ok();
}

AtInterpreter::Outcome AtInterpreter::answerCommand(const Command&)
{
    if (!m_call)
        return {Outcome::NoCarrier, 0};
    m_call->state = 0;
    return ok();
}

AtInterpreter::Outcome AtInterpreter::hangUpCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    m_call.reset();
    return ok();
}

AtInterpreter::Outcome AtInterpreter::dialCommand(const Command&)
{
    // No calls go out from this modem.
    return {Outcome::NoCarrier, 0};
}

AtInterpreter::Outcome AtInterpreter::identityCommand(const Command& command, const QByteArray& answer)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Action)
        return error();
    m_info.append(answer);
    return ok();
}

AtInterpreter::Outcome AtInterpreter::manufacturerCommand(const Command& command)
{
    return identityCommand(command, m_manufacturer.toLatin1());
}

AtInterpreter::Outcome AtInterpreter::modelCommand(const Command& command)
{
    return identityCommand(command, m_model.toLatin1());
}

AtInterpreter::Outcome AtInterpreter::revisionCommand(const Command& command)
{
    return identityCommand(command, m_revision.toLatin1());
}

AtInterpreter::Outcome AtInterpreter::serialNumberCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form == Command::Read)
        return error();
    m_info.append(m_imei.toLatin1());
    return ok();
}

AtInterpreter::Outcome AtInterpreter::subscriberCommand(const Command& command)
{
    return identityCommand(command, m_imsi.toLatin1());
}

AtInterpreter::Outcome AtInterpreter::capabilitiesCommand(const Command& command)
{
    return identityCommand(command, "+GCAP: +CGSM");
}

AtInterpreter::Outcome AtInterpreter::extendedCommand(const Command& command, const std::function<Outcome()>& set,
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
AtInterpreter::Outcome AtInterpreter::numberSetting(const Command& command, T& setting, int high, int omitted,
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
AtInterpreter::Outcome AtInterpreter::numberListSetting(const Command& command, std::array<int, N>& setting,
                                                        std::array<int, N> start, const std::array<int, N>& highest)
{
    const auto set = [&] {
        const auto values = integers(command.arguments);
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

AtInterpreter::Outcome AtInterpreter::flowControlCommand(const Command& command)
{
    return numberSetting(command, m_settings.flowControl, 2, 2);
}

AtInterpreter::Outcome AtInterpreter::localFlowControlCommand(const Command& command)
{
    // What is left out goes back to hardware flow control, not to what was set before.
    return numberListSetting(command, m_settings.localFlowControl, {2, 2}, {2, 2});
}

AtInterpreter::Outcome AtInterpreter::bitRateCommand(const Command& command)
{
    // Any rate is taken; the pseudo-terminal does not care.
    const auto set = [&] { return integers(command.arguments) ? ok() : error(); };
    return extendedCommand(command, set, "+IPR: 115200", "+IPR: (),(1200,2400,4800,9600,19200,38400,57600,115200)");
}

AtInterpreter::Outcome AtInterpreter::characterSetCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->size() > 1)
            return error();
        if (arguments->isEmpty() || arguments->front().isEmpty()) {
            m_settings.characterSet = CharacterSet::Gsm;
            return ok();
        }
        const auto kind = CharacterSet::fromName(QString::fromLatin1(arguments->front().value));
        if (!kind)
            return error();
        m_settings.characterSet = *kind;
        return ok();
    };
    QByteArrayList names;
    for (const QString& name : CharacterSet::names())
        names.append(quoted(name.toLatin1()));
    return extendedCommand(command, set, "+CSCS: " + quoted(CharacterSet::name(m_settings.characterSet).toLatin1()),
                           "+CSCS: (" + names.join(',') + ")");
}

AtInterpreter::Outcome AtInterpreter::callerIdCommand(const Command& command)
{
    // The second number says the network provisions the service.
    return numberSetting(command, m_settings.callerId, 1, 0, ",1");
}

AtInterpreter::Outcome AtInterpreter::messageFormatCommand(const Command& command)
{
    return numberSetting(command, m_settings.textMode, 1);
}

AtInterpreter::Outcome AtInterpreter::errorReportCommand(const Command& command)
{
    return numberSetting(command, m_settings.errorReports, 2);
}

AtInterpreter::Outcome AtInterpreter::showHeadersCommand(const Command& command)
{
    return numberSetting(command, m_settings.showHeaders, 1);
}

AtInterpreter::Outcome AtInterpreter::messageServiceCommand(const Command& command)
{
    const Outcome outcome = numberSetting(command, m_settings.messageService, 1, 0, ",1,1,1");
    // Either service supports receiving, sending and broadcast messages alike.
    if (command.form == Command::Set && outcome.kind == Outcome::Ok)
        m_info.append("+CSMS: 1,1,1");
    return outcome;
}

AtInterpreter::Outcome AtInterpreter::storageCommand(const Command& command)
{
    const QByteArray used = number(static_cast<int>(m_sim.size()));
    const QByteArray total = number(m_capacity);
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

AtInterpreter::Outcome AtInterpreter::serviceCentreCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 2 || arguments->front().isEmpty())
            return error();
        const auto centre = decodeString(arguments->front());
        if (!centre)
            return error();
        const auto type = numberTypeAt(*arguments, 1, numberTypeOf(*centre));
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

AtInterpreter::Outcome AtInterpreter::submitParametersCommand(const Command& command)
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
    return extendedCommand(command, set, "+CSMP: " + joined(parameters));
}

AtInterpreter::Outcome AtInterpreter::newMessageIndicationCommand(const Command& command)
{
    // What is left out keeps its value.
    return numberListSetting(command, m_settings.newMessageIndication, m_settings.newMessageIndication,
                             {3, 3, 3, 2, 1});
}

AtInterpreter::Outcome AtInterpreter::functionalityCommand(const Command& command)
{
    const auto set = [&] {
        const auto values = integers(command.arguments);
        if (!values || values->isEmpty() || values->size() > 2 || !values->front())
            return error();
        const int level = *values->front();
        if (level != 0 && level != 1 && level != 4)
            return error();
        m_settings.functionality = level;
        return ok();
    };
    return extendedCommand(command, set, "+CFUN: " + number(m_settings.functionality), "+CFUN: (0,1,4),(0,1)");
}

AtInterpreter::Outcome AtInterpreter::pinCommand(const Command& command)
{
    // Nothing waits for a PIN.
    const auto set = [] { return cme(3); };
    return extendedCommand(command, set, "+CPIN: READY");
}

AtInterpreter::Outcome AtInterpreter::signalQualityCommand(const Command& command)
{
    if (command.form == Command::Test) {
        m_info.append("+CSQ: (0-31,99),(0-7,99)");
        return ok();
    }
    if (command.form != Command::Action)
        return error();
    m_info.append("+CSQ: 20,99");
    return ok();
}

AtInterpreter::Outcome AtInterpreter::registrationCommand(const Command& command)
{
    // Always registered at home; the most talkative level names the cell as well.
    const QByteArray status = m_settings.registrationReports == 2 ? ",1,\"1A2B\",\"00C3D4E5\"" : ",1";
    return numberSetting(command, m_settings.registrationReports, 2, 0, status);
}

AtInterpreter::Outcome AtInterpreter::operatorCommand(const Command& command)
{
    const auto set = [&] {
        const auto arguments = CommandLine::arguments(command.arguments);
        if (!arguments || arguments->isEmpty() || arguments->size() > 4)
            return error();
        bool valid = false;
        const int mode = arguments->front().value.toInt(&valid);
        if (!valid || mode < 0 || mode > 4)
            return error();
        if (arguments->size() > 1 && !arguments->at(1).isEmpty()) {
            const int format = arguments->at(1).value.toInt(&valid);
            if (!valid || format < 0 || format > 2)
                return error();
            m_settings.operatorFormat = format;
        }
        return ok();
    };
    const QString name = m_settings.operatorFormat == 2   ? m_operatorCode
                         : m_settings.operatorFormat == 1 ? QStringLiteral("Tarvo")
                                                          : m_operatorName;
    return extendedCommand(command, set,
                           "+COPS: 0," + number(m_settings.operatorFormat) + "," + quoted(encodeString(name)),
                           "+COPS: (2," + quoted(encodeString(m_operatorName)) + ",\"Tarvo\"," +
                               quoted(m_operatorCode.toLatin1()) + "),,(0-4),(0-2)");
}

AtInterpreter::Outcome AtInterpreter::listCallsCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Action)
        return error();
    if (m_call)
        m_info.append("+CLCC: 1,1," + number(m_call->state) + ",0,0," + quoted(encodeString(m_call->number)) + "," +
                      number(m_call->type));
    return ok();
}

AtInterpreter::Outcome AtInterpreter::listMessagesCommand(const Command& command)
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
            wanted = name == kAll.toLatin1() ? kAll : statusName(name);
            if (wanted.isEmpty())
                return error();
        } else if (!given.isEmpty()) {
            bool valid = false;
            const int status = given.value.toInt(&valid);
            if (given.quoted || !valid || status < 0 || status > kAllByNumber)
                return cms(kInvalidPduModeParameter);
            wanted = status == kAllByNumber ? kAll : statusOfNumber(status);
        }
    }
    QByteArrayList entries;
    for (auto& [index, message] : m_sim) {
        if (wanted != kAll && message.status != wanted)
            continue;
        entries.append(m_settings.textMode ? listHeader(index, message) + "\r\n" + messageData(message)
                                           : pduListEntry(index, message));
        // Reading a message is what makes it read.
        if (message.status == kRecUnread)
            message.status = kRecRead;
    }
    if (!entries.isEmpty())
        m_info.append(entries.join("\r\n"));
    return ok();
}

AtInterpreter::Outcome AtInterpreter::readMessageCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Set)
        return error();
    const auto values = integers(command.arguments);
    if (!values || values->isEmpty() || values->size() > 2 || !values->front())
        return error();
    const auto found = m_sim.find(*values->front());
    if (found == m_sim.end())
        return cms(kInvalidMemoryIndex);
    Stored& message = found->second;
    if (m_settings.textMode) {
        m_info.append(readHeader(message) + "\r\n" + messageData(message));
    } else {
        const auto [hex, length] = pduOf(message);
        m_info.append("+CMGR: " + number(statusNumber(message.status)) + ",," + number(length) + "\r\n" + hex);
    }
    if (message.status == kRecUnread)
        message.status = kRecRead;
    return ok();
}

AtInterpreter::Outcome AtInterpreter::deleteMessageCommand(const Command& command)
{
    if (command.form == Command::Test) {
        QByteArrayList used;
        for (const auto& entry : m_sim)
            used.append(number(entry.first));
        m_info.append("+CMGD: (" + used.join(',') + "),(0-4)");
        return ok();
    }
    if (command.form != Command::Set)
        return error();
    const auto values = integers(command.arguments);
    if (!values || values->isEmpty() || values->size() > 2)
        return error();
    const int flag = values->size() == 2 ? values->at(1).value_or(0) : 0;
    if (flag < 0 || flag > 4)
        return error();
    if (flag == 0) {
        const int index = values->front().value_or(0);
        if (index < 1 || index > m_capacity)
            return cms(kInvalidMemoryIndex);
        m_sim.erase(index);
        return ok();
    }
    // The flags widen step by step: read, then sent, then unsent, then everything.
    std::erase_if(m_sim, [flag](const auto& entry) {
        const QString& status = entry.second.status;
        return flag == 4 || status == kRecRead || (flag >= 2 && status == kStoSent) ||
               (flag >= 3 && status == kStoUnsent);
    });
    return ok();
}

AtInterpreter::Outcome AtInterpreter::writeMessageCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form == Command::Read)
        return error();
    PendingBody pending;
    pending.send = false;
    pending.status = kStoUnsent;
    if (!m_settings.textMode) {
        // <length>[,<stat>], the status as a number.
        const auto values = integers(command.arguments);
        if (command.form != Command::Set || !values || values->isEmpty() || values->size() > 2 ||
            values->front().value_or(0) < 1)
            return cms(kInvalidPduModeParameter);
        pending.pdu = true;
        pending.length = *values->front();
        if (values->size() == 2 && values->back()) {
            pending.status = statusOfNumber(*values->back());
            if (pending.status.isEmpty())
                return cms(kInvalidPduModeParameter);
        }
        m_pendingBody = pending;
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
    const auto type = numberTypeAt(*arguments, 1, numberTypeOf(pending.number));
    if (!type)
        return error();
    pending.numberType = *type;
    if (arguments->size() > 2 && !arguments->at(2).isEmpty()) {
        pending.status = statusName(arguments->at(2).value);
        if (pending.status.isEmpty())
            return error();
    }
    m_pendingBody = pending;
    return {Outcome::Prompt, 0};
}

AtInterpreter::Outcome AtInterpreter::sendStoredCommand(const Command& command)
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
    const auto found = m_sim.find(index);
    if (found == m_sim.end())
        return cms(kInvalidMemoryIndex);
    Stored& message = found->second;
    if (isIncoming(message.status))
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

AtInterpreter::Outcome AtInterpreter::sendMessageCommand(const Command& command)
{
    if (command.form == Command::Test)
        return ok();
    if (command.form != Command::Set)
        return error();
    if (!m_settings.textMode) {
        // <length> of the TPDU; the recipient is inside it.
        const auto values = integers(command.arguments);
        if (!values || values->size() != 1 || values->front().value_or(0) < 1)
            return cms(kInvalidPduModeParameter);
        PendingBody pending;
        pending.send = true;
        pending.pdu = true;
        pending.length = *values->front();
        m_pendingBody = pending;
        return {Outcome::Prompt, 0};
    }
    const auto arguments = CommandLine::arguments(command.arguments);
    if (!arguments || arguments->isEmpty() || arguments->size() > 2 || arguments->front().isEmpty())
        return error();
    const auto recipient = decodeString(arguments->front());
    if (!recipient || recipient->isEmpty())
        return error();
    PendingBody pending;
    pending.send = true;
    const auto type = numberTypeAt(*arguments, 1, numberTypeOf(*recipient));
    if (!type)
        return error();
    pending.number = *recipient;
    pending.numberType = *type;
    m_pendingBody = pending;
    return {Outcome::Prompt, 0};
}

} // namespace modemsim
