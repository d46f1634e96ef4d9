// The command line as a client sees it on the port: echo, framing, joined commands, scripted
// failures, calls and the record of what arrived.

#include "ModemFixture.h"

#include <QElapsedTimer>

using ModemSimLine = ModemFixture;
using ModemSimScripts = ModemFixture;
using ModemSimCalls = ModemFixture;
using modemsim::Behaviour;

TEST_F(ModemSimLine, EchoIsOnAtPowerUpAndFollowsE0AndE1)
{
    EXPECT_EQ(ask("AT"), "AT\r\r\nOK\r\n");
    // The command that switches echo off is still echoed: it arrived while echo was on.
    EXPECT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT"), "\r\nOK\r\n");
    EXPECT_EQ(ask("ATE1"), "\r\nOK\r\n");
    EXPECT_EQ(ask("at"), "at\r\r\nOK\r\n");
    EXPECT_EQ(ask("ATE"), "ATE\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT"), "\r\nOK\r\n");
}

TEST_F(ModemSimLine, ResetRestoresTheEchoChosenForPowerUp)
{
    m_modem.setEchoAtPowerUp(false);
    EXPECT_EQ(ask("AT"), "\r\nOK\r\n");
    EXPECT_EQ(ask("ATE1"), "\r\nOK\r\n");
    EXPECT_EQ(ask("ATZ"), "ATZ\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT"), "\r\nOK\r\n");
}

TEST_F(ModemSimLine, JoinedCommandsRunInOrderWithOneResultAndStopAtTheFirstError)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGF=1;+CSCS=\"IRA\""), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGF?;+CSCS?"), "\r\n+CMGF: 1\r\n\r\n+CSCS: \"IRA\"\r\n\r\nOK\r\n");
    // Basic commands may follow each other without a separator.
    EXPECT_EQ(ask("ATE0V1+CMEE=1"), "\r\nOK\r\n");

    EXPECT_EQ(ask("AT+CMGF=0;+NOSUCH;+CMGF=1"), "\r\nERROR\r\n");
    EXPECT_EQ(ask("AT+CMGF?"), "\r\n+CMGF: 0\r\n\r\nOK\r\n");
}

TEST_F(ModemSimLine, LinesEndedWithCrLfAndNoiseBeforeThePrefixAreUnderstood)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    m_client->send("AT+CSQ\r\n");
    EXPECT_EQ(answer(), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
    // Leftovers of a message text the modem refused, ended by Ctrl-Z, do not spoil the next line.
    m_client->send("hello\x1A"
                   "AT\r");
    EXPECT_EQ(answer(), "\r\nOK\r\n");
    m_client->send("\x1B\rAT+CSQ\r");
    EXPECT_EQ(answer(), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
}

TEST_F(ModemSimLine, IdentityAndStatusQueries)
{
    m_modem.setIdentity(QStringLiteral("Acme"), QStringLiteral("GSM Box 7"), QStringLiteral("07.11"),
                        QStringLiteral("490154203237518"));
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CGMI"), "\r\nAcme\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+GMM"), "\r\nGSM Box 7\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CGMR"), "\r\n07.11\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CGSN"), "\r\n490154203237518\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CPIN?"), "\r\n+CPIN: READY\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CREG?"), "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CPMS?"), "\r\n+CPMS: \"SM\",0,30,\"SM\",0,30,\"SM\",0,30\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CPBS?"), "\r\nERROR\r\n");
    EXPECT_EQ(ask("AT+CSCS=\"KOI8\""), "\r\nERROR\r\n");
}

