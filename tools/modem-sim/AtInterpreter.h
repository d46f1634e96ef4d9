#pragma once

#include "CharacterSet.h"
#include "CommandLine.h"
#include "ModemSimulator.h"
#include "Pdu.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <chrono>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <utility>

namespace modemsim {

// The modem itself, without the port: bytes from the terminal go in, the modem's bytes come
// out. It keeps the settings, the SIM and the call. Not thread-safe; ModemSimulator guards it.
class AtInterpreter
{
public:
    using Clock = std::chrono::steady_clock;

    AtInterpreter();

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
    QList<SentMessage> sentMessages() const { return m_sent; }
    bool hasCommand(const QString& prefix) const;

private:
    struct Outcome
    {
        enum Kind
        {
            Ok,
            Error,
            CmsError,
            CmeError,
            NoCarrier,
            Prompt,
            Silent
        };
        Kind kind = Ok;
        int code = 0;
    };

    struct Settings
    {
        bool echo = true;
        bool verbose = true;
        bool quiet = false;
        bool textMode = false;
        CharacterSet::Kind characterSet = CharacterSet::Gsm;
        int errorReports = 0;
        bool showHeaders = false;
        bool callerId = false;
        std::array<int, 5> newMessageIndication = {0, 0, 0, 0, 0};
        int registrationReports = 0;
        int operatorFormat = 0;
        QString serviceCentre = QStringLiteral("+491770610000");
        int serviceCentreType = 145;
        std::array<int, 4> submitParameters = {17, 167, 0, 0};
        int flowControl = 2;
        std::array<int, 2> localFlowControl = {2, 2};
        int functionality = 1;
        int messageService = 0;
    };

    struct Stored
    {
        QString status;
        QString number;
        int numberType = 129;
        QString text;
        QDateTime timestamp;
        Pdu::Alphabet alphabet = Pdu::Gsm7;
        QByteArray header; // the user data header with its length octet, as a part of a longer message has
    };

    struct Call
    {
        QString number;
        int type = 145;
        int state = 4; // +CLCC <stat>: 4 incoming, 0 active
    };

    struct Script
    {
        QString prefix;
        Behaviour behaviour;
    };

    // What the text after a "> " prompt is for.
    struct PendingBody
    {
        bool send = true;
        QString number;
        int numberType = 129;
        QString status;
        bool pdu = false;
        int length = 0; // in PDU mode: the TPDU octets the command line announced
        std::optional<Behaviour> scripted;
        int delayMs = 0;
    };

    using Handler = Outcome (AtInterpreter::*)(const Command&);

    void process(Clock::time_point now);
    void executeLine(const QByteArray& line, Clock::time_point now);
    void finishBody(bool cancelled, Clock::time_point now);
    Outcome takeTextBody(const PendingBody& pending, const QByteArray& body);
    Outcome takePduBody(const PendingBody& pending, const QByteArray& body);
    Outcome takeMessage(const PendingBody& pending, const Stored& message);
    QByteArray takeInfo();
    void respond(const QByteArray& answer, int delayMs, Clock::time_point now);
    std::optional<Behaviour> takeScript(const QByteArray& commandText, const QByteArray* wholeLine);
    Outcome scriptedOutcome(const Behaviour& behaviour) const;
    Outcome execute(const Command& command);
    static const QHash<QByteArray, Handler>& handlers();

    QByteArray info(const QByteArray& text) const;
    QByteArray result(const Outcome& outcome) const;
    QByteArray unsolicited(const QByteArray& text) const;
    QByteArray encodeString(const QString& text) const;
    std::optional<QString> decodeString(const Argument& argument) const;
    QByteArray messageData(const Stored& message) const;
    int messageLength(const Stored& message) const;
    QByteArray timestampText(const QDateTime& timestamp) const;
    QByteArray listHeader(int index, const Stored& message) const;
    QByteArray readHeader(const Stored& message) const;
    QByteArray headerDetails(const Stored& message) const;
    // The service-centre part and the TPDU in hex, and the TPDU's length in octets.
    std::pair<QByteArray, int> pduOf(const Stored& message) const;
    QByteArray pduListEntry(int index, const Stored& message) const;
    int takeReference();
    int lowestFreeIndex() const;
    static int numberTypeOf(const QString& number);
    static QString statusName(const QByteArray& given);
    static int statusNumber(const QString& status);
    static QString statusOfNumber(int number);
    static bool isIncoming(const QString& status) { return status.startsWith(u"REC"); }
    void reset();

