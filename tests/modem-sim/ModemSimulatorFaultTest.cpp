// Faults a sender has to survive, through the port: refusals after some successes, prompts refused or late,
// confirmations that never come, and answers that reach the port in pieces.

#include "Chunker.h"
#include "ModemFixture.h"

#include <QElapsedTimer>
#include <QTimeZone>

#include <optional>
#include <set>

using ModemSimFaults = ModemFixture;
using ModemSimChunking = ModemFixture;
using modemsim::Behaviour;

namespace {

const QByteArray kSend = "AT+CMGS=\"+4915112345678\"";

} // namespace

TEST_F(ModemSimFaults, SkippedCommandsPassBeforeTheScriptApplies)
{
    useQuietTextMode();
    m_modem.script(QStringLiteral("+CMGS"), Behaviour{.kind = Behaviour::Error, .times = 1, .skip = 1});
    for (const char* expected : {"\r\n+CMGS: 1\r\n\r\nOK\r\n", "\r\nERROR\r\n", "\r\n+CMGS: 2\r\n\r\nOK\r\n"}) {
        ASSERT_EQ(ask(kSend), "\r\n> ");
        m_client->send("Hallo\x1A");
        EXPECT_EQ(answer(), expected);
    }
    EXPECT_EQ(m_modem.sentMessages().size(), 2);
}

TEST_F(ModemSimFaults, MessageCommandsFailAtTheCommandLineOrAfterTheText)
{
    struct Fault
    {
        const char* what;
        QByteArray command;
        Behaviour behaviour;
        std::string answer; // before the OK of the AT that follows
        qsizetype sent;
        qsizetype stored;
    };
    const QByteArray write = "AT+CMGW=\"+4915112345678\"";
    const QList<Fault> table = {
        {"prompt refused", kSend, {Behaviour::RefusePrompt}, "\r\nERROR\r\n", 0, 0},
        {"prompt refused with a code", kSend, {Behaviour::RefusePrompt, 1, 331}, "\r\n+CMS ERROR: 331\r\n", 0, 0},
        {"failure after the text", kSend, {Behaviour::CmsError, 1, 500}, "\r\n> \r\n+CMS ERROR: 500\r\n", 0, 0},
        {"silence: the text is taken, never sent", kSend, {Behaviour::Silence}, "\r\n> ", 0, 0},
        {"swallow: sent, the confirmation lost", kSend, {Behaviour::Swallow}, "\r\n> ", 1, 0},
        {"swallow while writing: stored, no answer", write, {Behaviour::Swallow}, "\r\n> ", 0, 1},
        {"swallow from storage: sent, no answer", "AT+CMSS=1", {Behaviour::Swallow}, "", 1, 0},
        {"nothing scripted", kSend, {Behaviour::Ok, 0}, "\r\n> \r\n+CMGS: 3\r\n\r\nOK\r\n", 1, 0},
    };
    m_modem.addMessage(QStringLiteral("STO UNSENT"), QStringLiteral("+4915112345678"), QStringLiteral("Vom SIM"));
    useQuietTextMode();
    for (const Fault& row : table) {
        SCOPED_TRACE(row.what);
        const auto sentBefore = m_modem.sentMessages().size();
        const auto storedBefore = m_modem.simMessages().size();
        m_modem.script(QStringLiteral("+CM"), row.behaviour);
        // A client that does not wait writes its text right behind the command line; without a prompt the modem
        // drops it at the Ctrl-Z. The AT at the end shows that nothing else is on its way.
        m_client->send(row.command + "\rNachricht\x1A"
                                     "AT\r");
        const std::string expected = row.answer + "\r\nOK\r\n";
        EXPECT_EQ(text(m_client->readUntil(QByteArray::fromStdString(expected))), expected);
        EXPECT_EQ(m_modem.sentMessages().size() - sentBefore, row.sent);
        EXPECT_EQ(m_modem.simMessages().size() - storedBefore, row.stored);
        m_modem.clearScripts();
    }
    const auto sent = m_modem.sentMessages();
    ASSERT_EQ(sent.size(), 3);
    EXPECT_EQ(sent[1].text, QStringLiteral("Vom SIM"));
    EXPECT_TRUE(sent[1].fromStorage);
    EXPECT_EQ(m_modem.simMessages().front().status, QStringLiteral("STO SENT"));
}

