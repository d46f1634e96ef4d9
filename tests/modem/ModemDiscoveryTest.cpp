#include "ModemDiscovery.h"
#include "AtParsers.h"
#include "ModemSimulator.h"
#include "SilentDevice.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::SilentDevice;
using testing_support::TempFolder;

namespace {

struct ModemDiscoveryTest : ::testing::Test
{
    modemsim::ModemSimulator first;
    modemsim::ModemSimulator second;
    SilentDevice silent;
    modem::AtLink link;

    void SetUp() override
    {
        first.setIdentity(u"SIMCOM_Ltd"_s, u"SIMCOM_SIM800L"_s, u"R14"_s, u"861234567890123"_s);
        second.setIdentity(u"Quectel, Inc."_s, u"EC25"_s, u"R02"_s, u"869876543210987"_s);
        QString error;
        ASSERT_TRUE(first.start(&error)) << error.toStdString();
        ASSERT_TRUE(second.start(&error)) << error.toStdString();
        ASSERT_FALSE(silent.path.isEmpty());
    }
};

} // namespace

TEST(InformationLine, SecondPieceOfTheAnswer)
{
    EXPECT_EQ(modem::informationLine(u"\r\nSIMCOM_Ltd\r\n\r\nOK\r\n"), u"SIMCOM_Ltd"_s);
    // With the command echoed, the echo is the first piece.
    EXPECT_EQ(modem::informationLine(u"AT+CGMI\r\r\n Huawei \r\n\r\nOK"), u"Huawei"_s);
    EXPECT_EQ(modem::informationLine(u"OK"), QString());
    EXPECT_EQ(modem::informationLine(u""), QString());
}

TEST_F(ModemDiscoveryTest, FindsEveryModemAndSkipsSilentAndMissingDevices)
{
    const QStringList ports{silent.path, first.portName(), u"/dev/tarvogate-no-such-device"_s, second.portName()};
    QList<std::pair<int, int>> steps;
    modem::DiscoveryHooks hooks;
    hooks.progress = [&](int done, int total) { steps << std::pair{done, total}; };

    const modem::DiscoveryResult result = modem::discoverModems(link, ports, 1.0, hooks);

    EXPECT_FALSE(result.cancelled);
    EXPECT_EQ(result.searched, 4);
    ASSERT_EQ(result.modems.size(), 2);
    EXPECT_EQ(result.modems[0], (modem::FoundModem{first.portName(), u"SIMCOM_Ltd"_s, u"SIMCOM_SIM800L"_s}));
    // A comma in a manufacturer's name stays in its own cell.
    EXPECT_EQ(result.modems[1], (modem::FoundModem{second.portName(), u"Quectel, Inc."_s, u"EC25"_s}));
    EXPECT_EQ(steps.first(), (std::pair{0, 4}));
    EXPECT_EQ(steps.last(), (std::pair{4, 4}));
    EXPECT_EQ(steps.size(), 5);
    EXPECT_FALSE(link.isOpen());
    EXPECT_FALSE(link.isConnected());
    EXPECT_TRUE(first.receivedCommands().contains(u"AT"_s));
}

TEST_F(ModemDiscoveryTest, AModemThatAnswersErrorStillCounts)
{
    first.script(u"AT"_s, {modemsim::Behaviour::Error, 1});
    const auto result = modem::discoverModems(link, {first.portName()}, 1.0, {});
    ASSERT_EQ(result.modems.size(), 1);
    EXPECT_EQ(result.modems[0].manufacturer, u"SIMCOM_Ltd"_s);
}

TEST_F(ModemDiscoveryTest, CancelEndsWithoutResults)
{
    modem::DiscoveryHooks hooks;
    bool cancel = false;
    hooks.progress = [&](int done, int) { cancel = done >= 1; };
    hooks.cancelled = [&] { return cancel; };
    const auto result = modem::discoverModems(link, {first.portName(), second.portName()}, 1.0, hooks);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.modems.isEmpty());
    EXPECT_EQ(result.searched, 1);
    EXPECT_FALSE(second.receivedCommands().contains(u"AT"_s));
    EXPECT_FALSE(link.isOpen());

    // Cancelled while asking for names: still nothing.
    bool asked = false;
    hooks.progress = [&](int done, int total) { asked = done == total; };
    hooks.cancelled = [&] { return asked; };
    const auto late = modem::discoverModems(link, {first.portName()}, 1.0, hooks);
    EXPECT_TRUE(late.cancelled);
    EXPECT_TRUE(late.modems.isEmpty());
}

TEST_F(ModemDiscoveryTest, ProbesAtMostTwentyDevices)
{
    QStringList ports;
    for (int i = 0; i < 25; ++i)
        ports << u"/dev/tarvogate-missing-%1"_s.arg(i);
    ports << first.portName();
    const auto result = modem::discoverModems(link, ports, 1.0, {});
    EXPECT_EQ(result.searched, modem::kMaxProbedPorts);
    EXPECT_TRUE(result.modems.isEmpty());
}

TEST_F(ModemDiscoveryTest, StableNamesAndLinksToVirtualPortsAreListed)
{
    TempFolder byId;
    const QString simLink = byId.path() + u"/usb-Simulated_Modem_0001-if00-port0"_s;
    ASSERT_TRUE(QFile::link(first.portName(), simLink));
    ASSERT_TRUE(QFile::link(u"/dev/tarvogate-gone"_s, byId.path() + u"/usb-Unplugged-if00"_s));

    const QStringList ports = modem::serialPortCandidates(byId.path());
    EXPECT_TRUE(ports.contains(simLink));
    // A link whose device is gone is no port.
    EXPECT_FALSE(ports.contains(byId.path() + u"/usb-Unplugged-if00"_s));
    EXPECT_FALSE(ports.contains(first.portName()));
    EXPECT_EQ(ports.size(), QSet<QString>(ports.begin(), ports.end()).size());

    const auto result = modem::discoverModems(link, {simLink}, 1.0, {});
    ASSERT_EQ(result.modems.size(), 1);
    EXPECT_EQ(result.modems[0].port, simLink);
}
