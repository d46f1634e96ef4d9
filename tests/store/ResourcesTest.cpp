#include "Resources.h"
#include "TestSupport.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(Resources, SoundsAreFoundBesideTheProgramFirst)
{
    testing_support::TempFolder folder;
    EXPECT_TRUE(QDir(folder.path()).mkpath(u"sounds"_s));
    QFile sound(folder.file(u"sounds/ringing.wav"_s));
    ASSERT_TRUE(sound.open(QIODevice::WriteOnly));
    sound.close();
    EXPECT_EQ(store::findSoundFile(u"ringing.wav"_s, folder.path()), folder.file(u"sounds/ringing.wav"_s));

    QFile direct(folder.file(u"ringing.wav"_s));
    ASSERT_TRUE(direct.open(QIODevice::WriteOnly));
    direct.close();
    EXPECT_EQ(store::findSoundFile(u"ringing.wav"_s, folder.path()), folder.file(u"ringing.wav"_s));
}

TEST(Resources, ShippedSoundsAreWaveFiles)
{
    for (const QString& name : {u"ringing.wav"_s, u"SMSNotify.wav"_s}) {
        QFile file(QStringLiteral(TARVOGATE_SOURCE_DIR) + u"/resources/sounds/"_s + name);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << name.toStdString();
        const QByteArray head = file.read(12);
        EXPECT_TRUE(head.startsWith("RIFF") && head.mid(8, 4) == "WAVE") << name.toStdString();
        EXPECT_GT(file.size(), 1000);
    }
}