TEST_F(ModemSimLine, ClientClosingAndReopeningThePortFindsTheModemStillAnswering)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    m_client->reopen();
    ASSERT_TRUE(m_client->isOpen());
    EXPECT_EQ(ask("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
}

TEST_F(ModemSimLine, ReceivedCommandLinesAreRecordedAsSentWithoutMessageTexts)
{
    EXPECT_FALSE(m_modem.waitForCommand(QStringLiteral("AT+CLCC"), 50));
    ask("ATE0");
    ask("AT+CMGF=1;+CSCS=\"GSM\"");
    m_client->send("AT+CMGS=\"+4915112345678\"\r");
    ASSERT_EQ(answer(), "\r\n> ");
    m_client->send("secret text\x1A");
    answer();
    ask("AT+CLCC");

    EXPECT_EQ(m_modem.receivedCommands(),
              QStringList({"ATE0", "AT+CMGF=1;+CSCS=\"GSM\"", "AT+CMGS=\"+4915112345678\"", "AT+CLCC"}));
    EXPECT_TRUE(m_modem.waitForCommand(QStringLiteral("at+clcc"), 0));

    m_modem.clearReceivedCommands();
    EXPECT_TRUE(m_modem.receivedCommands().isEmpty());
    EXPECT_FALSE(m_modem.waitForCommand(QStringLiteral("AT+CLCC"), 50));
    m_client->send("AT+CLCC\r");
    EXPECT_TRUE(m_modem.waitForCommand(QStringLiteral("AT+CLCC"), PortClient::kTimeoutMs));
}

TEST_F(ModemSimScripts, ScriptedErrorsRunOutAndTheNormalAnswerReturns)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    m_modem.script(QStringLiteral("+csq"), Behaviour{Behaviour::Error, 2});
    EXPECT_EQ(ask("AT+CSQ"), "\r\nERROR\r\n");
    EXPECT_EQ(ask("AT+CREG?"), "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CSQ"), "\r\nERROR\r\n");
    EXPECT_EQ(ask("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");

    // An empty prefix takes every command, plain AT too; scripts queue in order.
    m_modem.script(QString(), Behaviour{Behaviour::NoCarrier});
    m_modem.script(QString(), Behaviour{Behaviour::Ok});
    EXPECT_EQ(ask("AT"), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(ask("AT+CSQ"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");

    m_modem.script(QStringLiteral("+CSQ"), Behaviour{Behaviour::Error, -1});
    EXPECT_EQ(ask("AT+CSQ"), "\r\nERROR\r\n");
    EXPECT_EQ(ask("AT+CSQ"), "\r\nERROR\r\n");
    m_modem.clearScripts();
    EXPECT_EQ(ask("AT+CSQ"), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
}

TEST_F(ModemSimScripts, SilenceWithholdsOnlyTheResult)
{
    m_modem.script(QStringLiteral("+CLIP"), Behaviour{Behaviour::Silence});
    // Both lines go out at once; the only result that comes back is the second one's, right
    // after both echoes.
    m_client->send("AT+CLIP=1\rAT\r");
    EXPECT_EQ(answer(), "AT+CLIP=1\rAT\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CLIP?"), "AT+CLIP?\r\r\n+CLIP: 0,1\r\n\r\nOK\r\n");
}

TEST_F(ModemSimScripts, DelayedAnswerComesLateAndHoldsBackTheNextCommand)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    m_modem.script(QStringLiteral("+CSQ"), Behaviour{Behaviour::Delay, 1, 0, 300});
    QElapsedTimer clock;
    clock.start();
    m_client->send("AT+CSQ\rAT+CREG?\r");
    EXPECT_EQ(answer(), "\r\n+CSQ: 20,99\r\n\r\nOK\r\n");
    EXPECT_GE(clock.elapsed(), 300);
    EXPECT_EQ(answer(), "\r\n+CREG: 0,1\r\n\r\nOK\r\n");
}

TEST_F(ModemSimScripts, ErrorReportsAreNumberedOnlyAfterCmee)
{
    ASSERT_EQ(ask("ATE0;+CMGF=1"), "ATE0;+CMGF=1\r\r\nOK\r\n");
    m_modem.script(QStringLiteral("+CMGS"), Behaviour{Behaviour::CmsError, 2, 500});
    m_modem.script(QStringLiteral("+CPIN"), Behaviour{Behaviour::CmeError, 2, 10});

    // The prompt still comes; the failure answers the text, as a network failure would.
    EXPECT_EQ(ask("AT+CMGS=\"+4915112345678\""), "\r\n> ");
    m_client->send("first\x1A");
    EXPECT_EQ(answer(), "\r\nERROR\r\n");
    EXPECT_EQ(ask("AT+CPIN?"), "\r\nERROR\r\n");

    ASSERT_EQ(ask("AT+CMEE=1"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGS=\"+4915112345678\""), "\r\n> ");
    m_client->send("second\x1A");
    EXPECT_EQ(answer(), "\r\n+CMS ERROR: 500\r\n");
    EXPECT_EQ(ask("AT+CPIN?"), "\r\n+CME ERROR: 10\r\n");

    ASSERT_EQ(ask("AT+CMEE=2"), "\r\nOK\r\n");
    m_modem.script(QStringLiteral("+CPIN"), Behaviour{Behaviour::CmeError, 1, 10});
    EXPECT_EQ(ask("AT+CPIN?"), "\r\n+CME ERROR: SIM not inserted\r\n");
    EXPECT_TRUE(m_modem.sentMessages().isEmpty());
}

TEST_F(ModemSimCalls, RingShowsTheCallerOnlyAfterClipIsEnabled)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    m_modem.ring(QStringLiteral("+4917012345678"));
    // Whatever the ring brought comes before the answer to the next command.
    m_client->send("AT\r");
    EXPECT_EQ(answer(), "\r\nRING\r\n\r\nOK\r\n");

    ASSERT_EQ(ask("AT+CLIP=1"), "\r\nOK\r\n");
    m_modem.ring(QStringLiteral("+4917012345678"));
    EXPECT_EQ(text(m_client->readUntil("\r\n+CLIP: \"+4917012345678\",145,,,,0\r\n")),
              "\r\nRING\r\n\r\n+CLIP: \"+4917012345678\",145,,,,0\r\n");
    m_modem.ring(QStringLiteral("01701234567"), 129);
    EXPECT_EQ(text(m_client->readUntil(",129,,,,0\r\n")), "\r\nRING\r\n\r\n+CLIP: \"01701234567\",129,,,,0\r\n");
}

TEST_F(ModemSimCalls, CallListShowsTheRingingCallUntilItEnds)
{
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CLCC"), "\r\nOK\r\n");

    m_modem.ring(QStringLiteral("+4917012345678"));
    ASSERT_EQ(text(m_client->readUntil("RING\r\n")), "\r\nRING\r\n");
    EXPECT_EQ(ask("AT+CLCC"), "\r\n+CLCC: 1,1,4,0,0,\"+4917012345678\",145\r\n\r\nOK\r\n");

    m_modem.hangUp();
    EXPECT_EQ(answer(), "\r\nNO CARRIER\r\n");
    EXPECT_EQ(ask("AT+CLCC"), "\r\nOK\r\n");

    // The modem's own hang-up ends a call as well.
    m_modem.ring(QStringLiteral("+4917012345678"));
    ASSERT_EQ(text(m_client->readUntil("RING\r\n")), "\r\nRING\r\n");
    EXPECT_EQ(ask("ATH"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CLCC"), "\r\nOK\r\n");
}

TEST_F(ModemSimCalls, UnsolicitedTextGoesOutAsItStands)
{
    m_modem.sendUnsolicited(QStringLiteral("\r\n+CUSD: 0\r\n"));
    EXPECT_EQ(text(m_client->readUntil("+CUSD: 0\r\n")), "\r\n+CUSD: 0\r\n");
}
