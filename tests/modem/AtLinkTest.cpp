#include "AtParsers.h"
#include "ModemStartUp.h"
#include "SimulatedModem.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <thread>
#include <unistd.h>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::SimulatedModem;
using Behaviour = modemsim::Behaviour;

namespace {

QStringList spied(const QSignalSpy& spy)
{
    QStringList texts;
    for (const auto& arguments : spy)
        texts << arguments.at(0).toString();
    return texts;
}

} // namespace

using ModemStartUpTest = SimulatedModem;

TEST_F(ModemStartUpTest, WithoutFlowControlOrCallerIdThreeCommands)
{
    QSignalSpy log(&link, &modem::AtLink::logLine);
    ASSERT_TRUE(modem::InitialiseModem(link, u"0"_s, u"GSM"_s, false, 1.0));
    EXPECT_TRUE(link.isInitialised());
    EXPECT_EQ(sim.receivedCommands(), (QStringList{u"ATE0"_s, u"AT+CSCS=\"GSM\""_s, u"AT+CMGF=1"_s}));
    const QStringList lines = spied(log);
    ASSERT_EQ(lines.size(), 3);
    // Echo was on at power-up, so ATE0's own answer still carries the echoed command.
    EXPECT_TRUE(lines[0].startsWith(u"Response for ATE0 is '"_s));
    EXPECT_FALSE(lines[0].contains(u"\r\n"_s));
    EXPECT_EQ(lines[1], u"Response for AT+CSCS=\"GSM\" is 'OK'"_s);
    EXPECT_EQ(lines[2], u"Response for AT+CMGF=1 is 'OK'"_s);
}

TEST_F(ModemStartUpTest, FlowControlAndCallerIdAddTheirCommands)
{
    QSignalSpy log(&link, &modem::AtLink::logLine);
    ASSERT_TRUE(modem::InitialiseModem(link, u"2"_s, u"IRA"_s, true, 1.0));
    EXPECT_EQ(sim.receivedCommands(),
              (QStringList{u"AT+FLO=2"_s, u"ATE0"_s, u"AT+CSCS=\"IRA\""_s, u"AT+CLIP=1"_s, u"AT+CMGF=1"_s}));
    // The flow-control trace keeps the answer's line breaks.
    ASSERT_FALSE(log.isEmpty());
    EXPECT_TRUE(spied(log)[0].startsWith(u"Response for AT+FLO=2 is '"_s));
    EXPECT_TRUE(spied(log)[0].contains(u"\r\n"_s));
}

TEST_F(ModemStartUpTest, CallerIdRefusedThreeTimesClosesTheLink)
{
    sim.script(u"+CLIP"_s, {Behaviour::Error, 1});
    QSignalSpy notices(&link, &modem::AtLink::notice);
    EXPECT_FALSE(modem::InitialiseModem(link, u"0"_s, u"GSM"_s, true, 1.0));
    EXPECT_EQ(spied(notices), QStringList{u"Your modem does not support 'CallerID' feature."_s});
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.isConnected());
    EXPECT_FALSE(link.isInitialised());
    // Written once; the text-mode step is never tried after the failure.
    EXPECT_EQ(commands(u"AT+CLIP"_s).size(), 1);
    EXPECT_TRUE(commands(u"AT+CMGF"_s).isEmpty());
}

TEST_F(ModemStartUpTest, SilentModemFailsWithoutAMessage)
{
    sim.script(QString(), {Behaviour::Silence, 100});
    QSignalSpy notices(&link, &modem::AtLink::notice);
    EXPECT_FALSE(modem::InitialiseModem(link, u"0"_s, u"GSM"_s, false, 0.2));
    EXPECT_TRUE(notices.isEmpty());
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(sim.receivedCommands(), QStringList{u"ATE0"_s});
}

using SendCommandTest = SimulatedModem;

