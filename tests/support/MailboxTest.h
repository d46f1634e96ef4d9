#pragma once

#include "GatewaySettings.h"
#include "TestMailbox.h"
#include "TestStore.h"
#include "TestSupport.h"
#include "UserAccountTable.h"

#include <gtest/gtest.h>

namespace testing_support {

// A store of its own, the test servers' mailbox emptied before and after, the gateway's mailbox
// settings pointing at it, and one registered user ("alice", password "s3cret", 5 credits).
struct MailboxTest : ::testing::Test
{
    const MailServers& servers = MailServers::instance();
    TestMailbox mailbox{servers};
    TempFolder folder;
    FakeClock clock;
    store::Database db;
    store::GatewaySettings settings;
    QStringList log;

    // host and portKey: where the gateway's mailbox settings point (a servers.env key for the port).
    void openMailbox(const QString& host, const QString& portKey)
    {
        ASSERT_TRUE(servers.available()) << "TARVOGATE_MAIL_SERVERS_ENV names no servers.env";
        mailbox.empty();
        db = openTestStore(folder.storePath());
        ASSERT_TRUE(db.isOpen());
        settings.POP3MailServer = host;
        settings.POP3Port = servers.value(portKey);
        settings.POP3UserName = servers.value(QStringLiteral("MAILBOX_USER"));
        settings.POP3Password = servers.value(QStringLiteral("MAILBOX_PASSWORD"));
        settings.IsEnabled = true;
        ASSERT_TRUE(store::UserAccountTable(db).insert(QStringLiteral("alice"), QStringLiteral("s3cret"),
                                                       QStringLiteral("AliceCo"), 5));
    }
    void TearDown() override { mailbox.empty(); }

    qint64 count(const QString& sql) const { return scalarOf(db, sql); }
};

} // namespace testing_support