    static Outcome ok() { return {}; }
    static Outcome error() { return {Outcome::Error, 0}; }
    static Outcome cms(int code) { return {Outcome::CmsError, code}; }
    static Outcome cme(int code) { return {Outcome::CmeError, code}; }

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
    Outcome switchCommand(const Command& command, bool& setting);
    Outcome identityCommand(const Command& command, const QByteArray& answer);

    Outcome echoCommand(const Command& command);
    Outcome verboseCommand(const Command& command);
    Outcome quietCommand(const Command& command);
    Outcome resetCommand(const Command& command);
    Outcome identificationCommand(const Command& command);
    Outcome acceptedCommand(const Command& command);
    Outcome registerCommand(const Command& command);
    Outcome answerCommand(const Command& command);
    Outcome hangUpCommand(const Command& command);
    Outcome dialCommand(const Command& command);
    Outcome manufacturerCommand(const Command& command);
    Outcome modelCommand(const Command& command);
    Outcome revisionCommand(const Command& command);
    Outcome serialNumberCommand(const Command& command);
    Outcome subscriberCommand(const Command& command);
    Outcome capabilitiesCommand(const Command& command);
    Outcome flowControlCommand(const Command& command);
    Outcome localFlowControlCommand(const Command& command);
    Outcome bitRateCommand(const Command& command);
    Outcome characterSetCommand(const Command& command);
    Outcome callerIdCommand(const Command& command);
    Outcome messageFormatCommand(const Command& command);
    Outcome errorReportCommand(const Command& command);
    Outcome showHeadersCommand(const Command& command);
    Outcome messageServiceCommand(const Command& command);
    Outcome storageCommand(const Command& command);
    Outcome serviceCentreCommand(const Command& command);
    Outcome submitParametersCommand(const Command& command);
    Outcome newMessageIndicationCommand(const Command& command);
    Outcome functionalityCommand(const Command& command);
    Outcome pinCommand(const Command& command);
    Outcome signalQualityCommand(const Command& command);
    Outcome registrationCommand(const Command& command);
    Outcome operatorCommand(const Command& command);
    Outcome listCallsCommand(const Command& command);
    Outcome listMessagesCommand(const Command& command);
    Outcome readMessageCommand(const Command& command);
    Outcome deleteMessageCommand(const Command& command);
    Outcome writeMessageCommand(const Command& command);
    Outcome sendStoredCommand(const Command& command);
    Outcome sendMessageCommand(const Command& command);

    // Settings and SIM
    bool m_echoAtPowerUp = true;
    Settings m_settings;
    QString m_manufacturer = QStringLiteral("Tarvo");
    QString m_model = QStringLiteral("TG-100");
    QString m_revision = QStringLiteral("1.0.0");
    QString m_imei = QStringLiteral("356938035643809");
    QString m_imsi = QStringLiteral("262991234567890");
    QString m_operatorName = QStringLiteral("Tarvo Mobile");
    QString m_operatorCode = QStringLiteral("26299");
    int m_capacity = 30;
    std::map<int, Stored> m_sim;
    std::optional<Call> m_call;
    int m_nextReference = 1;

    // Test control and record
    std::deque<Script> m_scripts;
    QStringList m_commands;
    QList<SentMessage> m_sent;

    // The line
    QByteArray m_input;
    QByteArray m_line;
    bool m_inBody = false;
    QByteArray m_body;
    PendingBody m_pendingBody;
    QList<QByteArray> m_info;
    QByteArray m_output;
    QByteArray m_delayedAnswer;
    std::optional<Clock::time_point> m_answerDue;
};

} // namespace modemsim