TEST_F(SendCommandTest, ThreeErrorsShowTheFailureMessageOnce)
{
    sim.script(u"+CSCS"_s, {Behaviour::Error, 1});
    QSignalSpy notices(&link, &modem::AtLink::notice);
    const modem::AtAnswer answer = link.SendCommand(u"AT+CSCS=\"XYZ\"\r"_s, 100, u"OK"_s, 5, u"it failed"_s);
    EXPECT_EQ(answer.final, modem::FinalResult::Error);
    EXPECT_FALSE(answer.succeeded);
    EXPECT_EQ(spied(notices), QStringList{u"it failed"_s});
    EXPECT_EQ(commands(u"AT+CSCS"_s).size(), 1);
}

TEST_F(SendCommandTest, ExtendedErrorsCountAsErrors)
{
    sim.script(u"+CMGD"_s, {Behaviour::CmsError, 1, 321});
    const modem::AtAnswer answer = link.SendCommand(u"AT+CMGD=9\r"_s, 100, u"OK"_s, 5, QString());
    EXPECT_TRUE(answer.isError());
    EXPECT_FALSE(answer.succeeded);
}

TEST_F(SendCommandTest, EmptyExpectedTextTakesTheFirstAnswer)
{
    const modem::AtAnswer answer = link.SendCommand(u"AT+CGMI\r"_s, 200, QString(), 5, QString());
    EXPECT_TRUE(answer.received());
    EXPECT_TRUE(answer.succeeded);
}

TEST_F(SendCommandTest, EchoedCommandStillSucceeds)
{
    // Echo is on at power-up: the echoed command is no part of the answer.
    const modem::AtAnswer answer = link.SendCommand(u"AT+CGMI\r"_s, 200, u"OK"_s, 5, QString());
    EXPECT_EQ(answer.lines, QStringList{u"Tarvo"_s});
    EXPECT_EQ(answer.final, modem::FinalResult::Ok);
    EXPECT_TRUE(answer.succeeded);
}

TEST_F(SendCommandTest, SilenceFailsAfterItsRetries)
{
    sim.script(u"+CGMM"_s, {Behaviour::Silence, 1});
    const modem::AtAnswer answer = link.SendCommand(u"AT+CGMM\r"_s, 20, u"OK"_s, 3, QString());
    EXPECT_FALSE(answer.received()) << answer.text().toStdString();
    EXPECT_FALSE(answer.succeeded);
    EXPECT_EQ(commands(u"AT+CGMM"_s).size(), 1);
}

TEST_F(SendCommandTest, AnswerAfterExactlyRetriesEmptyReadsStillFails)
{
    link.SendCommand(u"ATE0\r"_s, 200, u"OK"_s, 5, QString());
    // Reads end at 300, 600 (1st empty), 900 (2nd empty); the answer comes at 1050.
    sim.script(u"+CGMR"_s, {Behaviour::Delay, 1, 0, 1050});
    const modem::AtAnswer answer = link.SendCommand(u"AT+CGMR\r"_s, 300, u"OK"_s, 2, QString());
    EXPECT_EQ(answer.final, modem::FinalResult::Ok) << answer.text().toStdString();
    EXPECT_FALSE(answer.succeeded);
}

TEST_F(SendCommandTest, NoCarrierTwiceMeansNoDialling)
{
    sim.script(u"D"_s, {Behaviour::NoCarrier, 1});
    QSignalSpy notices(&link, &modem::AtLink::notice);
    EXPECT_FALSE(link.SendCommand(u"ATD+4915112345678;\r"_s, 100, u"OK"_s, 5, QString()).succeeded);
    EXPECT_EQ(spied(notices), QStringList{u"Your modem probably does not support the dialing feature."_s});
}

