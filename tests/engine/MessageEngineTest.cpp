#include "AutoReplyTable.h"
#include "DateText.h"
#include "Gateway.h"
#include "InboxTable.h"
#include "ModemSimulator.h"
#include "OutboxTable.h"
#include "SettingsTables.h"
#include "Store.h"
#include "TestSupport.h"
#include "WebMailTables.h"

#include <QElapsedTimer>
#include <QSignalSpy>

#include <thread>

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
    auto international = engine::chooseMixModeRoute(u"+919812345678"_s, prefixes, store::MixModeRoute::Modem);
    EXPECT_EQ(international.comparedNumber, u"919812345678"_s);
    EXPECT_FALSE(international.matchedPrefix);
    EXPECT_EQ(international.route, store::MixModeRoute::SmtpGateway);

    auto national = engine::chooseMixModeRoute(u"09812345678"_s, prefixes, store::MixModeRoute::Modem);
    EXPECT_EQ(national.comparedNumber, u"9812345678"_s);
    EXPECT_EQ(national.matchedPrefix.value_or(QString()), u"98"_s);
    EXPECT_EQ(national.route, store::MixModeRoute::Modem);

    EXPECT_EQ(engine::chooseMixModeRoute(u"9712"_s, prefixes, store::MixModeRoute::SmtpGateway).route,
              store::MixModeRoute::SmtpGateway);
    EXPECT_EQ(engine::chooseMixModeRoute(u"5512"_s, prefixes, store::MixModeRoute::SmtpGateway).route,
              store::MixModeRoute::Modem);
    // An empty entry matches nothing rather than everything.
    EXPECT_EQ(engine::chooseMixModeRoute(u"5512"_s, {QString(), u"98"_s}, store::MixModeRoute::Modem).route,
              store::MixModeRoute::SmtpGateway);
    EXPECT_EQ(engine::chooseMixModeRoute(u"5512"_s, prefixes, store::MixModeRoute::None).route,
              store::MixModeRoute::None);
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

TEST_F(MessageEngineTest, UnconfirmedSendStaysSendingAndIsNotSentAgain)
{
    start();
    gateway->sim().setConfirmWaitMs(200);
    sim.script(u"+CMGS"_s, {Behaviour::Swallow, 1});
    const qint64 id = queue(u"4915112345678"_s, u"lost in the air"_s);
    gateway->SendOutboxMessages();
    const auto held = row(id);
    EXPECT_EQ(held.status, u"SENDING"_s);
    EXPECT_TRUE(held.deliveredAt.isNull());
    EXPECT_FALSE(lines().contains(kCouldNotBeSent.arg(u"4915112345678"_s)));
    EXPECT_TRUE(lines().join(u'\n').contains(u"**WARNING** The modem did not confirm the SMS to 4915112345678"_s));
    gateway->SendOutboxMessages();
    EXPECT_EQ(sim.sentMessages().size(), 1);
    EXPECT_EQ(store::OutboxTable(db).countSending().value_or(-1), 1);
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
    // The text as it was written, without the listing's line ends.
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE SenderMobileNo='01712345678' AND "
                    u"Message='It''s me'"_s),
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

TEST_F(MessageEngineTest, TextsThatLookLikeTheModemsWordsArriveIntactAndOnce)
{
    ASSERT_TRUE(store::AutoReplyTable(db).insert(u"ring"_s, u"we rang"_s));
    ASSERT_TRUE(store::AutoReplyTable(db).setSwitchedOn(true));
    start();
    const QStringList texts{
        u"OK see you at 5"_s,
        u"Card payment ERROR"_s,
        u"line\r\n+CMGL: 9,\"REC UNREAD\",\"+19005550100\",,\"26/12/07,10:00:00+04\"\r\nbuy now"_s,
        u"RING\r\n+CLIP: \"+4912345\",145"_s,
    };
    for (const QString& text : texts)
        sim.injectIncomingSms(u"+447700900123"_s, text);
    sim.setChunking(2026, 7, 4);
    gateway->ReceiveSIMMessages(400);

    QStringList stored;
    auto rows = db.prepare(u"SELECT Message FROM Message_InBox ORDER BY InBox_Id"_s);
    while (rows.next().value_or(false))
        stored << rows.text(0);
    EXPECT_EQ(stored, texts);
    EXPECT_TRUE(sim.simMessages().isEmpty());
    // Nothing in a text is a call or a message of its own.
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM MissedCallStatistics"_s), 0);
    EXPECT_FALSE(lines().contains(u"Incoming call detected."_s));
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo<>'+447700900123'"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE Message='we rang'"_s), 1);

    gateway->clearActivityLog();
    gateway->ReceiveSIMMessages(400);
    EXPECT_EQ(lines(), QStringList{u"No new SMS found."_s});
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 4);
}

