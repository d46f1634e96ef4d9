#include "SerialPortName.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(SerialPortName, DevicePathOrPortNumber)
{
    const std::tuple<QString, QString, QString> cases[] = {
        {u"/dev/ttyUSB2"_s, u"3"_s, u"/dev/ttyUSB2"_s},
        {u" /dev/rfcomm0 "_s, QString(), u"/dev/rfcomm0"_s},
        {QString(), u"1"_s, u"/dev/ttyS0"_s},
        {QString(), u"4"_s, u"/dev/ttyS3"_s},
        {u"2"_s, QString(), u"/dev/ttyS1"_s},
        {QString(), u"0"_s, QString()},
        {QString(), QString(), QString()},
        {QString(), u"COM1"_s, QString()},
    };
    for (const auto& [name, number, path] : cases)
        EXPECT_EQ(modem::serialDevicePath(name, number), path) << name.toStdString() << "/" << number.toStdString();
}

TEST(SerialPortName, ClassicPortNumberIsTheInverse)
{
    const std::pair<QString, QString> cases[] = {
        {u"/dev/ttyS0"_s, u"1"_s},      {u"/dev/ttyS2"_s, u"3"_s}, {u" 4 "_s, u"4"_s},
        {u"/dev/ttyUSB0"_s, u"0"_s},    {u"/dev/ttyS"_s, u"0"_s},  {u"/dev/serial/by-id/usb-x"_s, u"0"_s},
        {u"/dev/ttyS1/../x"_s, u"0"_s},
    };
    for (const auto& [device, number] : cases) {
        EXPECT_EQ(modem::classicPortNumber(device), number) << device.toStdString();
        if (number != u"0"_s) {
            EXPECT_EQ(modem::serialDevicePath({}, number), modem::serialDevicePath(device, {}));
        }
    }
}
