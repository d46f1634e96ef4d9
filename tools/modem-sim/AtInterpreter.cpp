#include "AtInterpreter.h"

#include <utility>

namespace modemsim {

namespace {

constexpr char kCtrlZ = 0x1A;
constexpr char kEscape = 0x1B;
constexpr char kBackspace = 0x08;

// A command line that never ends must not eat the memory.
constexpr qsizetype kMaxLineLength = 4096;

} // namespace

// ---- the dispatcher ------------------------------------------------------------------------

AtInterpreter::AtInterpreter()
{
    m_basic.addTo(m_table);
    m_identity.addTo(m_table);
    m_network.addTo(m_table);
    m_calls.addTo(m_table);
    m_messageService.addTo(m_table);
    m_reading.addTo(m_table);
    m_sending.addTo(m_table);
}

Outcome AtInterpreter::execute(const Command& command)
{
    if (command.name.isEmpty())
        return ok();
    if (BasicCommands::isRegister(command.name))
        return m_basic.registerCommand(command);
    const auto handler = m_table.constFind(command.name);
    return handler == m_table.cend() ? error() : (*handler)(command);
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
    answer.append(resultCode(m_settings, outcome));
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
        m_sending.dropBody();
    } else if (scripted && scripted->kind != Behaviour::Swallow) {
        m_sending.dropBody();
        outcome = scriptedOutcome(*scripted);
    } else {
        outcome = m_sending.takeBody(body);
        if (scripted) {
            m_info.clear();
            outcome = {Outcome::Silent, 0};
        }
    }

    respond(takeInfo() + resultCode(m_settings, outcome), pending.delayMs, now);
}

QByteArray AtInterpreter::takeInfo()
{
    QByteArray answer;
    for (const QByteArray& text : std::as_const(m_info))
        answer.append(informationText(m_settings, text));
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

Outcome AtInterpreter::scriptedOutcome(const Behaviour& behaviour)
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

// ---- the test side -------------------------------------------------------------------------

void AtInterpreter::setEchoAtPowerUp(bool on)
{
    m_basic.setEchoAtPowerUp(on);
}

void AtInterpreter::setIdentity(const QString& manufacturer, const QString& model, const QString& revision,
                                const QString& imei)
{
    m_identity.setIdentity(manufacturer, model, revision, imei);
}

void AtInterpreter::setSimCapacity(int slots)
{
    m_sim.setCapacity(slots);
}

int AtInterpreter::addMessage(const QString& status, const QString& sender, const QString& text,
                              const QDateTime& timestamp)
{
    return m_sim.addMessage(status, sender, text, timestamp);
}

QList<int> AtInterpreter::addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                                 bool sixteenBitReference, const QList<int>& onlyParts,
                                                 const QDateTime& timestamp)
{
    return m_sim.addConcatenatedMessage(sender, text, reference, sixteenBitReference, onlyParts, timestamp);
}

int AtInterpreter::injectIncomingSms(const QString& sender, const QString& text)
{
    const MessageReadingCommands::Arrival arrival = m_reading.receive(sender, text);
    m_output.append(arrival.announcement);
    return arrival.index;
}

QList<SimMessage> AtInterpreter::simMessages() const
{
    return m_sim.simMessages();
}

void AtInterpreter::ring(const QString& number, int type)
{
    m_output.append(m_calls.ring(number, type));
}

void AtInterpreter::hangUp()
{
    m_output.append(m_calls.hangUp());
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

} // namespace modemsim
