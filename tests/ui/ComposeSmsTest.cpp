#include "ComposeDialog.h"
#include "FakeDialogs.h"
#include "OutboxTable.h"
#include "Store.h"
#include "TestSupport.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;

namespace {

struct ComposeSmsTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock;
    FakeDialogs dialogs;
    store::Database db;
    // Rows are read through a second connection: only what was committed counts as queued.
    store::Database reader;
    std::unique_ptr<ui::ComposeDialog> screen;

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
        auto second = store::openStore(folder.storePath());
        ASSERT_TRUE(second);
        reader = std::move(*second);
        screen = std::make_unique<ui::ComposeDialog>(db, dialogs, clock);
        screen->show();
    }

    QLineEdit* numbers() const { return screen->findChild<QLineEdit*>(u"MobileNumbers"_s); }
    QPlainTextEdit* message() const { return screen->findChild<QPlainTextEdit*>(u"Message"_s); }
    void send() const { screen->findChild<QPushButton*>(u"Command1"_s)->click(); }

    void compose(const QString& to, const QString& text) const
    {
        numbers()->setText(to);
        message()->setPlainText(text);
    }

    std::vector<store::OutboxRow> queued() const
    {
        auto rows = store::OutboxTable(reader).pendingSnapshot();
        EXPECT_TRUE(rows) << rows.error().message.toStdString();
        return rows ? *rows : std::vector<store::OutboxRow>{};
    }

    QStringList recipients() const
    {
        QStringList list;
        for (const auto& row : queued())
            list << row.recipient;
        return list;
    }

    void expectStillOpenWith(const QString& to, const QString& text) const
    {
        EXPECT_TRUE(screen->isVisible());
        EXPECT_EQ(screen->result(), QDialog::Rejected);
        EXPECT_EQ(numbers()->text(), to);
        EXPECT_EQ(message()->toPlainText(), text);
    }
};

} // namespace

TEST_F(ComposeSmsTest, EachNumberGetsARowWithTheSameMessageAndTime)
{
    EXPECT_EQ(screen->objectName(), u"frm_ComposeSMS"_s);
    EXPECT_EQ(screen->windowTitle(), u"Compose & Send SMS"_s);
    // The access key marks a letter; the caption reads the same.
    EXPECT_EQ(screen->findChild<QPushButton*>(u"Command1"_s)->text(), u"&Send SMS"_s);

    compose(u" +49 151 1234.5678 ,0171 123.45 67,  +44.7700.900123"_s, u"Meeting moved to 3 pm"_s);
    send();

    EXPECT_TRUE(dialogs.texts.isEmpty()) << dialogs.lastText().toStdString();
    EXPECT_EQ(screen->result(), QDialog::Accepted);
    EXPECT_FALSE(screen->isVisible());
    const auto rows = queued();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(recipients(), (QStringList{u"+4915112345678"_s, u"01711234567"_s, u"+447700900123"_s}));
    for (const auto& row : rows) {
        EXPECT_EQ(row.message, u"Meeting moved to 3 pm"_s);
        EXPECT_EQ(row.queuedAt, clock.now());
        EXPECT_TRUE(row.fromName.isNull());
        EXPECT_TRUE(row.status.isNull());
    }
}

TEST_F(ComposeSmsTest, EveryCommaStartsAnotherRowEvenWhenNothingFollows)
{
    compose(u"01711234567,"_s, u"Hi"_s);
    send();
    EXPECT_EQ(screen->result(), QDialog::Accepted);
    EXPECT_EQ(recipients(), (QStringList{u"01711234567"_s, u""_s}));
}

TEST_F(ComposeSmsTest, MissingNumbersOrMessageAreRefusedAndTheInputKept)
{
    const std::pair<QString, QString> cases[] = {
        {u"01711234567"_s, u"   "_s},
        {u"01711234567"_s, u""_s},
        {u"  "_s, u"Hi"_s},
        {u""_s, u"Hi"_s},
    };
    for (const auto& [to, text] : cases) {
        SCOPED_TRACE(("to '" + to + "', text '" + text + "'").toStdString());
        dialogs.texts.clear();
        compose(to, text);
        send();
        EXPECT_EQ(dialogs.texts, QStringList{u"You must enter the mobile number and the message."_s});
        expectStillOpenWith(to, text);
        EXPECT_TRUE(queued().empty());
    }
}

TEST_F(ComposeSmsTest, MessageIsStoredAsTypedWithCrLfLineBreaks)
{
    compose(u"01711234567"_s, u"  It's Tom's \"car\"; -- '\nsee you at 5  "_s);
    send();
    const auto rows = queued();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, u"  It's Tom's \"car\"; -- '\r\nsee you at 5  "_s);
}