TEST_F(SendCommandTest, RingDuringAnExchangeReachesCallHandlingAndSpoilsNothing)
{
    link.SendCommand(u"AT+CLIP=1\r"_s, 200, u"OK"_s, 5, QString());
    QSignalSpy unsolicited(&link, &modem::AtLink::unsolicitedLine);
    sim.script(u"+CGMI"_s, {Behaviour::Delay, 1, 0, 400});
    std::thread caller([this] {
        if (sim.waitForCommand(u"AT+CGMI"_s, 5000))
            sim.ring(u"+4915112345678"_s);
    });
    const modem::AtAnswer answer = link.SendCommand(u"AT+CGMI\r"_s, 2000, u"OK"_s, 5, QString());
    caller.join();
    EXPECT_TRUE(answer.succeeded);
    EXPECT_FALSE(answer.text().contains(u"RING"_s)) << answer.text().toStdString();
    EXPECT_FALSE(answer.text().contains(u"+CLIP"_s));
    ASSERT_TRUE(testing_support::waitUntil([&] { return unsolicited.size() >= 2; }, 2000));
    EXPECT_EQ(spied(unsolicited), (QStringList{u"RING"_s, u"+CLIP: \"+4915112345678\",145,,,,0"_s}));
}

TEST_F(SendCommandTest, ClosedPortSaysToConnectFirst)
{
    link.ClosePort();
    QSignalSpy notices(&link, &modem::AtLink::notice);
    EXPECT_FALSE(link.SendCommand(u"AT\r"_s, 100, u"OK"_s, 5, QString()).received());
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(spied(notices), QStringList{u"Modem is currently not connected to the application. Please click on "
                                          u"'Connect' button before executing any commands."_s});
}

TEST(OpenPort, MissingDeviceAsksForTheSettings)
{
    modem::AtLink link;
    modem::LineSettings line;
    ASSERT_TRUE(link.ConfigurePort(u"/dev/ttyTARVOGATE-missing"_s, line, QSerialPort::NoFlowControl));
    EXPECT_FALSE(link.OpenPort());
    EXPECT_FALSE(link.isConnected());
    EXPECT_EQ(link.lastOpenFailure(), modem::OpenFailure::NotFound);
    EXPECT_TRUE(link.lastOpenFailureText().startsWith(u"No modem found on COM Port /dev/ttyTARVOGATE-missing"_s));
}

TEST(OpenPort, WithoutPermissionNamesTheDialoutGroup)
{
    // Run as an ordinary user (ctest does so through setpriv): root may open anything.
    const QString device = u"/dev/ttyS0"_s;
    if (::geteuid() == 0 || !QFile::exists(device) || ::access("/dev/ttyS0", R_OK | W_OK) == 0)
        GTEST_SKIP() << "needs a serial device this user may not open";
    modem::AtLink link;
    modem::LineSettings line;
    ASSERT_TRUE(link.ConfigurePort(device, line, QSerialPort::NoFlowControl));
    EXPECT_FALSE(link.OpenPort());
    EXPECT_EQ(link.lastOpenFailure(), modem::OpenFailure::Permission);
    EXPECT_TRUE(link.lastOpenFailureText().contains(u"dialout"_s));
}

TEST_F(SendCommandTest, SecondLinkOnABusyPortIsToldItIsInUse)
{
    modem::AtLink second;
    modem::LineSettings line;
    ASSERT_TRUE(second.ConfigurePort(sim.portName(), line, QSerialPort::NoFlowControl));
    EXPECT_FALSE(second.OpenPort());
    EXPECT_EQ(second.lastOpenFailure(), modem::OpenFailure::InUse);
    EXPECT_EQ(second.lastOpenFailureText(),
              u"Comm Port : "_s + sim.portName() + u" already open or some other program is using it."_s);
}

TEST_F(SendCommandTest, ConfiguringAnOpenPortIsRefused)
{
    QSignalSpy notices(&link, &modem::AtLink::notice);
    modem::LineSettings line;
    EXPECT_FALSE(link.ConfigurePort(u"/dev/ttyUSB9"_s, line, QSerialPort::NoFlowControl));
    EXPECT_EQ(link.portPath(), sim.portName());
    EXPECT_EQ(notices.size(), 1);
}