TEST_F(MessageEngineTest, PartsOfALongTextBecomeOneMessage)
{
    start();
    const QString cyrillic = u"Привет! Это длинное сообщение, которое не помещается в одну часть, поэтому оно "
                             u"приходит двумя частями."_s;
    sim.setChunking(9, 5, 2);
    ASSERT_EQ(sim.addConcatenatedMessage(u"+79161234567"_s, cyrillic, 7).size(), 2);
    gateway->ReceiveSIMMessages(400);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 1);
    auto text = db.prepare(u"SELECT Message, SenderMobileNo FROM Message_InBox"_s);
    ASSERT_TRUE(text.next().value_or(false));
    EXPECT_EQ(text.text(0), cyrillic);
    EXPECT_EQ(text.text(1), u"+79161234567"_s);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_PartsWaiting"_s), 0);
    EXPECT_TRUE(sim.simMessages().isEmpty());
}

TEST_F(MessageEngineTest, AnIncompleteSetWaitsThenIsStoredWithTheGapMarked)
{
    start();
    const QString text = QString(150, u'a') + QString(30, u'b');
    ASSERT_EQ(sim.addConcatenatedMessage(u"+447700900123"_s, text, 300, true, {1}).size(), 1);
    gateway->ReceiveSIMMessages(400);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 0);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_PartsWaiting"_s), 1);
    EXPECT_TRUE(sim.simMessages().isEmpty()); // the part is safe in the store

    clock.set(clock.now().addSecs(23 * 3600));
    gateway->ReceiveSIMMessages(400);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 0);
    ASSERT_TRUE(db.exec(u"UPDATE SMS_PartsWaitSetting SET WaitHours=20"_s)); // read at every run
    gateway->ReceiveSIMMessages(400);
    auto stored = db.prepare(u"SELECT Message FROM Message_InBox"_s);
    ASSERT_TRUE(stored.next().value_or(false));
    EXPECT_TRUE(stored.text(0).endsWith(u"[part 2 of 2 missing]"_s)) << stored.text(0).toStdString();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SMS_PartsWaiting"_s), 0);
}

TEST_F(MessageEngineTest, AMessageTheSimWouldNotDeleteIsStoredOnceAndTheRunGoesOn)
{
    ASSERT_TRUE(store::AutoReplyTable(db).insert(u"price"_s, u"cheap"_s));
    ASSERT_TRUE(store::AutoReplyTable(db).setSwitchedOn(true));
    start();
    QSignalSpy boxes(gateway.get(), &engine::Gateway::notice);
    QSignalSpy background(gateway.get(), &engine::Gateway::backgroundNotice);
    sim.injectIncomingSms(u"+4915112345678"_s, u"price one"_s);
    sim.injectIncomingSms(u"+4915112345679"_s, u"price two"_s);
    sim.script(u"+CMGD=1"_s, {Behaviour::Error, 1});
    gateway->onReceiveTick(); // as the receive timer runs it

    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 2);
    ASSERT_EQ(sim.simMessages().size(), 1); // the second was deleted all the same
    // Nobody is there to click a box: the failure is logged and shown without one.
    EXPECT_TRUE(boxes.isEmpty());
    EXPECT_EQ(background.size(), 1);

    // The next run, as after a crash between storing and deleting: deleted, not stored again.
    gateway->ReceiveSIMMessages(400);
    EXPECT_TRUE(sim.simMessages().isEmpty());
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SIM_TakenMessages"_s), 0);
}

TEST_F(MessageEngineTest, SendersKeepOnePlusAndNamesGetNoReply)
{
    ASSERT_TRUE(store::AutoReplyTable(db).insert(u"price"_s, u"cheap"_s));
    ASSERT_TRUE(store::AutoReplyTable(db).setSwitchedOn(true));
    start();
    sim.injectIncomingSms(u"+15550002"_s, u"price?"_s);
    sim.injectIncomingSms(u"MyBank"_s, u"Your price code is 1234"_s);
    gateway->ReceiveSIMMessages(400);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE SenderMobileNo='+15550002'"_s), 1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox WHERE SenderMobileNo='MyBank'"_s), 1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox"_s), 1);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_OutBox WHERE RecipientMobileNo='+15550002'"_s), 1);
}

