#include "SimCommands.h"
#include "ModemStartUp.h"
#include "SimulatedModem.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Behaviour = modemsim::Behaviour;

namespace {

struct SimCommandsTest : testing_support::SimulatedModem
{
    modem::SimCommands commands{link, [] { return 1.0; }};

    void SetUp() override
    {
        SimulatedModem::SetUp();
        ASSERT_TRUE(modem::InitialiseModem(link, u"0"_s, u"GSM"_s, true, 1.0));
        sim.clearReceivedCommands();
    }
};

} // namespace

TEST_F(SimCommandsTest, ListingFillsTheEntries)
{
    sim.injectIncomingSms(u"+4915112345678"_s, u"Hello"_s);
    sim.injectIncomingSms(u"+447700900123"_s, u"Two\r\nlines"_s);
    commands.ListSimMessages(u"rec unread"_s, 400);
    ASSERT_EQ(commands.SimMessageCount, 2);
    const auto& listing = commands.listing();
    EXPECT_EQ(listing.sender, (QStringList{u"+4915112345678"_s, u"+447700900123"_s}));
    EXPECT_EQ(listing.status[0], u"REC UNREAD"_s);
    EXPECT_EQ(listing.text[0], u"Hello"_s);
    EXPECT_TRUE(listing.text[1].startsWith(u"Two\r\nlines"_s));
    EXPECT_FALSE(link.ReceiveInProgress);
    // The call state is asked first, so a call is never interrupted by a listing.
    EXPECT_EQ(sim.receivedCommands(), (QStringList{u"AT+CLCC"_s, u"AT+CMGL=\"REC UNREAD\""_s}));
}

TEST_F(SimCommandsTest, ListingDuringACallKeepsThePreviousEntries)
{
    sim.injectIncomingSms(u"+4915112345678"_s, u"Hello"_s);
    commands.ListSimMessages(u"ALL"_s, 400);
    ASSERT_EQ(commands.SimMessageCount, 1);

    sim.ring(u"+4915100000000"_s);
    commands.ListSimMessages(u"ALL"_s, 400);
    EXPECT_EQ(commands.SimMessageCount, 0);
    EXPECT_TRUE(link.ModemBusy);
    EXPECT_EQ(commands.listing().count(), 1);
    EXPECT_EQ(commands.listing().text[0], u"Hello\r\n"_s); // the last text keeps its CR LF
}

TEST_F(SimCommandsTest, DeleteByStatusDeletesOnlyWhatItListed)
{
    sim.addMessage(u"REC READ"_s, u"+1"_s, u"old"_s);
    sim.addMessage(u"REC UNREAD"_s, u"+2"_s, u"new"_s);
    sim.addMessage(u"REC READ"_s, u"+3"_s, u"older"_s);
    commands.DeleteSimMessagesByStatus(u"rec read"_s);
    const auto left = sim.simMessages();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].text, u"new"_s);
}

TEST_F(SimCommandsTest, StoreAndDeliverSendsEveryPartAndCleansTheSim)
{
    const QString text = QString(160, u'a') + u"b"_s;
    const auto result = commands.SendMessageStoreAndDeliver(u"+4915112345678"_s, text);
    EXPECT_TRUE(result.sent);
    EXPECT_EQ(result.answer, u"OK"_s);
    const auto sent = sim.sentMessages();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].text, QString(160, u'a'));
    EXPECT_EQ(sent[1].text, u"b"_s);
    EXPECT_EQ(sent[1].number, u"+4915112345678"_s);
    EXPECT_TRUE(sim.simMessages().isEmpty());
    EXPECT_FALSE(link.SendInProgress);
}

