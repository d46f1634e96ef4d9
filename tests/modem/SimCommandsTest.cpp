#include "AtLink.h"
#include "ModemStartUp.h"
#include "SimCommands.h"
#include "SimulatedModem.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using Behaviour = modemsim::Behaviour;
using modem::SendOutcome;

namespace {

struct SimCommandsTest : testing_support::SimulatedModem
{
    QStringList log;
    modem::SimCommands sms{link, [] { return 1.0; }, [this](const QString& line) { log << line; }};

    void SetUp() override
    {
        SimulatedModem::SetUp();
        ASSERT_TRUE(modem::InitialiseModem(link, u"0"_s, u"GSM"_s, true, 1.0));
        sim.clearReceivedCommands();
        // A withheld confirmation is given up after this, not after a minute.
        sms.setConfirmWaitMs(300);
    }

    QStringList texts(const modem::SimListing& listing) const
    {
        QStringList result;
        for (const auto& entry : listing.entries)
            result << (entry.message ? entry.message->text : u"<unread>"_s);
        return result;
    }
};

// Texts that look like the modem's own words, as a sender may write them.
const QString kTricky[] = {
    u"OK see you at 5"_s,
    u"Card payment\r\nERROR"_s,
    u"x\r\n+CMGL: 1,\"REC UNREAD\",\"+999\",,\"26/12/07,10:00:00+04\"\r\nfake"_s,
    u"RING\r\n+CLIP: \"+4912345\",145"_s,
    u"OK"_s,
};

} // namespace

TEST_F(SimCommandsTest, ListingInPduModeReadsEveryTextAsText)
{
    for (const bool chunked : {false, true}) {
        SCOPED_TRACE(chunked ? "chunked" : "whole");
        for (const QString& text : kTricky)
            sim.injectIncomingSms(u"+4915112345678"_s, text);
        if (chunked)
            sim.setChunking(42, 5, 3);
        QSignalSpy unsolicited(&link, &modem::AtLink::unsolicitedLine);
        sim.clearReceivedCommands();

        const modem::SimListing listing = sms.ListSimMessages(u"all"_s, 400);
        ASSERT_TRUE(listing.listed);
        EXPECT_EQ(texts(listing), QStringList(std::begin(kTricky), std::end(kTricky)));
        EXPECT_TRUE(listing.problems.isEmpty()) << listing.problems.join(u'\n').toStdString();
        EXPECT_EQ(listing.entries[0].statusName, u"REC UNREAD"_s);
        EXPECT_EQ(listing.entries[0].message->address, u"+4915112345678"_s);
        EXPECT_TRUE(unsolicited.isEmpty());
        // The call state first, so a call is never interrupted; text mode again at the end.
        EXPECT_EQ(sim.receivedCommands(),
                  (QStringList{u"AT+CLCC"_s, u"AT+CMGF=0"_s, u"AT+CMGL=4"_s, u"AT+CMGF=1"_s}));
        for (const auto& entry : listing.entries)
            EXPECT_TRUE(sms.DeleteSimMessage(entry.index));
        sim.setChunking(0, 0, 0);
    }
}

TEST_F(SimCommandsTest, ListingDuringACallListsNothing)
{
    sim.injectIncomingSms(u"+4915112345678"_s, u"Hello"_s);
    sim.ring(u"+4915100000000"_s);
    const modem::SimListing listing = sms.ListSimMessages(u"ALL"_s, 400);
    EXPECT_TRUE(listing.callInProgress);
    EXPECT_EQ(listing.count(), 0);
    EXPECT_TRUE(commands(u"AT+CMGL"_s).isEmpty());
}

TEST_F(SimCommandsTest, DeleteByStatusDeletesOnlyWhatItListed)
{
    sim.addMessage(u"REC READ"_s, u"+1"_s, u"old"_s);
    sim.addMessage(u"REC UNREAD"_s, u"+2"_s, u"new"_s);
    sim.addMessage(u"REC READ"_s, u"+3"_s, u"older"_s);
    sms.DeleteSimMessagesByStatus(u"rec read"_s);
    const auto left = sim.simMessages();
    ASSERT_EQ(left.size(), 1);
    EXPECT_EQ(left[0].text, u"new"_s);
}

