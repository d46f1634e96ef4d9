#include "AutoReplyTable.h"
#include "DateText.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "ModemSimulator.h"
#include "OutboxTable.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::TempFolder;
using testing_support::waitUntil;
using Behaviour = modemsim::Behaviour;

TEST(NumberCheck, DigitsWithOrWithoutPlus)
{
    for (const QString& good : {u"4915112345678"_s, u"+4915112345678"_s, u" 0171 "_s.trimmed(), u"  +1  "_s})
        EXPECT_TRUE(engine::isSendableNumber(good)) << good.toStdString();
    for (const QString& bad : {u"12ab34"_s, u"+12x"_s, u"+"_s, QString(), u"+49 151"_s, u"1.5"_s, u"-3"_s})
        EXPECT_FALSE(engine::isSendableNumber(bad)) << bad.toStdString();
}

TEST(MixModeRule, PrefixesDecideTheRoute)
{
    const QStringList prefixes{u"98"_s, u"97"_s};
    auto international = engine::chooseMixModeRoute(u"+919812345678"_s, prefixes, u"MODEM"_s);
    EXPECT_EQ(international.comparedNumber, u"919812345678"_s);
    EXPECT_FALSE(international.matchedPrefix);
    EXPECT_EQ(international.route, u"SMTPSMSGATEWAY"_s);

    auto national = engine::chooseMixModeRoute(u"09812345678"_s, prefixes, u"MODEM"_s);
    EXPECT_EQ(national.comparedNumber, u"9812345678"_s);
    EXPECT_EQ(national.matchedPrefix.value_or(QString()), u"98"_s);
    EXPECT_EQ(national.route, u"MODEM"_s);

    EXPECT_EQ(engine::chooseMixModeRoute(u"9712"_s, prefixes, u"SMTPSMSGATEWAY"_s).route, u"SMTPSMSGATEWAY"_s);
    EXPECT_EQ(engine::chooseMixModeRoute(u"5512"_s, prefixes, u"SMTPSMSGATEWAY"_s).route, u"MODEM"_s);
    // An empty entry matches nothing rather than everything.
    EXPECT_EQ(engine::chooseMixModeRoute(u"5512"_s, {QString(), u"98"_s}, u"MODEM"_s).route, u"SMTPSMSGATEWAY"_s);
    EXPECT_TRUE(engine::chooseMixModeRoute(u"5512"_s, prefixes, u"PIGEON"_s).route.isEmpty());
}

TEST(Keywords, FirstCommandContainedAnywhereInAnyCase)
{
    const std::vector<store::AutoReplyRow> rows = {{1, u"price"_s, u"Prices: see our site"_s},
                                                   {2, u"HOURS"_s, u"9 to 5"_s},
                                                   {3, u"what's new"_s, u"News!"_s},
                                                   {4, u" "_s, u"never"_s}};
    EXPECT_EQ(engine::matchKeyword(u"Hi, what are your opening hours?"_s, rows)->id, 2);
    EXPECT_EQ(engine::matchKeyword(u"hours and PRICE please"_s, rows)->id, 1); // table order, not text order
    EXPECT_EQ(engine::matchKeyword(u"WHAT'S NEW?"_s, rows)->id, 3);
    EXPECT_EQ(engine::matchKeyword(u"pri\r\nce"_s, rows)->id, 1); // line breaks are taken out first
    EXPECT_FALSE(engine::matchKeyword(u"hello"_s, rows));
}

TEST(Senders, PlusRule)
{
    EXPECT_EQ(engine::inboxSender(u"12345"_s), u"+12345"_s);
    EXPECT_EQ(engine::inboxSender(u"01712345678"_s), u"01712345678"_s);
    EXPECT_EQ(engine::inboxSender(u"+4915112345678"_s), u"+4915112345678"_s);
    EXPECT_EQ(engine::inboxSender(u"4915112345678"_s), u"+4915112345678"_s);
    EXPECT_EQ(engine::inboxSender(u" 0171234567 "_s), u"+0171234567"_s); // ten characters
}