TEST_F(ModemSimFaults, LatePromptHoldsWhatArrivedBeforeIt)
{
    struct Early
    {
        const char* what;
        QByteArray sentEarly;
        std::string afterPrompt;
        qsizetype sent;
    };
    const QList<Early> table = {
        {"the client gave up with ESC", "\x1B", "\r\nOK\r\n", 0},
        {"the client sent its text without waiting", "Spaet\x1A", "\r\n+CMGS: 1\r\n\r\nOK\r\n", 1},
    };
    constexpr int kLateMs = 250;
    useQuietTextMode();
    for (const Early& row : table) {
        SCOPED_TRACE(row.what);
        m_modem.script(QStringLiteral("+CMGS"), Behaviour{.kind = Behaviour::LatePrompt, .delayMs = kLateMs});
        QElapsedTimer clock;
        clock.start();
        m_client->send(kSend + '\r');
        EXPECT_EQ(text(m_client->readAnswer(kLateMs / 2)), "");
        m_client->send(row.sentEarly);
        EXPECT_EQ(answer(), "\r\n> ");
        EXPECT_GE(clock.elapsed(), kLateMs);
        EXPECT_EQ(answer(), row.afterPrompt);
        EXPECT_EQ(m_modem.sentMessages().size(), row.sent);
    }
    EXPECT_EQ(m_modem.sentMessages().back().text, QStringLiteral("Spaet"));
}

namespace {

// What a client reads in one session with the modem, whole, however it arrived.
std::string transcript(std::optional<quint32> seed)
{
    modemsim::ModemSimulator modem;
    EXPECT_TRUE(modem.start());
    const QDateTime received(QDate(2026, 3, 14), QTime(9, 26, 53), QTimeZone(3600));
    modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("+4917011111111"), QStringLiteral("Termin um 10"),
                     received);
    modem.addMessage(QStringLiteral("REC UNREAD"), QStringLiteral("MyBank"), QStringLiteral("Привет"), received);
    if (seed)
        modem.setChunking(*seed, 7, 3);
    PortClient client(modem.portName());
    QByteArray all;
    for (const char* line : {"AT", "AT+CMGF=1;+CLIP=1", "AT+CSDH=1;+CMGL=\"ALL\"", "AT+CMGS=\"+49151\""})
        all += client.ask(line);
    client.send("Hallo\x1A");
    all += client.readAnswer();
    modem.ring(QStringLiteral("+4917012345678"));
    all += client.readUntil(",145,,,,0\r\n");
    all += client.ask("AT+CMGF=0;+CMGL=4");
    return all.toStdString();
}

// Where the pieces of `total` bytes end, the end itself left out.
std::set<qsizetype> plannedCuts(quint32 seed, int maxBytes, int maxDelayMs, qsizetype total)
{
    modemsim::Chunker chunker(seed, maxBytes, maxDelayMs);
    std::set<qsizetype> cuts;
    for (qsizetype at = chunker.next().bytes; at < total; at += chunker.next().bytes)
        cuts.insert(at);
    return cuts;
}

} // namespace

TEST(ModemSimChunked, PiecesReassembleToTheSameSession)
{
    const std::string whole = transcript(std::nullopt);
    ASSERT_NE(whole.find("\r\n> Hallo\r\n+CMGS: 1\r\n\r\nOK\r\n"), std::string::npos) << whole;
    ASSERT_NE(whole.find("\r\nRING\r\n\r\n+CLIP: "), std::string::npos) << whole;
    for (const quint32 seed : {1u, 2u, 3u}) {
        SCOPED_TRACE(seed);
        EXPECT_EQ(transcript(seed), whole);
    }
}

TEST_F(ModemSimChunking, PiecesAreCutWhereTheSeedSays)
{
    constexpr int kMaxBytes = 5;
    constexpr int kMaxDelayMs = 6;
    m_modem.addMessage(QStringLiteral("REC READ"), QStringLiteral("+4917011111111"), QStringLiteral("Termin um 10"));
    useQuietPduMode();
    const QByteArray whole = m_client->ask("AT+CMGL=4");
    ASSERT_TRUE(whole.endsWith("\r\n\r\nOK\r\n"));

    std::set<qsizetype> previous;
    for (const quint32 seed : {11u, 12u}) {
        SCOPED_TRACE(seed);
        const std::set<qsizetype> planned = plannedCuts(seed, kMaxBytes, kMaxDelayMs, whole.size());
        EXPECT_NE(planned, previous);
        previous = planned;

        m_modem.setChunking(seed, kMaxBytes, kMaxDelayMs);
        m_client->send("AT+CMGL=4\r");
        const QList<QByteArray> arrivals = m_client->readArrivals(whole.size());
        EXPECT_EQ(arrivals.join(), whole);
        // Pieces that follow each other without a pause may be read together, but no read ends inside a piece.
        EXPECT_GT(arrivals.size(), 1);
        qsizetype at = 0;
        for (qsizetype i = 0; i + 1 < arrivals.size(); ++i) {
            at += arrivals[i].size();
            EXPECT_TRUE(planned.contains(at)) << "a read ended at " << at;
        }
    }
    m_modem.setChunking(0, 0, 0);
    EXPECT_EQ(m_client->ask("AT+CMGL=4"), whole);
}
