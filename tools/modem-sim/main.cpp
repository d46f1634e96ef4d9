// tarvogate-modem-sim: a simulated GSM modem on a pseudo-terminal, steered from standard input.

#include "ModemSimulator.h"

#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const char* const kUsage =
    "usage: tarvogate-modem-sim [--link PATH] [--serve] [--manufacturer NAME] [--model NAME]\n"
    "                           [--revision TEXT] [--imei DIGITS] [--sim-capacity N] [--no-echo]\n"
    "                           [--chunked SEED]\n"
    "--chunked sends the modem's output in pieces of 1 to 7 bytes, 0 to 15 ms apart, cut by SEED.\n"
    "Prints the port path, then reads commands, one a line:\n"
    "  sms <sender> <text...>   a message arrives (stored, +CMTI when asked for); \\n in the\n"
    "                           text is a line break (CR LF), \\\\ a backslash\n"
    "  longsms <sender> <ref> <text...>\n"
    "                           a message too long for one SMS: its parts, with concatenation\n"
    "                           reference <ref>, are stored as REC UNREAD\n"
    "  ring <number>            an incoming call rings\n"
    "  hangup                   the caller hangs up\n"
    "  fail <prefix> <kind> [times] [skip N]\n"
    "                           the next matching commands answer so (prefix * = every command),\n"
    "                           after N matching ones passed normally; <kind> is one of\n"
    "      error | silent | nocarrier | cms <n> | cme <n> | delay <ms>\n"
    "      refuse [cms <n>]     +CMGS / +CMGW: the command line is refused, no prompt\n"
    "      late <ms>            +CMGS / +CMGW: the prompt comes only after <ms>\n"
    "      swallow              carried out (sent, stored) but no answer comes back\n"
    "  clear                    forget the scripted answers\n"
    "  chunked <seed> <max> <ms> | chunked off\n"
    "                           output in pieces of 1 to <max> bytes, 0 to <ms> apart\n"
    "  list | sent | log        SIM messages, sent messages, received command lines\n"
    "  echo on|off              echo at power-up (and now)\n"
    "  quit\n"
    "Without --serve the simulator ends at the end of its input; with it, only on SIGTERM or quit.\n";