TEST_F(SimCommandsTest, DeleteByStatusKeepsWhatItIsToldAndReportsEachSlot)
{
    for (int i = 1; i <= 4; ++i)
        ASSERT_EQ(sim.addMessage(u"STO SENT"_s, u"+4917000000%1"_s.arg(i), u"sent %1"_s.arg(i)), i);
    sim.script(u"+CMGD=3"_s, {Behaviour::Error, 1});
    const modem::SimDeletion deletion =
        sms.DeleteSimMessagesByStatus(u"STO SENT"_s, [](const modem::SimEntry& entry) { return entry.index == 2; });
    EXPECT_TRUE(deletion.listing.listed);
    EXPECT_EQ(deletion.deleted, (std::vector<int>{1, 4}));
    EXPECT_EQ(deletion.failed, std::vector<int>{3});
    EXPECT_EQ(deletion.kept, std::vector<int>{2});
    // The kept slot is never asked for.
    EXPECT_EQ(commands(u"AT+CMGD"_s), (QStringList{u"AT+CMGD=1"_s, u"AT+CMGD=3"_s, u"AT+CMGD=4"_s}));
    EXPECT_EQ(sim.simMessages().size(), 2);
}

TEST_F(SimCommandsTest, LongTextsGoPartByPartAndRememberEachConfirmedPart)
{
    for (const bool stored : {false, true}) {
        SCOPED_TRACE(stored ? "store and deliver" : "direct");
        const qsizetype before = sim.sentMessages().size();
        QList<int> confirmed;
        modem::SendControl control;
        control.partConfirmed = [&](int parts) { confirmed << parts; };
        const QString text = QString(160, u'a') + u"b"_s;
        const auto result = stored ? sms.SendMessageStoreAndDeliver(u"+4915112345678"_s, text, control)
                                   : sms.SendMessageDirect(u"+4915112345678"_s, text, control);
        EXPECT_EQ(result.outcome, SendOutcome::Sent);
        EXPECT_EQ(confirmed, (QList<int>{1, 2}));
        const auto sent = sim.sentMessages().mid(before);
        ASSERT_EQ(sent.size(), 2);
        EXPECT_EQ(sent[0].text, QString(160, u'a'));
        EXPECT_EQ(sent[1].text, u"b"_s);
        EXPECT_EQ(sent[1].fromStorage, stored);
        EXPECT_TRUE(sim.simMessages().isEmpty());
    }
}

TEST_F(SimCommandsTest, ARetryResumesAfterTheConfirmedParts)
{
    modem::SendControl control;
    control.firstPart = 1;
    const auto result = sms.SendMessageDirect(u"+4915112345678"_s, QString(160, u'a') + u"tail"_s, control);
    EXPECT_EQ(result.outcome, SendOutcome::Sent);
    EXPECT_EQ(result.partsConfirmed, 2);
    ASSERT_EQ(sim.sentMessages().size(), 1);
    EXPECT_EQ(sim.sentMessages()[0].text, u"tail"_s);
}