namespace {

struct MessageEngineTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    modemsim::ModemSimulator sim;
    store::Database db;
    std::unique_ptr<engine::Gateway> gateway;

    void SetUp() override
    {
        ASSERT_TRUE(sim.start());
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        store::ModemSettingsRow modem{u"1"_s, sim.portName(), u"115200"_s, u"8"_s, u"n"_s,
                                      u"1"_s, u"0"_s,         u"GSM"_s,    true,   u"1"_s};
        ASSERT_TRUE(store::SettingsTables(db).saveModemSettings(modem));
    }

    void setting(const QString& assignment) { ASSERT_TRUE(db.exec(u"UPDATE Timer_Setting SET "_s + assignment)); }

    void start()
    {
        gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock,
                                                    QStringLiteral(TARVOGATE_SOURCE_DIR) + u"/resources"_s);
        gateway->sounds().setMuted(true);
        gateway->setActivityLogOn(true);
        gateway->startUp();
        gateway->clearActivityLog();
        sim.clearReceivedCommands();
    }

    qint64 queue(const QString& number, const QString& text)
    {
        return store::OutboxTable(db).insert(number, text, clock.now()).value_or(-1);
    }

    store::OutboxRow row(qint64 id) { return store::OutboxTable(db).row(id).value_or(store::OutboxRow{}); }
    qint64 count(const QString& sql) { return db.prepare(sql).scalar().value_or(-1); }

    // The log's messages, oldest first, without timestamps.
    QStringList lines() const
    {
        QStringList messages;
        const QStringList all = gateway->activityLog().text().split(u"\r\n"_s, Qt::SkipEmptyParts);
        for (auto it = all.rbegin(); it != all.rend(); ++it)
            messages << it->section(u"] : "_s, 1);
        return messages;
    }
};

const QString kCouldNotBeSent = u"**ERROR** SMS could not be sent to %1 (Possible Reasons: 1> Phone out of coverage "
                                u"area   2> No balance credit on your SIM   3> Problem connecting to remote SMS SMTP "
                                u"server.)"_s;

} // namespace

TEST_F(MessageEngineTest, EmptyOutboxIsOneLine)
{
    start();
    gateway->SendOutboxMessages();
    EXPECT_EQ(lines(), QStringList{u"Total 0 SMS to be sent."_s});
}

TEST_F(MessageEngineTest, DirectSendBooksSentAndFaultyNumbersAreMarked)
{
    start();
    QSignalSpy sent(gateway.get(), &engine::Gateway::messagesSent);
    const qint64 faulty = queue(u"12ab34"_s, u"never"_s);
    const qint64 plusFaulty = queue(u"+12x"_s, u"never either"_s);
    const qint64 good = queue(u" +4915112345678 "_s, u"  hello there  "_s);
    gateway->SendOutboxMessages();

    EXPECT_EQ(row(faulty).status, u"FAULTY NUMBER"_s);
    EXPECT_EQ(row(plusFaulty).status, u"FAULTY NUMBER"_s);
    const auto booked = row(good);
    EXPECT_EQ(booked.status, u"SENT"_s);
    EXPECT_EQ(booked.deliveredAt, store::isoText(clock.now()));
    ASSERT_EQ(sim.sentMessages().size(), 1);
    EXPECT_EQ(sim.sentMessages()[0].number, u"+4915112345678"_s);
    EXPECT_EQ(sim.sentMessages()[0].text, u"hello there"_s);
    EXPECT_GE(sent.size(), 1);
    const QStringList log = lines();
    ASSERT_GE(log.size(), 4);
    EXPECT_EQ(log[0], u"Total 3 SMS to be sent."_s);
    EXPECT_TRUE(log.contains(u"Sending SMS to  +4915112345678  using GSM modem and method - DIRECT DELIVERY."_s))
        << log.join(u'\n').toStdString();
    EXPECT_EQ(log.last(), u"SMS sent successfully. Now removing it from outbox."_s);
}

