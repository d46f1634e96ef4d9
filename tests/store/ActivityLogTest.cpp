#include "ActivityLog.h"
#include "TestSupport.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;

namespace {

const QString kNotice = u"**NOTICE** Removing old entries from the activity log."_s;

struct LogFixture : ::testing::Test
{
    FakeClock clock{QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53))};
    store::ActivityLog log{clock, QLocale(QLocale::English, QLocale::UnitedStates)};
    QString stamp() const { return log.lineFor(QString()); } // "[...] : "
};

} // namespace

TEST_F(LogFixture, LineHasTimestampMessageAndCrLfNewestFirst)
{
    log.setOn(true);
    EXPECT_TRUE(log.add(u"first"_s));
    clock.set(QDateTime(QDate(2026, 3, 14), QTime(9, 27, 5)));
    EXPECT_TRUE(log.add(u"second"_s));

    const QStringList lines = log.text().split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[0].startsWith(u"["_s));
    EXPECT_TRUE(lines[0].endsWith(u"] : second"_s));
    EXPECT_TRUE(lines[0].contains(u"9:27:05"_s)) << lines[0].toStdString();
    EXPECT_TRUE(lines[0].contains(u"3/14/26"_s)) << lines[0].toStdString();
    EXPECT_TRUE(lines[1].endsWith(u"] : first"_s));
    EXPECT_TRUE(lines[2].isEmpty());
}

TEST_F(LogFixture, OffDropsLinesAndClearKeepsTheSwitch)
{
    EXPECT_FALSE(log.isOn());
    EXPECT_FALSE(log.add(u"dropped"_s));
    EXPECT_TRUE(log.text().isEmpty());

    log.setOn(true);
    log.add(u"kept"_s);
    log.setOn(false);
    const QString before = log.text();
    log.add(u"dropped too"_s);
    EXPECT_EQ(log.text(), before);

    log.setOn(true);
    log.clear();
    EXPECT_TRUE(log.text().isEmpty());
    EXPECT_TRUE(log.isOn());
}

TEST_F(LogFixture, TextOfExactly12000IsNotTrimmed)
{
    log.setOn(true);
    const QString message = u"x"_s;
    const qsizetype added = stamp().size() + message.size() + 2;
    log.setText(QString(12000 - added, u'a'));
    log.add(message);
    EXPECT_EQ(log.text().size(), 12000);
    EXPECT_FALSE(log.text().contains(kNotice));
}

TEST_F(LogFixture, TextOver12000KeepsNoticeAndFirst2000)
{
    log.setOn(true);
    const QString message = u"newest line"_s;
    const qsizetype added = stamp().size() + message.size() + 2;
    log.setText(QString(12001 - added, u'a'));
    const QString withNewLine = stamp() + message + u"\r\n"_s + log.text();
    ASSERT_EQ(withNewLine.size(), 12001);

    log.add(message);
    EXPECT_EQ(log.text(), stamp() + kNotice + u"\r\n"_s + withNewLine.left(2000));
    EXPECT_TRUE(log.text().contains(message)); // the new line stays on top, under the notice
}

TEST_F(LogFixture, NewLineLongerThan2000IsCutToo)
{
    log.setOn(true);
    log.setText(QString(11000, u'a'));
    const QString message(3000, u'm');
    log.add(message);
    EXPECT_EQ(log.text().size(), stamp().size() + kNotice.size() + 2 + 2000);
    EXPECT_FALSE(log.text().contains(QString(11000, u'a').left(100)));
}

TEST_F(LogFixture, StaysBoundedOverAWeekOfLines)
{
    log.setOn(true);
    for (int i = 0; i < 20000; ++i) {
        log.add(u"Checking if there are any SMS to be sent. %1"_s.arg(i));
        ASSERT_LE(log.text().size(), 12000 + 200);
    }
    EXPECT_TRUE(log.text().contains(u"sent. 19999"_s));
}
