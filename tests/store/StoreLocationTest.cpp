#include "StoreLocation.h"
#include "TestSupport.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

TEST(StoreLocation, BesideTheProgramWhenItsFolderIsWritable)
{
    testing_support::TempFolder folder;
    store::StoreLocation location{folder.path(), u"/data/home"_s, u"/usr/bin"_s, {}};
    EXPECT_EQ(location.storePath(), QDir(folder.path()).filePath(u"SMSGateway.mdb"_s));
}

TEST(StoreLocation, UserDataFolderOtherwise)
{
    auto never = [](const QString&) { return false; };
    store::StoreLocation location{u"/opt/tarvogate/bin"_s, u"/data/home"_s, u"/usr/bin"_s, never};
    EXPECT_EQ(location.storePath(), u"/data/home/tarvogate/SMSGateway.mdb"_s);

    location.xdgDataHome = u"relative/ignored"_s;
    EXPECT_EQ(location.storeDir(), QDir::homePath() + u"/.local/share/tarvogate"_s);
    location.xdgDataHome.clear();
    EXPECT_EQ(location.storeDir(), QDir::homePath() + u"/.local/share/tarvogate"_s);
}

TEST(StoreLocation, InstalledProgramFolderIsNeverUsedForData)
{
    // root can write /usr/bin, but data there would be wrong.
    auto always = [](const QString&) { return true; };
    store::StoreLocation location{u"/usr/bin/"_s, u"/data/home"_s, u"/usr/bin"_s, always};
    EXPECT_EQ(location.storeDir(), u"/data/home/tarvogate"_s);
}

TEST(StoreLocation, WriteProbeLeavesNothingBehind)
{
    testing_support::TempFolder folder;
    EXPECT_TRUE(store::canCreateFilesIn(folder.path()));
    EXPECT_TRUE(QDir(folder.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    EXPECT_FALSE(store::canCreateFilesIn(folder.file(u"missing"_s)));
}