TEST_F(MessageEngineTest, StoreAndDeliverSendsFromTheSim)
{
    setting(u"SIMCardDeliveryMode='STORE AND DELIVER'"_s);
    start();
    const qint64 id = queue(u"4915112345678"_s, QString(161, u'x'));
    gateway->SendOutboxMessages();
    EXPECT_EQ(row(id).status, u"SENT"_s);
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_TRUE(sim.sentMessages()[0].fromStorage);
    EXPECT_TRUE(sim.simMessages().isEmpty());
    EXPECT_TRUE(lines().contains(u"Sending SMS to 4915112345678 using GSM modem and method - STORE & DELIVER."_s));
}

TEST_F(MessageEngineTest, UnconfirmedSendStaysInTheOutbox)
{
    start();
    sim.script(u"+CMGS"_s, {Behaviour::Silence, 1});
    const qint64 id = queue(u"4915112345678"_s, u"lost in the air"_s);
    gateway->SendOutboxMessages();
    const auto pending = row(id);
    EXPECT_EQ(pending.status, QString(u""_s));
    EXPECT_TRUE(pending.deliveredAt.isNull());
    EXPECT_TRUE(lines().contains(kCouldNotBeSent.arg(u"4915112345678"_s)));
    EXPECT_EQ(store::OutboxTable(db).countPending().value_or(-1), 1);
}

TEST_F(MessageEngineTest, TwoRunsSendEachRowOnce)
{
    start();
    queue(u"4915112345678"_s, u"one"_s);
    queue(u"4915112345679"_s, u"two"_s);
    gateway->SendOutboxMessages();
    gateway->SendOutboxMessages();
    EXPECT_EQ(sim.sentMessages().size(), 2);
    EXPECT_EQ(lines().last(), u"Total 0 SMS to be sent."_s);
}

TEST_F(MessageEngineTest, RowTakenByAnotherRunIsLeftAlone)
{
    start();
    const qint64 id = queue(u"4915112345678"_s, u"taken"_s);
    auto other = store::openStore(folder.storePath()); // a second gateway on the same store
    ASSERT_TRUE(other);
    EXPECT_TRUE(store::OutboxTable(*other).claim(id).value_or(false));
    EXPECT_FALSE(store::OutboxTable(db).claim(id).value_or(true));
    gateway->SendOutboxMessages();
    EXPECT_TRUE(sim.sentMessages().isEmpty());
    EXPECT_EQ(row(id).status, u"SENDING"_s);
}

TEST_F(MessageEngineTest, ModemNotConnectedLeavesRowsPending)
{
    start();
    gateway->DisconnectModem();
    const qint64 id = queue(u"4915112345678"_s, u"waiting"_s);
    gateway->clearActivityLog();
    gateway->SendOutboxMessages();
    EXPECT_EQ(lines(),
              (QStringList{u"Total 1 SMS to be sent."_s,
                           u"Computer is not communicating with the modem. Please select the option 'Listen To "
                           u"Modem' before executing any modem commands."_s}));
    EXPECT_TRUE(row(id).status.isNull());
}

TEST_F(MessageEngineTest, MixedModeRoutesByPrefix)
{
    setting(u"SMSDeliveryMedia='MIXMODE', MixModeMobileNumbers='98,97', MixModeDeliveryMedia='MODEM', "
            u"SMSSMTPServer='127.0.0.1', SMSSMTPPort=12998, SMSSMTPEmailPostfix='sms.example.org'"_s);
    start();
    gateway->smtp().setTimeoutMs(2000);
    const qint64 international = queue(u"+919812345678"_s, u"by e-mail"_s);
    const qint64 national = queue(u"09812345678"_s, u"by modem"_s);
    gateway->SendOutboxMessages();
    const QStringList log = lines();
    EXPECT_TRUE(log.contains(u"Checking the rules for MIX-MODE SMS delivery for number: 919812345678."_s));
    EXPECT_TRUE(log.contains(u"Rule matched! Number is starting with '98'"_s)) << log.join(u'\n').toStdString();
    // The e-mail route found no server (a closed port) and stays pending; the modem sent the other.
    EXPECT_TRUE(log.join(u'\n').contains(u"**ERROR** SMS delivery failed. Error 7: "_s));
    EXPECT_EQ(row(international).status, QString(u""_s));
    EXPECT_EQ(row(national).status, u"SENT"_s);
    ASSERT_EQ(sim.sentMessages().size(), 1);
    EXPECT_EQ(sim.sentMessages()[0].number, u"09812345678"_s);
}

