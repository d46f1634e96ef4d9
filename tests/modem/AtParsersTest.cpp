#include "AtLineReader.h"
#include "AtParsers.h"
#include "AtLink.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

// A modem reply captured byte for byte (CR LF kept) under tests/data/modem/.
QString captured(const QString& name)
{
    QFile file(QStringLiteral(TARVOGATE_TEST_DATA) + u"/modem/"_s + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll());
}

} // namespace

TEST(CallState, ThirdFieldNamesTheState)
{
    EXPECT_EQ(modem::callStateFromClcc(captured(u"clcc-incoming.txt"_s)), u"Incoming"_s);
    const std::pair<QString, QString> cases[] = {
        {u"+CLCC: 1,0,0,0,0,\"+1\",145\r\n\r\nOK"_s, u"Active"_s},
        {u"+CLCC: 1,0,1,0,0\r\n\r\nOK"_s, u"Held"_s},
        {u"+CLCC: 1,0,2,0,0\r\nOK"_s, u"Dialing"_s},
        {u"+CLCC: 1,0,3,0,0\r\nOK"_s, u"Alerting"_s},
        {u"+CLCC: 1,1,5,0,0\r\nOK"_s, u"Waiting"_s},
        {u"+CLCC: 1,1,7,0,0\r\nOK"_s, QString(u""_s)},
        {u"+CLCC: 1,1\r\nOK"_s, QString(u""_s)},
        {u"\r\nOK"_s, u"\r\nOK"_s},
        {u"ERROR"_s, u"ERROR"_s},
        {u"+CME ERROR: 100"_s, u"ERROR"_s},
        {QString(), QString()},
    };
    for (const auto& [answer, state] : cases)
        EXPECT_EQ(modem::callStateFromClcc(answer), state) << answer.toStdString();
}

TEST(CallerNumber, FromClipOrClcc)
{
    EXPECT_EQ(modem::callerNumberIn(u"+CLIP: \"+4915112345678\",145,,,,0"_s), u"+4915112345678"_s);
    EXPECT_EQ(modem::callerNumberIn(u"RING\r\n\r\n+CLIP: \"01711234567\",129,,,,0\r\n"_s), u"01711234567"_s);
    // The whole number, not one missing its first digits.
    EXPECT_EQ(modem::callerNumberIn(captured(u"clcc-incoming.txt"_s)), u"+4915112345678"_s);
    EXPECT_EQ(modem::callerNumberIn(u"+CLIP: \"\",128,,,,1"_s), QString());
    EXPECT_EQ(modem::callerNumberIn(u"+CLIP: \"+49151"_s), QString());
    EXPECT_EQ(modem::callerNumberIn(u"RING"_s), QString());
}

TEST(StoreAnswer, IndexFollowsCmgw)
{
    EXPECT_EQ(modem::cmgwIndex(captured(u"cmgw-index-12.txt"_s)), u"12"_s);
    EXPECT_EQ(modem::cmgwIndex(u"\r\n> \r\n+CMGW: 3\r\n\r\nOK"_s), u"3"_s);
    EXPECT_EQ(modem::cmgwIndex(u"\r\n> \r\n+CMGW: 137\r\n\r\nOK"_s), u"137"_s);
    EXPECT_EQ(modem::cmgwIndex(u"+CMS ERROR: 322"_s), QString());
}

TEST(SmsParts, CutEvery160Characters)
{
    EXPECT_EQ(modem::smsParts(QString(160, u'a')).size(), 1);
    const QStringList two = modem::smsParts(QString(160, u'a') + u"b"_s);
    ASSERT_EQ(two.size(), 2);
    EXPECT_EQ(two[1], u"b"_s);
    EXPECT_EQ(modem::smsParts(QString(480, u'x')).size(), 3);
    EXPECT_TRUE(modem::smsParts(QString()).isEmpty());
}

TEST(ScaledWait, RoundsHalfToEvenWithinSixteenBits)
{
    EXPECT_EQ(modem::scaledWait(50, 1.0), 50);
    EXPECT_EQ(modem::scaledWait(50, 1.5), 75);
    EXPECT_EQ(modem::scaledWait(75, 0.5), 38);  // 37.5
    EXPECT_EQ(modem::scaledWait(125, 0.5), 62); // 62.5
    EXPECT_EQ(modem::scaledWait(1000, 40), 32767);
}

