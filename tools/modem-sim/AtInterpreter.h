#pragma once

#include "BasicCommands.h"
#include "CallCommands.h"
#include "CommandFamily.h"
#include "IdentityCommands.h"
#include "MessageReadingCommands.h"
#include "MessageSendingCommands.h"
#include "MessageServiceCommands.h"
#include "ModemSettings.h"
#include "ModemSimulator.h"
#include "NetworkCommands.h"
#include "SimStorage.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <chrono>
#include <deque>
#include <optional>

namespace modemsim {

// The modem itself, without the port: bytes from the terminal go in, the modem's bytes come
// out. It reads the line, answers scripted faults and hands each command to the family that
// knows it. Not thread-safe; ModemSimulator guards it.
class AtInterpreter
{
public:
    using Clock = std::chrono::steady_clock;

    AtInterpreter();
    Q_DISABLE_COPY_MOVE(AtInterpreter)

    // Input is taken in order; while a delayed answer is outstanding the rest waits, as a real
    // modem reads the next command only after answering the last.
    void receive(const QByteArray& bytes, Clock::time_point now);
    void advance(Clock::time_point now);
    std::optional<Clock::time_point> nextDeadline() const;
    QByteArray takeOutput();

    void setEchoAtPowerUp(bool on);
    void setIdentity(const QString& manufacturer, const QString& model, const QString& revision, const QString& imei);
    void setSimCapacity(int slots);
    int addMessage(const QString& status, const QString& sender, const QString& text, const QDateTime& timestamp);
    int injectIncomingSms(const QString& sender, const QString& text);
    QList<int> addConcatenatedMessage(const QString& sender, const QString& text, int reference,
                                      bool sixteenBitReference, const QList<int>& onlyParts,
                                      const QDateTime& timestamp);
    QList<SimMessage> simMessages() const;
    void ring(const QString& number, int type);
    void hangUp();
    void sendUnsolicited(const QString& text);
    void script(const QString& commandPrefix, const Behaviour& behaviour);
    void clearScripts();
    QStringList receivedCommands() const { return m_commands; }
    void clearReceivedCommands() { m_commands.clear(); }
    QList<SentMessage> sentMessages() const { return m_sending.sentMessages(); }
    bool hasCommand(const QString& prefix) const;

private:
    struct Script
    {
        QString prefix;
        Behaviour behaviour;
    };

    // How the answer to the text after a "> " prompt is to come.
    struct PendingBody
    {
        std::optional<Behaviour> scripted;
        int delayMs = 0;
    };

    void process(Clock::time_point now);
    void executeLine(const QByteArray& line, Clock::time_point now);
    void finishBody(bool cancelled, Clock::time_point now);
    QByteArray takeInfo();
    void respond(const QByteArray& answer, int delayMs, Clock::time_point now);
    std::optional<Behaviour> takeScript(const QByteArray& commandText, const QByteArray* wholeLine);
    static Outcome scriptedOutcome(const Behaviour& behaviour);
    Outcome execute(const Command& command);

    // What the command families share; declared before them, as they hold on to it.
    ModemSettings m_settings;
    QByteArrayList m_info; // the information text of the command line being answered
    SimStorage m_sim;

    BasicCommands m_basic{m_settings, m_info};
    IdentityCommands m_identity{m_settings, m_info};
    NetworkCommands m_network{m_settings, m_info};
    CallCommands m_calls{m_settings, m_info};
    MessageServiceCommands m_messageService{m_settings, m_info, m_sim};
    MessageReadingCommands m_reading{m_settings, m_info, m_sim};
    MessageSendingCommands m_sending{m_settings, m_info, m_sim};
    CommandTable m_table;

    // Test control and record
    std::deque<Script> m_scripts;
    QStringList m_commands;

    // The line
    QByteArray m_input;
    QByteArray m_line;
    bool m_inBody = false;
    QByteArray m_body;
    PendingBody m_pendingBody;
    QByteArray m_output;
    QByteArray m_delayedAnswer;
    std::optional<Clock::time_point> m_answerDue;
};

} // namespace modemsim