// What each fault leaves: the outcome decides whether the row may be sent again, and the
// modem must be fit for the next message afterwards.
TEST_F(SimCommandsTest, FaultsEndEachSendInAKnownState)
{
    struct Case
    {
        const char* name;
        bool stored;
        QString prefix;
        Behaviour behaviour;
        SendOutcome outcome;
        int partsConfirmed;
        int taken; // messages the network got
    };
    const QString twoParts = QString(160, u'p') + u"q"_s;
    const Case cases[] = {
        {"text refused by the network", false, u"+CMGS"_s, {Behaviour::CmsError, 1, 500}, SendOutcome::NotSent, 0, 0},
        {"command line refused", false, u"+CMGS"_s, {Behaviour::RefusePrompt, 1, 304}, SendOutcome::NotSent, 0, 0},
        {"prompt too late", false, u"+CMGS"_s, {Behaviour::LatePrompt, 1, 0, 600}, SendOutcome::NotSent, 0, 0},
        {"second part refused", false, u"+CMGS"_s, {Behaviour::Error, 1, 0, 0, 1}, SendOutcome::NotSent, 1, 1},
        {"confirmation never comes", false, u"+CMGS"_s, {Behaviour::Swallow, 1}, SendOutcome::Unconfirmed, 0, 1},
        {"second confirmation never comes", false, u"+CMGS"_s, {Behaviour::Swallow, 1, 0, 0, 1},
         SendOutcome::Unconfirmed, 1, 2},
        {"SIM full", true, u"+CMGW"_s, {Behaviour::CmsError, 1, 322}, SendOutcome::NotSent, 0, 0},
        {"stored send refused", true, u"+CMSS"_s, {Behaviour::CmsError, 1, 500}, SendOutcome::NotSent, 0, 0},
        {"stored send unconfirmed", true, u"+CMSS"_s, {Behaviour::Swallow, 1}, SendOutcome::Unconfirmed, 0, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim.clearScripts();
        const qsizetype before = sim.sentMessages().size();
        sim.script(c.prefix, c.behaviour);
        const auto result = c.stored ? sms.SendMessageStoreAndDeliver(u"+4915100000001"_s, twoParts)
                                     : sms.SendMessageDirect(u"+4915100000001"_s, twoParts);
        EXPECT_EQ(result.outcome, c.outcome);
        EXPECT_EQ(result.partsConfirmed, c.partsConfirmed);
        EXPECT_EQ(sim.sentMessages().size() - before, c.taken);
        // No stored copy is left behind, whatever became of it.
        EXPECT_TRUE(sim.simMessages().isEmpty());

        // The next message goes to its own recipient, in one piece.
        sim.clearScripts();
        const auto next = sms.SendMessageDirect(u"+4915100000002"_s, u"next"_s);
        EXPECT_EQ(next.outcome, SendOutcome::Sent);
        ASSERT_FALSE(sim.sentMessages().isEmpty());
        EXPECT_EQ(sim.sentMessages().last().number, u"+4915100000002"_s);
        EXPECT_EQ(sim.sentMessages().last().text, u"next"_s);
    }
}

TEST_F(SimCommandsTest, ControlCharactersInATextCannotEndItEarly)
{
    // Ctrl-Z would end the text and leave the rest to be read as a command line.
    const QString text = u"pay\x1a\rATD+19005550100;\r\x1b"
                         u"done\r\nbye"_s;
    const auto result = sms.SendMessageDirect(u"+4915112345678"_s, text);
    EXPECT_EQ(result.outcome, SendOutcome::Sent);
    ASSERT_EQ(sim.sentMessages().size(), 1);
    EXPECT_EQ(sim.sentMessages()[0].text, u"pay\nATD+19005550100;\ndone\nbye"_s);
    EXPECT_TRUE(commands(u"ATD"_s).isEmpty());
}

TEST_F(SimCommandsTest, NothingIsWrittenWithoutTextOrPort)
{
    EXPECT_EQ(sms.SendMessageDirect(u"+4915112345678"_s, QString()).outcome, SendOutcome::NotSent);
    EXPECT_EQ(sms.SendMessageStoreAndDeliver(u"+4915112345678"_s, QString()).outcome, SendOutcome::NotSent);
    EXPECT_TRUE(sim.receivedCommands().isEmpty());

    link.ClosePort();
    EXPECT_EQ(sms.SendMessageDirect(u"+4915112345678"_s, u"hello"_s).outcome, SendOutcome::NotSent);
    EXPECT_TRUE(sim.receivedCommands().isEmpty());
}

TEST_F(SimCommandsTest, CallStateFollowsTheCall)
{
    EXPECT_TRUE(sms.GetCallState().contains(u"OK"_s));
    sim.ring(u"+4915112345678"_s);
    link.setCallRinging(true); // as call handling does on the ring
    EXPECT_EQ(sms.GetCallState(), u"Incoming"_s);
    sim.hangUp();
    EXPECT_TRUE(sms.GetCallState().contains(u"OK"_s));
}

TEST_F(SimCommandsTest, LeftoverInputIsLoggedNotTakenAsTheNextAnswer)
{
    QSignalSpy logged(&link, &modem::AtLink::logLine);
    // A confirmation from before, arriving when nobody asked.
    sim.sendUnsolicited(u"+CMGS: 77"_s);
    ASSERT_TRUE(testing_support::waitUntil([&] { return link.hasUnclaimedInput(); }));
    const modem::AtAnswer answer = link.SendCommand(u"AT+CGMI\r"_s, 200, u"OK"_s, 5, QString());
    EXPECT_EQ(answer.lines, QStringList{u"Tarvo"_s});
    // Logged before the next command at the latest.
    EXPECT_TRUE(link.SendCommand(u"AT\r"_s, 200, u"OK"_s, 5, QString()).succeeded);
    bool noticed = false;
    for (const auto& arguments : logged)
        noticed = noticed || arguments.at(0).toString().contains(u"+CMGS: 77"_s);
    EXPECT_TRUE(noticed);
}

// A SIM fuller than nine messages: slots of two and three digits are listed, stored into and
// deleted by their whole number.
TEST_F(SimCommandsTest, SlotsOfTwoAndThreeDigitsAreListedStoredAndDeletedWhole)
{
    sim.setSimCapacity(200);
    for (int slot = 1; slot <= 137; ++slot) {
        const bool wanted = slot == 12 || slot == 137;
        const QString sender = u"+4915100000%1"_s.arg(slot, 3, 10, QChar(u'0'));
        ASSERT_EQ(sim.addMessage(wanted ? u"REC UNREAD"_s : u"REC READ"_s, sender, u"in slot %1"_s.arg(slot)), slot);
    }
    const auto slotsOnSim = [&] {
        QList<int> slots;
        for (const auto& message : sim.simMessages())
            slots << message.index;
        return slots;
    };

    const modem::SimListing unread = sms.ListSimMessages(u"REC UNREAD"_s, 2000);
    ASSERT_TRUE(unread.listed);
    ASSERT_EQ(unread.count(), 2) << unread.problems.join(u'\n').toStdString();
    EXPECT_EQ(unread.entries[0].index, 12);
    EXPECT_EQ(unread.entries[1].index, 137);
    EXPECT_EQ(texts(unread), (QStringList{u"in slot 12"_s, u"in slot 137"_s}));
    EXPECT_EQ(unread.entries[1].message->address, u"+4915100000137"_s);

    const modem::SimListing all = sms.ListSimMessages(u"ALL"_s, 5000);
    ASSERT_EQ(all.count(), 137) << all.problems.join(u'\n').toStdString();
    for (const auto& entry : all.entries) {
        ASSERT_TRUE(entry.message) << entry.index;
        EXPECT_EQ(entry.message->text, u"in slot %1"_s.arg(entry.index));
    }

    for (const auto& entry : unread.entries)
        EXPECT_TRUE(sms.DeleteSimMessage(entry.index)) << entry.index;
    EXPECT_EQ(commands(u"AT+CMGD"_s), (QStringList{u"AT+CMGD=12"_s, u"AT+CMGD=137"_s}));
    QList<int> expected;
    for (int slot = 1; slot <= 136; ++slot) {
        if (slot != 12)
            expected << slot;
    }
    EXPECT_EQ(slotsOnSim(), expected);

    // Stored into the lowest free slot, sent from it and deleted from it: 12, then (once 12 is
    // taken again) 137.
    for (const int slot : {12, 137}) {
        SCOPED_TRACE(slot);
        sim.clearReceivedCommands();
        const qsizetype before = sim.sentMessages().size();
        const auto result = sms.SendMessageStoreAndDeliver(u"+4915112345678"_s, u"through slot %1"_s.arg(slot));
        EXPECT_EQ(result.outcome, SendOutcome::Sent);
        EXPECT_EQ(commands(u"AT+CMSS"_s), QStringList{u"AT+CMSS=%1"_s.arg(slot)});
        EXPECT_EQ(commands(u"AT+CMGD"_s), QStringList{u"AT+CMGD=%1"_s.arg(slot)});
        ASSERT_EQ(sim.sentMessages().size(), before + 1);
        EXPECT_EQ(sim.sentMessages().last().text, u"through slot %1"_s.arg(slot));
        EXPECT_TRUE(sim.sentMessages().last().fromStorage);
        EXPECT_EQ(slotsOnSim(), expected);
        if (slot == 12) {
            ASSERT_EQ(sim.addMessage(u"REC READ"_s, u"+4915100000012"_s, u"in slot 12"_s), 12);
            expected.insert(11, 12);
        }
    }
    EXPECT_TRUE(log.filter(u"WARNING"_s).isEmpty()) << log.join(u'\n').toStdString();
}
