// tarvogate-modem-sim: a simulated GSM modem on a pseudo-terminal, steered from standard input.

#include "ModemSimulator.h"

#include <QStringList>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <pthread.h>
#include <string>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

const char* const kUsage =
    "usage: tarvogate-modem-sim [--link PATH] [--serve] [--manufacturer NAME] [--model NAME]\n"
    "                           [--revision TEXT] [--imei DIGITS] [--sim-capacity N] [--no-echo]\n"
    "Prints the port path, then reads commands, one a line:\n"
    "  sms <sender> <text...>   a message arrives (stored, +CMTI when asked for)\n"
    "  ring <number>            an incoming call rings\n"
    "  hangup                   the caller hangs up\n"
    "  fail <prefix> error|silent|nocarrier|cms <n>|cme <n>|delay <ms> [times]\n"
    "                           the next matching commands answer so (prefix * = every command)\n"
    "  clear                    forget the scripted answers\n"
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

bool scriptFailure(modemsim::ModemSimulator& modem, const QStringList& words)
{
    if (words.size() < 3)
        return false;
    modemsim::Behaviour behaviour;
    const QString kind = words[2].toLower();
    qsizetype next = 3;
    bool valid = true;
    if (kind == u"error") {
        behaviour.kind = modemsim::Behaviour::Error;
    } else if (kind == u"silent") {
        behaviour.kind = modemsim::Behaviour::Silence;
    } else if (kind == u"nocarrier") {
        behaviour.kind = modemsim::Behaviour::NoCarrier;
    } else if (kind == u"cms" || kind == u"cme" || kind == u"delay") {
        if (words.size() < 4)
            return false;
        const int value = words[3].toInt(&valid);
        next = 4;
        if (kind == u"delay") {
            behaviour.kind = modemsim::Behaviour::Delay;
            behaviour.delayMs = value;
        } else {
            behaviour.kind = kind == u"cms" ? modemsim::Behaviour::CmsError : modemsim::Behaviour::CmeError;
            behaviour.code = value;
        }
    } else {
        return false;
    }
    if (valid && words.size() > next)
        behaviour.times = words[next].toInt(&valid);
    if (!valid)
        return false;
    const QString prefix = words[1] == u"*" ? QString() : words[1];
    modem.script(prefix, behaviour);
    say(QStringLiteral("scripted %1 for %2 x%3").arg(kind, words[1]).arg(behaviour.times));
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
        const int index = modem.injectIncomingSms(words[1], restAfterWords(line, 2));
        say(index < 0 ? QStringLiteral("SIM full") : QStringLiteral("stored %1").arg(index));
    } else if (command == u"ring" && words.size() == 2) {
        modem.ring(words[1]);
        say(QStringLiteral("ringing %1").arg(words[1]));
    } else if (command == u"hangup") {
        modem.hangUp();
        say(QStringLiteral("hung up"));
    } else if (command == u"fail") {
        if (!scriptFailure(modem, words))
            say(QStringLiteral("? fail <prefix> error|silent|nocarrier|cms <n>|cme <n>|delay <ms> [times]"));
    } else if (command == u"clear") {
        modem.clearScripts();
        say(QStringLiteral("scripts cleared"));
    } else if (command == u"list") {
        const auto messages = modem.simMessages();
        for (const auto& message : messages)
            say(QStringLiteral("%1 %2 %3 %4 %5")
                    .arg(message.index)
                    .arg(message.status, message.sender, message.timestamp.toString(Qt::ISODate), message.text));
        say(QStringLiteral("%1 on SIM").arg(messages.size()));
    } else if (command == u"sent") {
        const auto messages = modem.sentMessages();
        for (const auto& message : messages)
            say(QStringLiteral("%1 %2%3 %4")
                    .arg(message.reference)
                    .arg(message.number, message.fromStorage ? QStringLiteral(" (from SIM)") : QString(),
                         message.text));
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