void say(const QString& text)
{
    std::fputs(text.toLocal8Bit().constData(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// The rest of the line after the first `count` words, spaces inside kept.
QString restAfterWords(const QString& line, int count)
{
    qsizetype position = 0;
    for (int word = 0; word < count; ++word) {
        while (position < line.size() && line[position].isSpace())
            ++position;
        while (position < line.size() && !line[position].isSpace())
            ++position;
    }
    while (position < line.size() && line[position].isSpace())
        ++position;
    return line.mid(position);
}

// A typed backslash-n is a line break as a modem sends one, CR LF; two backslashes are one.
QString unescaped(const QString& text)
{
    QString out;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'\\' && i + 1 < text.size() && (text[i + 1] == u'n' || text[i + 1] == u'\\')) {
            out.append(text[++i] == u'n' ? QStringLiteral("\r\n") : QStringLiteral("\\"));
            continue;
        }
        out.append(text[i]);
    }
    return out;
}

QString escaped(QString text)
{
    return text.replace(u'\\', QStringLiteral("\\\\")).replace(QStringLiteral("\r\n"), QStringLiteral("\\n"));
}

bool scriptFailure(modemsim::ModemSimulator& modem, const QStringList& words)
{
    if (words.size() < 3)
        return false;
    modemsim::Behaviour behaviour;
    const QString kind = words[2].toLower();
    qsizetype next = 3;
    // The number at `next`, if there is one.
    const auto number = [&](int& value) {
        bool valid = false;
        if (next < words.size())
            value = words[next++].toInt(&valid);
        return valid;
    };
    const auto keyword = [&](QStringView word) {
        if (next >= words.size() || words[next].compare(word, Qt::CaseInsensitive) != 0)
            return false;
        ++next;
        return true;
    };
    if (kind == u"error") {
        behaviour.kind = modemsim::Behaviour::Error;
    } else if (kind == u"silent") {
        behaviour.kind = modemsim::Behaviour::Silence;
    } else if (kind == u"swallow") {
        behaviour.kind = modemsim::Behaviour::Swallow;
    } else if (kind == u"nocarrier") {
        behaviour.kind = modemsim::Behaviour::NoCarrier;
    } else if (kind == u"refuse") {
        behaviour.kind = modemsim::Behaviour::RefusePrompt;
        if (keyword(u"cms") && !number(behaviour.code))
            return false;
    } else if (kind == u"cms" || kind == u"cme") {
        behaviour.kind = kind == u"cms" ? modemsim::Behaviour::CmsError : modemsim::Behaviour::CmeError;
        if (!number(behaviour.code))
            return false;
    } else if (kind == u"delay" || kind == u"late") {
        behaviour.kind = kind == u"delay" ? modemsim::Behaviour::Delay : modemsim::Behaviour::LatePrompt;
        if (!number(behaviour.delayMs))
            return false;
    } else {
        return false;
    }
    if (next < words.size() && words[next].compare(u"skip", Qt::CaseInsensitive) != 0 && !number(behaviour.times))
        return false;
    if (keyword(u"skip") && !number(behaviour.skip))
        return false;
    if (next != words.size())
        return false;
    const QString prefix = words[1] == u"*" ? QString() : words[1];
    modem.script(prefix, behaviour);
    say(QStringLiteral("scripted %1 for %2 x%3 after %4").arg(kind, words[1]).arg(behaviour.times).arg(behaviour.skip));
    return true;
}

bool chunking(modemsim::ModemSimulator& modem, const QStringList& words)
{
    if (words.size() == 2 && words[1].toLower() == u"off") {
        modem.setChunking(0, 0, 0);
        say(QStringLiteral("chunking off"));
        return true;
    }
    bool validSeed = false;
    bool validMax = false;
    bool validDelay = false;
    if (words.size() != 4)
        return false;
    const quint32 seed = words[1].toUInt(&validSeed);
    const int maxBytes = words[2].toInt(&validMax);
    const int maxDelayMs = words[3].toInt(&validDelay);
    if (!validSeed || !validMax || !validDelay || maxBytes < 0 || maxDelayMs < 0)
        return false;
    modem.setChunking(seed, maxBytes, maxDelayMs);
    say(QStringLiteral("chunking seed %1, 1..%2 bytes, 0..%3 ms").arg(seed).arg(maxBytes).arg(maxDelayMs));
    return true;
}

// Returns false when the simulator should end.
bool obey(modemsim::ModemSimulator& modem, const QString& line)
{
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return true;
    const QString command = words[0].toLower();
    if (command == u"quit" || command == u"exit")
        return false;
    if (command == u"sms" && words.size() >= 2) {
        const int index = modem.injectIncomingSms(words[1], unescaped(restAfterWords(line, 2)));
        say(index < 0 ? QStringLiteral("SIM full") : QStringLiteral("stored %1").arg(index));
    } else if (command == u"longsms" && words.size() >= 4) {
        bool valid = false;
        const int reference = words[2].toInt(&valid);
        const QList<int> indexes =
            valid ? modem.addConcatenatedMessage(words[1], unescaped(restAfterWords(line, 3)), reference)
                  : QList<int>();
        QStringList shown;
        for (const int index : indexes)
            shown.append(QString::number(index));
        if (!valid)
            say(QStringLiteral("? longsms <sender> <ref> <text...>"));
        else
            say(indexes.contains(-1) || indexes.isEmpty() ? QStringLiteral("SIM full: %1").arg(shown.join(u','))
                                                          : QStringLiteral("stored %1").arg(shown.join(u',')));
    } else if (command == u"chunked") {
        if (!chunking(modem, words))
            say(QStringLiteral("? chunked <seed> <max bytes> <max delay ms> | chunked off"));
    } else if (command == u"ring" && words.size() == 2) {
        modem.ring(words[1]);
        say(QStringLiteral("ringing %1").arg(words[1]));
    } else if (command == u"hangup") {
        modem.hangUp();
        say(QStringLiteral("hung up"));
    } else if (command == u"fail") {
        if (!scriptFailure(modem, words))
            say(QStringLiteral("? fail <prefix> error|silent|nocarrier|cms <n>|cme <n>|delay <ms>|refuse [cms <n>]|"
                               "late <ms>|swallow [times] [skip N]"));
    } else if (command == u"clear") {
        modem.clearScripts();
        say(QStringLiteral("scripts cleared"));
    } else if (command == u"list") {
        const auto messages = modem.simMessages();
        for (const auto& message : messages)
            say(QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(message.index)
                    .arg(message.status, message.sender, message.timestamp.toString(Qt::ISODate),
                         escaped(message.text)));
        say(QStringLiteral("%1 on SIM").arg(messages.size()));
    } else if (command == u"sent") {
        const auto messages = modem.sentMessages();
        for (const auto& message : messages)
            say(QStringLiteral("%1 %2%3 %4")
                    .arg(message.reference)
                    .arg(message.number, message.fromStorage ? QStringLiteral(" (from SIM)") : QString(),
                         escaped(message.text)));
        say(QStringLiteral("%1 sent").arg(messages.size()));
    } else if (command == u"log") {
        const QStringList commands = modem.receivedCommands();
        for (const QString& received : commands)
            say(received);
        say(QStringLiteral("%1 commands").arg(commands.size()));
    } else if (command == u"echo" && words.size() == 2 && (words[1] == u"on" || words[1] == u"off")) {
        modem.setEchoAtPowerUp(words[1] == u"on");
        say(QStringLiteral("echo %1").arg(words[1]));
    } else if (command == u"help") {
        std::fputs(kUsage, stdout);
        std::fflush(stdout);
    } else {
        say(QStringLiteral("? %1 (try help)").arg(line));
    }
    return true;
}

} // namespace