TEST_F(MessageEngineTest, MixedModeWithoutPrefixesSendsNothing)
{
    setting(u"SMSDeliveryMedia='MIXMODE', MixModeMobileNumbers='', MixModeDeliveryMedia='MODEM'"_s);
    start();
    const qint64 id = queue(u"4915112345678"_s, u"no route"_s);
    gateway->SendOutboxMessages();
    EXPECT_TRUE(lines().contains(kCouldNotBeSent.arg(u"4915112345678"_s)));
    EXPECT_TRUE(row(id).status.isNull());
    EXPECT_TRUE(sim.sentMessages().isEmpty());
}

TEST_F(MessageEngineTest, ReceiverStoresReceivedMessagesAndLeavesStoredOnes)
{
    start();
    QSignalSpy stored(gateway.get(), &engine::Gateway::messageStored);
    sim.injectIncomingSms(u"12345"_s, u"short sender"_s);
    sim.addMessage(u"STO UNSENT"_s, u"+4915100000000"_s, u"a draft"_s);
    sim.injectIncomingSms(u"01712345678"_s, u"It's me"_s);
    gateway->ReceiveSIMMessages(400);

    const QStringList log = lines();
    EXPECT_TRUE(log.contains(u"Total 3 new SMS found."_s)) << log.join(u'\n').toStdString();
    EXPECT_TRUE(log.contains(u"Retrieving SMS No. 1"_s));
    EXPECT_TRUE(log.contains(u"Deleting SMS No. 3 from the SIM card."_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE SenderMobileNo='+12345' AND IsRead=0"_s), 1);
    // Stored as listed: the last message of a listing keeps the CR LF before the final OK.
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE SenderMobileNo='01712345678' AND "
                    u"Message='It''s me' || char(13, 10)"_s),
              1);
    ASSERT_EQ(sim.simMessages().size(), 1);
    EXPECT_EQ(sim.simMessages()[0].status, u"STO UNSENT"_s);
    EXPECT_EQ(stored.size(), 2);
    EXPECT_EQ(gateway->sounds().playCount(), 2); // SMSNotify.wav once per stored message

    gateway->clearActivityLog();
    gateway->ReceiveSIMMessages(400);
    EXPECT_TRUE(lines().contains(u"Total 1 new SMS found."_s));
}

TEST_F(MessageEngineTest, KeywordReplyForTheFirstMatchingCommand)
{
    store::AutoReplyTable replies(db);
    ASSERT_TRUE(replies.insert(u"price"_s, u"  Our prices: it's cheap  "_s));
    ASSERT_TRUE(replies.insert(u"hours"_s, u"9 to 5"_s));
    ASSERT_TRUE(replies.setSwitchedOn(true));
    start();
    sim.injectIncomingSms(u"+4915112345678"_s, u"Hello, what are your HOURS and your Price?"_s);
    gateway->ReceiveSIMMessages(400);
    EXPECT_TRUE(lines().contains(u"Sending AutoReply to SMS."_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+4915112345678' AND "
                    u"Message='Our prices: it''s cheap' AND DeliveryDatetime IS NULL"_s),
              1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 1);
}

TEST_F(MessageEngineTest, NoReplyWhenSwitchedOff)
{
    ASSERT_TRUE(store::AutoReplyTable(db).insert(u"price"_s, u"cheap"_s));
    start();
    sim.injectIncomingSms(u"+4915112345678"_s, u"price?"_s);
    gateway->ReceiveSIMMessages(400);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 0);
    EXPECT_TRUE(sim.simMessages().isEmpty());
}