// A queue sent over a chunked line through a late prompt, a refused text and a refused second
// part: every SENT row is exactly the SMS the network took for it, and nothing goes twice.
TEST_F(MessageEngineTest, AQueueThroughFaultsSendsEachMessageExactlyOnce)
{
    start();
    gateway->sim().setConfirmWaitMs(300);
    std::vector<qint64> ids;
    for (int k = 0; k < 50; ++k) {
        const QString text = k == 30 ? QString(160, u'L') + u"ong tail"_s : u"message %1"_s.arg(k);
        ids.push_back(queue(u"+4915100000%1"_s.arg(k, 3, 10, QChar(u'0')), text));
    }
    sim.setChunking(50, 9, 2);
    sim.script(u"+CMGS"_s, {Behaviour::LatePrompt, 1, 0, 500, 5});
    sim.script(u"+CMGS"_s, {Behaviour::CmsError, 1, 500, 0, 12});
    sim.script(u"+CMGS"_s, {Behaviour::Error, 1, 0, 0, 27}); // lands on the second part of row 30

    for (int run = 0; run < 4 && store::OutboxTable(db).countPending().value_or(0) > 0; ++run)
        gateway->SendOutboxMessages();

    QMap<QString, QStringList> taken;
    for (const auto& sent : sim.sentMessages())
        taken[sent.number] << sent.text;
    int sentRows = 0;
    for (const qint64 id : ids) {
        const auto r = row(id);
        ASSERT_EQ(r.status, u"SENT"_s) << r.recipient.toStdString();
        ++sentRows;
        const QStringList expected = r.message.size() > 160
                                         ? QStringList{r.message.left(160), r.message.mid(160)}
                                         : QStringList{r.message};
        EXPECT_EQ(taken.value(r.recipient), expected) << r.recipient.toStdString();
    }
    EXPECT_EQ(sentRows, 50);
    EXPECT_EQ(sim.sentMessages().size(), 51);
}