int main(int argc, char** argv)
{
    QString link;
    bool serve = false;
    bool echo = true;
    int capacity = 30;
    std::optional<quint32> chunkSeed;
    QString manufacturer = QStringLiteral("Tarvo");
    QString model = QStringLiteral("TG-100");
    QString revision = QStringLiteral("1.0.0");
    QString imei = QStringLiteral("356938035643809");
    for (int i = 1; i < argc; ++i) {
        const QString argument = QString::fromLocal8Bit(argv[i]);
        const bool hasValue = i + 1 < argc;
        if (argument == u"--serve") {
            serve = true;
        } else if (argument == u"--no-echo") {
            echo = false;
        } else if (argument == u"--link" && hasValue) {
            link = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == u"--manufacturer" && hasValue) {
            manufacturer = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == u"--model" && hasValue) {
            model = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == u"--revision" && hasValue) {
            revision = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == u"--imei" && hasValue) {
            imei = QString::fromLocal8Bit(argv[++i]);
        } else if (argument == u"--sim-capacity" && hasValue) {
            capacity = QString::fromLocal8Bit(argv[++i]).toInt();
        } else if (argument == u"--chunked" && hasValue) {
            bool valid = false;
            chunkSeed = QString::fromLocal8Bit(argv[++i]).toUInt(&valid);
            if (!valid) {
                std::fputs(kUsage, stderr);
                return 2;
            }
        } else {
            std::fputs(kUsage, argument == u"--help" ? stdout : stderr);
            return argument == u"--help" ? 0 : 2;
        }
    }

    // The signals that end us are taken by sigwait below; every thread inherits the mask.
    sigset_t endSignals;
    sigemptyset(&endSignals);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1})
        sigaddset(&endSignals, signal);
    pthread_sigmask(SIG_BLOCK, &endSignals, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    modemsim::ModemSimulator modem;
    modem.setIdentity(manufacturer, model, revision, imei);
    modem.setSimCapacity(capacity);
    modem.setEchoAtPowerUp(echo);
    // Small enough pieces to split every line, short enough pauses to keep clients from timing out.
    if (chunkSeed)
        modem.setChunking(*chunkSeed, 7, 15);
    QString error;
    if (!modem.start(&error)) {
        std::fprintf(stderr, "tarvogate-modem-sim: %s\n", error.toLocal8Bit().constData());
        return 1;
    }
    const QByteArray port = modem.portName().toLocal8Bit();
    const QByteArray linkPath = link.toLocal8Bit();
    if (!link.isEmpty()) {
        struct stat existing
        {
        };
        if (lstat(linkPath.constData(), &existing) == 0 && S_ISLNK(existing.st_mode))
            unlink(linkPath.constData());
        if (symlink(port.constData(), linkPath.constData()) != 0) {
            std::perror("tarvogate-modem-sim: --link");
            return 1;
        }
    }
    say(modem.portName());

    // Standard input is read on its own thread so the main thread can wait for the signals.
    std::thread([&modem, serve] {
        std::string line;
        while (std::getline(std::cin, line)) {
            if (!obey(modem, QString::fromLocal8Bit(line).trimmed())) {
                kill(getpid(), SIGUSR1);
                return;
            }
        }
        if (!serve)
            kill(getpid(), SIGUSR1);
    }).detach();

    int received = 0;
    sigwait(&endSignals, &received);
    modem.stop();
    if (!link.isEmpty())
        unlink(linkPath.constData());
    std::fflush(stdout);
    // The input thread may still be blocked in a read; leave without waiting for it.
    std::_Exit(0);
}