TEST_F(ComposeSmsTest, CounterShowsTheStoredLengthAndTheSmsItMakes)
{
    // The count is taken on the text as stored and sent: a line break is CR LF, two characters.
    // Parts are cut at 160 characters whatever the alphabet, as the modem link sends them.
    const QString cyrillic(71, QChar(0x0416));
    const struct
    {
        const char* name;
        QString typed;
        QString counter;
    } cases[] = {
        {"empty", QString(), u"0 characters, 0 SMS"_s},
        {"one character", u"a"_s, u"1 character, 1 SMS"_s},
        {"160 GSM", QString(160, u'a'), u"160 characters, 1 SMS"_s},
        {"161 GSM", QString(161, u'a'), u"161 characters, 2 SMS"_s},
        {"158 and a line break", QString(158, u'a') + u"\n"_s, u"160 characters, 1 SMS"_s},
        {"159 and a line break", QString(159, u'a') + u"\n"_s, u"161 characters, 2 SMS"_s},
        {"320 GSM", QString(320, u'a'), u"320 characters, 2 SMS"_s},
        {"321 GSM", QString(321, u'a'), u"321 characters, 3 SMS"_s},
        {"70 Cyrillic", cyrillic.left(70), u"70 characters, 1 SMS"_s},
        {"71 Cyrillic", cyrillic, u"71 characters, 1 SMS"_s},
        {"only line breaks", u"\n\n"_s, u"4 characters, 1 SMS"_s},
    };
    auto* counter = screen->findChild<QLabel*>(u"lblCount"_s);
    ASSERT_NE(counter, nullptr);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        message()->setPlainText(c.typed);
        EXPECT_EQ(counter->text(), c.counter);
        EXPECT_EQ(message()->toPlainText(), c.typed); // nothing cut off
    }
    // A stored text given to the screen (Forward) is counted the same way.
    screen->setMessage(QString(159, u'a') + u"\r\n"_s);
    EXPECT_EQ(counter->text(), u"161 characters, 2 SMS"_s);
}

TEST_F(ComposeSmsTest, TextLongerThanOneSmsIsTypedAndQueuedWhole)
{
    QString typed;
    for (int i = 0; i < 170; ++i)
        typed += QChar(u'a' + i % 26);
    message()->setFocus();
    QTest::keyClicks(message(), typed.left(100));
    QTest::keyClick(message(), Qt::Key_Return);
    QTest::keyClicks(message(), typed.mid(100));
    EXPECT_EQ(screen->findChild<QLabel*>(u"lblCount"_s)->text(), u"172 characters, 2 SMS"_s);

    numbers()->setText(u"01711234567"_s);
    send();
    const auto rows = queued();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].message, typed.left(100) + u"\r\n"_s + typed.mid(100));
}

TEST_F(ComposeSmsTest, ReplyAndForwardPrefillAndSendUnchanged)
{
    // Reply fills the sender's number; Forward fills the stored text with its CR LF breaks.
    screen->setMobileNumbers(u"+4915112345678"_s);
    screen->setMessage(u"First line\r\nSecond line"_s);
    EXPECT_EQ(numbers()->text(), u"+4915112345678"_s);
    EXPECT_EQ(message()->toPlainText(), u"First line\nSecond line"_s);

    send();
    const auto rows = queued();
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0].recipient, u"+4915112345678"_s);
    EXPECT_EQ(rows[0].message, u"First line\r\nSecond line"_s);
}

TEST_F(ComposeSmsTest, StoreRefusalQueuesNothingAndKeepsTheInput)
{
    ASSERT_TRUE(
        db.exec(u"CREATE TRIGGER refuse_third BEFORE INSERT ON Message_OutBox "
                u"WHEN (SELECT COUNT(*) FROM Message_OutBox) >= 2 BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s));
    const QString to = u"0171 1111111, 0171 2222222, 0171 3333333"_s;
    compose(to, u"Hi all"_s);
    send();

    ASSERT_EQ(dialogs.texts.size(), 1);
    EXPECT_TRUE(dialogs.lastText().startsWith(u"The message could not be queued: "_s))
        << dialogs.lastText().toStdString();
    EXPECT_TRUE(dialogs.lastText().contains(u"disk full"_s)) << dialogs.lastText().toStdString();
    expectStillOpenWith(to, u"Hi all"_s);
    EXPECT_TRUE(queued().empty());
    EXPECT_FALSE(db.inTransaction());

    // Once the store takes rows again, the same screen queues the whole list.
    ASSERT_TRUE(db.exec(u"DROP TRIGGER refuse_third"_s));
    send();
    EXPECT_EQ(screen->result(), QDialog::Accepted);
    EXPECT_EQ(recipients(), (QStringList{u"01711111111"_s, u"01712222222"_s, u"01713333333"_s}));
}