TEST_F(MessageEngineTest, StoppingDuringAWithheldConfirmationEndsAtOnceAndLeavesItSending)
{
    start();
    const qint64 first = queue(u"+4915100000001"_s, u"held back"_s);
    const qint64 second = queue(u"+4915100000002"_s, u"not yet"_s);
    sim.script(u"+CMGS"_s, {Behaviour::Swallow, 1});
    // The program ends as soon as the text has gone out (from the window's thread, as Exit does).
    std::thread exit([&] {
        const QDeadlineTimer deadline(10000);
        while (sim.sentMessages().isEmpty() && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        gateway->requestStop();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    gateway->SendOutboxMessages(); // would wait a minute for the confirmation
    exit.join();
    EXPECT_LT(elapsed.elapsed(), 15000);
    EXPECT_EQ(row(first).status, u"SENDING"_s);
    EXPECT_EQ(row(second).status, QString(u""_s));
    EXPECT_EQ(sim.sentMessages().size(), 1);
}

TEST_F(MessageEngineTest, APortLostAfterTheTextWentOutLeavesTheRowSending)
{
    start();
    QSignalSpy state(gateway.get(), &engine::Gateway::modemStateChanged);
    const qint64 id = queue(u"+4915100000001"_s, u"unplugged"_s);
    sim.script(u"+CMGS"_s, {Behaviour::Swallow, 1});
    // The modem is pulled out once the text has gone out.
    std::thread unplug([&] {
        const QDeadlineTimer deadline(10000);
        while (sim.sentMessages().isEmpty() && !deadline.hasExpired())
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sim.stop();
    });
    QElapsedTimer elapsed;
    elapsed.start();
    gateway->SendOutboxMessages();
    unplug.join();
    EXPECT_LT(elapsed.elapsed(), 15000);
    EXPECT_EQ(row(id).status, u"SENDING"_s);
    // The screens learn that the modem is gone.
    ASSERT_TRUE(waitUntil([&] { return !state.isEmpty() && !state.last().at(1).toBool(); }));
    EXPECT_FALSE(gateway->link().isConnected());
}

// A second gateway on the same store takes the next row while this run is sending the first:
// this run leaves it to that gateway, whichever way the modem sends.
TEST_F(MessageEngineTest, ARowTakenByAnotherGatewayDuringTheRunIsLeftToIt)
{
    auto other = store::openStore(folder.storePath());
    ASSERT_TRUE(other);
    for (const QString& mode : {u"DIRECT DELIVER"_s, u"STORE AND DELIVER"_s}) {
        SCOPED_TRACE(mode.toStdString());
        setting(u"SIMCardDeliveryMode='%1'"_s.arg(mode));
        gateway.reset();
        start();
        const qsizetype sentBefore = sim.sentMessages().size();
        const qint64 first = queue(u"+4915100000001"_s, u"goes now"_s);
        const qint64 second = queue(u"+4915100000002"_s, u"taken meanwhile"_s);
        bool taken = false;
        QObject::connect(gateway.get(), &engine::Gateway::activityLogged, [&](const QString& line) {
            if (!taken && line.contains(u"Sending SMS to +4915100000001 "_s))
                taken = store::OutboxTable(*other).claim(second).value_or(false);
        });
        gateway->SendOutboxMessages();

        ASSERT_TRUE(taken) << lines().join(u'\n').toStdString();
        EXPECT_EQ(row(first).status, u"SENT"_s);
        const auto left = row(second);
        EXPECT_EQ(left.status, u"SENDING"_s);
        EXPECT_TRUE(left.deliveredAt.isNull());
        const auto sent = sim.sentMessages().mid(sentBefore);
        ASSERT_EQ(sent.size(), 1);
        EXPECT_EQ(sent[0].number, u"+4915100000001"_s);
        EXPECT_FALSE(lines().join(u'\n').contains(u"Sending SMS to +4915100000002"_s));
        // The other gateway finished it; the next run finds nothing.
        ASSERT_TRUE(store::OutboxTable(*other).bookSent(second, clock.now()));
    }
}

// Received messages in SIM slots 12 and 137 are stored once and deleted from their own slots; a
// slot whose delete failed is remembered by its whole number, so the next run deletes it
// without storing it again.
TEST_F(MessageEngineTest, MessagesInTwoAndThreeDigitSlotsAreStoredOnceAndDeletedFromTheirSlots)
{
    sim.setSimCapacity(200);
    for (int slot = 1; slot <= 137; ++slot) {
        const bool received = slot == 12 || slot == 137;
        ASSERT_EQ(sim.addMessage(received ? u"REC UNREAD"_s : u"STO SENT"_s,
                                 u"+4915100000%1"_s.arg(slot, 3, 10, QChar(u'0')), u"in slot %1"_s.arg(slot)),
                  slot);
    }
    start();
    sim.script(u"+CMGD=137"_s, {Behaviour::Error, -1});
    gateway->ReceiveSIMMessages(5000);

    const QString inbox = u"SELECT COUNT(*) FROM Message_InBox WHERE "
                          u"(SenderMobileNo='+4915100000012' AND Message='in slot 12') OR "
                          u"(SenderMobileNo='+4915100000137' AND Message='in slot 137')"_s;
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 2) << lines().join(u'\n').toStdString();
    EXPECT_EQ(count(inbox), 2);
    EXPECT_EQ(sim.receivedCommands().filter(u"AT+CMGD=12"_s).size(), 1);
    EXPECT_FALSE(sim.receivedCommands().filter(u"AT+CMGD=137"_s).isEmpty());
    EXPECT_EQ(sim.simMessages().size(), 136);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SIM_TakenMessages"_s), 1);
    EXPECT_EQ(count(u"SELECT SimIndex FROM SIM_TakenMessages"_s), 137);

    sim.clearScripts();
    gateway->ReceiveSIMMessages(5000);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM Message_InBox"_s), 2);
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM SIM_TakenMessages"_s), 0);
    const auto left = sim.simMessages();
    EXPECT_EQ(left.size(), 135);
    for (const auto& message : left)
        EXPECT_EQ(message.status, u"STO SENT"_s) << message.index;
}

TEST_F(MessageEngineTest, RefreshTickPacksTheDaysOfFiledMails)
{
    start();
    for (int i = 0; i < 3; ++i) {
        store::ReceivedMailRow mail;
        mail.EmailFromAddress = u"ann@example.org"_s;
        mail.EmailTextMessage = u"<smsusername>ann</smsusername>"_s;
        mail.EmailDateTime = u"2026-03-%1 10:00:00"_s.arg(14 + i % 2);
        ASSERT_TRUE(store::WebMailTables(db).file(mail));
    }
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM WebMailToSMS_StaleDays"_s), 2);
    gateway->refreshTick();
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM WebMailToSMS_StaleDays"_s), 0);
    // Each day packs its senders and its user names.
    EXPECT_EQ(count(u"SELECT COUNT(*) FROM WebMailToSMS_Days WHERE Day IN ('2026-03-14', '2026-03-15')"_s), 4);
    EXPECT_EQ(count(u"SELECT SUM(Mails) FROM WebMailToSMS_Days WHERE Kind = 0"_s), 3);
}