TEST_F(MessageEngineTest, StoreFailureLeavesTheMessageOnTheSim)
{
    ASSERT_TRUE(db.exec(u"CREATE TRIGGER refuse_second BEFORE INSERT ON Message_InBox WHEN NEW.Message='second' "
                        u"BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    start();
    sim.injectIncomingSms(u"+4915112345678"_s, u"first"_s);
    sim.injectIncomingSms(u"+4915112345678"_s, u"second"_s);
    sim.injectIncomingSms(u"+4915112345678"_s, u"third"_s);
    gateway->ReceiveSIMMessages(400);
    EXPECT_TRUE(lines().join(u'\n').contains(u"disk full"_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 1);
    // The first is gone from the SIM; the failed one and the rest wait for the next run.
    ASSERT_EQ(sim.simMessages().size(), 2);
    EXPECT_EQ(sim.simMessages()[0].text, u"second"_s);
}

TEST_F(MessageEngineTest, ReceiveTickDuringACallReadsNothing)
{
    start();
    sim.ring(u"+4915112345678"_s);
    ASSERT_TRUE(waitUntil([&] { return gateway->calls().LastCallStatus == u"RINGING"_s; }));
    gateway->refreshTick(); // the call-state poll sees the call
    ASSERT_TRUE(gateway->callInProgress());
    gateway->clearActivityLog();
    sim.clearReceivedCommands();
    gateway->onReceiveTick();
    EXPECT_TRUE(gateway->activityLog().text().isEmpty());
    EXPECT_TRUE(sim.receivedCommands().isEmpty());
}

TEST_F(MessageEngineTest, SendTimerRunsAtStartUpForEmailDelivery)
{
    setting(u"SMSDeliveryMedia='SMTPSMSGATEWAY', SendAllMessagesTime=7"_s);
    start();
    EXPECT_TRUE(gateway->Timer2().isActive());
    EXPECT_EQ(gateway->Timer2().interval(), 7000);
    EXPECT_FALSE(gateway->link().isOpen());
}

TEST_F(MessageEngineTest, RowsLeftSendingAreReportedAtStartUp)
{
    const qint64 id = queue(u"4915112345678"_s, u"interrupted"_s);
    ASSERT_TRUE(store::OutboxTable(db).claim(id).value_or(false));
    gateway = std::make_unique<engine::Gateway>(folder.storePath(), clock);
    gateway->setActivityLogOn(true);
    gateway->startUp();
    EXPECT_TRUE(gateway->activityLog().text().contains(u"**NOTICE** 1 outbox message(s) were left 'SENDING'"_s));
    EXPECT_EQ(row(id).status, u"SENDING"_s);
}

TEST_F(MessageEngineTest, UnattendedGatewayReceivesRepliesAndSends)
{
    setting(u"ReceiveAllMessagesTime=1, SendAllMessagesTime=1"_s);
    store::AutoReplyTable replies(db);
    ASSERT_TRUE(replies.insert(u"hours"_s, u"We are open 9 to 5"_s));
    ASSERT_TRUE(replies.setSwitchedOn(true));
    const qint64 queued = queue(u"4915112345678"_s, u"queued before the start"_s);
    start();
    sim.injectIncomingSms(u"+447700900123"_s, u"what are your hours?"_s);

    // Nobody touches it: the timers receive, reply and send.
    ASSERT_TRUE(waitUntil([&] { return sim.sentMessages().size() >= 2; }, 15000)) << lines().join(u'\n').toStdString();
    EXPECT_EQ(row(queued).status, u"SENT"_s);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE SenderMobileNo='+447700900123'"_s), 1);
    EXPECT_TRUE(sim.simMessages().isEmpty());
    ASSERT_TRUE(waitUntil(
        [&] {
            return count(
                       u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+447700900123' AND DeliveryStatus='SENT'"_s) ==
                   1;
        },
        5000));
    QStringList numbers;
    for (const auto& sent : sim.sentMessages())
        numbers << sent.number;
    EXPECT_TRUE(numbers.contains(u"+447700900123"_s));
    EXPECT_TRUE(lines().contains(u"Checking for new SMS on SIM card."_s));
    EXPECT_TRUE(lines().contains(u"Checking if there are any SMS to be sent."_s));
}