TEST(UnsolicitedLines, RingsNumbersAndNoticesAsWholeLinesOnly)
{
    EXPECT_TRUE(modem::isUnsolicitedLine(u"RING"_s, false));
    EXPECT_TRUE(modem::isUnsolicitedLine(u"+CRING: VOICE"_s, false));
    EXPECT_TRUE(modem::isUnsolicitedLine(u"+CLIP: \"+49151\",145,,,,0"_s, false));
    EXPECT_TRUE(modem::isUnsolicitedLine(u"+CMTI: \"SM\",3"_s, false));
    EXPECT_FALSE(modem::isUnsolicitedLine(u"+CLIP: 1,1"_s, false)); // answers AT+CLIP?
    EXPECT_FALSE(modem::isUnsolicitedLine(u"OK"_s, true));
    // A hang-up only while a call rings; otherwise it is a command's final result.
    EXPECT_TRUE(modem::isUnsolicitedLine(u"NO CARRIER"_s, true));
    // Inside a line, the words are text.
    EXPECT_FALSE(modem::isUnsolicitedLine(u"RING me back"_s, false));
    EXPECT_FALSE(modem::isUnsolicitedLine(u"Call me: +CLIP: \"+1\""_s, false));
    EXPECT_FALSE(modem::isUnsolicitedLine(u"NO CARRIER"_s, false));
}

TEST(IdentifyCaller, CountryCodeAndMobileRules)
{
    const std::vector<modem::CountryCodeRow> countries = {
        {1, u"1"_s}, {2, u"44"_s}, {3, u"91"_s}, {4, u""_s}, {5, u"4"_s}};

    auto uk = modem::identifyCaller(u"00441234567890"_s, countries);
    EXPECT_EQ(uk.countryCode, u"44"_s);
    EXPECT_EQ(uk.countryId, u"2"_s);
    EXPECT_EQ(uk.national, u"1234567890"_s);
    EXPECT_FALSE(uk.isMobile);

    auto india = modem::identifyCaller(u"+919812345678"_s, countries);
    EXPECT_EQ(india.countryCode, u"91"_s);
    EXPECT_EQ(india.national, u"9812345678"_s);
    EXPECT_TRUE(india.isMobile);

    // 11 characters starting 0 then 9: the 0 goes and the number is mobile; 10 keep it.
    std::vector<modem::CountryCodeRow> none;
    auto eleven = modem::identifyCaller(u"09812345678"_s, none);
    EXPECT_EQ(eleven.national, u"9812345678"_s);
    EXPECT_TRUE(eleven.isMobile);
    auto ten = modem::identifyCaller(u"0981234567"_s, none);
    EXPECT_EQ(ten.national, u"0981234567"_s);
    EXPECT_FALSE(ten.isMobile);

    auto noCountries = modem::identifyCaller(u"+4915112345678"_s, none);
    EXPECT_EQ(noCountries.national, u"4915112345678"_s);
    EXPECT_EQ(noCountries.countryCode, u"0"_s);
    EXPECT_EQ(noCountries.countryId, u"0"_s);

    // The first matching row wins, even a shorter code listed before a longer one.
    const std::vector<modem::CountryCodeRow> shortFirst = {{7, u"4"_s}, {8, u"44"_s}};
    EXPECT_EQ(modem::identifyCaller(u"+447700900123"_s, shortFirst).countryCode, u"4"_s);
}

TEST(LineSettings, ReadFromTheStoredParts)
{
    modem::LineSettings line;
    ASSERT_TRUE(modem::parseLineSettings(u"115200,n,8,1"_s, line));
    EXPECT_EQ(line.baudRate, 115200);
    EXPECT_EQ(line.parity, QSerialPort::NoParity);
    ASSERT_TRUE(modem::parseLineSettings(u" 9600,E,7,2 "_s, line));
    EXPECT_EQ(line.parity, QSerialPort::EvenParity);
    EXPECT_EQ(line.dataBits, QSerialPort::Data7);
    EXPECT_EQ(line.stopBits, QSerialPort::TwoStop);
    ASSERT_TRUE(modem::parseLineSettings(u"19200,m,8,1.5"_s, line));
    EXPECT_EQ(line.parity, QSerialPort::MarkParity);
    EXPECT_EQ(line.stopBits, QSerialPort::OneAndHalfStop);
    EXPECT_FALSE(modem::parseLineSettings(u",n,8,1"_s, line));
    EXPECT_FALSE(modem::parseLineSettings(u"9600,x,8,1"_s, line));
    EXPECT_FALSE(modem::parseLineSettings(u"9600,n,9,1"_s, line));
    EXPECT_FALSE(modem::parseLineSettings(u"9600,n,8"_s, line));
}

TEST(OpenFailure, TextsAPersonCanActOn)
{
    EXPECT_EQ(modem::openFailureText(modem::OpenFailure::NotFound, u"/dev/ttyUSB2"_s, {}),
              u"No modem found on COM Port /dev/ttyUSB2\r\nDo you wish to enter the correct COM port settings for the "
              u"attached modem?"_s);
    EXPECT_TRUE(modem::openFailureText(modem::OpenFailure::Permission, u"/dev/ttyUSB2"_s, {}).contains(u"dialout"_s));
    EXPECT_EQ(modem::openFailureText(modem::OpenFailure::InUse, u"/dev/ttyUSB2"_s, {}),
              u"Comm Port : /dev/ttyUSB2 already open or some other program is using it."_s);
}