TEST_F(SimCommandsTest, StoreAndDeliverKeepsAnUnconfirmedPartOnTheSim)
{
    sim.script(u"+CMSS"_s, {Behaviour::Delay, 1, 0, 0});
    sim.script(u"+CMSS"_s, {Behaviour::Silence, 1});
    const auto result = commands.SendMessageStoreAndDeliver(u"+4915112345678"_s, QString(160, u'a') + u"tail"_s);
    EXPECT_FALSE(result.sent);
    EXPECT_TRUE(result.answer.isEmpty());
    EXPECT_EQ(sim.sentMessages().size(), 1);
    const auto left = sim.simMessages();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].text, u"tail"_s);
    EXPECT_FALSE(link.SendInProgress);
}

TEST_F(SimCommandsTest, StoreRefusedByAFullSimIsAnError)
{
    sim.setSimCapacity(0);
    const auto result = commands.SendMessageStoreAndDeliver(u"+4915112345678"_s, u"hi"_s);
    EXPECT_FALSE(result.sent);
    EXPECT_EQ(result.answer, u"ERROR"_s);
    EXPECT_TRUE(sim.sentMessages().isEmpty());
}

TEST_F(SimCommandsTest, StoredTextUsesLineFeedsOnly)
{
    const QString index = commands.StoreSimMessage(u"+4915112345678"_s, u"one\r\ntwo"_s);
    ASSERT_FALSE(index.isEmpty());
    const auto stored = sim.simMessages();
    ASSERT_EQ(stored.size(), 1);
    EXPECT_EQ(QString::number(stored[0].index), index);
    EXPECT_EQ(stored[0].text, u"one\ntwo"_s);
    EXPECT_EQ(stored[0].status, u"STO UNSENT"_s);
}

TEST_F(SimCommandsTest, DirectSendOnePromptPerPart)
{
    const auto result = commands.SendMessageDirect(u"+4915112345678"_s, QString(170, u'x'));
    EXPECT_TRUE(result.sent);
    EXPECT_TRUE(result.answer.contains(u"OK"_s));
    const auto sent = sim.sentMessages();
    ASSERT_EQ(sent.size(), 2);
    EXPECT_EQ(sent[0].text.size(), 160);
    EXPECT_EQ(sent[1].text.size(), 10);
}

TEST_F(SimCommandsTest, DirectSendRefusedByTheNetworkIsNotSent)
{
    sim.script(u"+CMGS"_s, {Behaviour::CmsError, 1, 500});
    const auto result = commands.SendMessageDirect(u"+4915112345678"_s, u"hello"_s);
    EXPECT_FALSE(result.sent);
    EXPECT_TRUE(sim.sentMessages().isEmpty());
    EXPECT_FALSE(link.SendInProgress);
}

TEST_F(SimCommandsTest, EmptyTextSendsNothing)
{
    link.LastModemResponse = u"previous"_s;
    const auto direct = commands.SendMessageDirect(u"+4915112345678"_s, QString());
    const auto stored = commands.SendMessageStoreAndDeliver(u"+4915112345678"_s, QString());
    EXPECT_FALSE(direct.sent);
    EXPECT_FALSE(stored.sent);
    EXPECT_EQ(stored.answer, u"previous"_s);
    EXPECT_TRUE(sim.receivedCommands().isEmpty());
}

TEST_F(SimCommandsTest, SendingWhileNotConnectedWritesNothing)
{
    link.ClosePort();
    const auto result = commands.SendMessageDirect(u"+4915112345678"_s, u"hello"_s);
    EXPECT_EQ(result.answer, u"ERROR"_s);
    EXPECT_FALSE(result.sent);
    EXPECT_FALSE(link.SendInProgress);
}

TEST_F(SimCommandsTest, CallStateFollowsTheCall)
{
    EXPECT_TRUE(commands.GetCallState().contains(u"OK"_s));
    sim.ring(u"+4915112345678"_s);
    link.setCallRinging(true); // as call handling does on the ring
    EXPECT_EQ(commands.GetCallState(), u"Incoming"_s);
    sim.hangUp();
    EXPECT_TRUE(commands.GetCallState().contains(u"OK"_s));
}
