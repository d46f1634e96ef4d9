#include "Database.h"
#include "OutboxTable.h"
#include "Store.h"
#include "StoreLocation.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::fileDigest;
using testing_support::TempFolder;

namespace {

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

TEST(Database, TextsRoundTripUnchanged)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db) << db.error().message.toStdString();
    store::OutboxTable outbox(*db);

    const QString texts[] = {
        u"it's a 'quoted' text"_s,
        u"say \"hello\" and \"\"twice\"\""_s,
        u"line one\r\nline two\r\n"_s,
        u"Привет, 你好, مرحبا, Grüße €"_s,
        u"   "_s,
        u"%_\\ ; DROP TABLE Message_OutBox; --"_s,
    };
    for (const QString& text : texts) {
        auto id = outbox.insert(u"+4915112345678"_s, text, QDateTime::currentDateTime(), text);
        ASSERT_TRUE(id);
        auto row = outbox.row(*id);
        ASSERT_TRUE(row);
        EXPECT_EQ(row->message, text);
        EXPECT_EQ(row->fromName, text);
        EXPECT_EQ(row->recipient, u"+4915112345678"_s);
    }
}

TEST(Database, EmptyTextAndNullStayApart)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::OutboxTable outbox(*db);

    auto withEmpty = outbox.insert(u"123"_s, u""_s, QDateTime::currentDateTime(), u""_s);
    auto withNull = outbox.insert(u"123"_s, QString(), QDateTime::currentDateTime(), QString());
    ASSERT_TRUE(withEmpty && withNull);

    auto empty = outbox.row(*withEmpty);
    auto null = outbox.row(*withNull);
    ASSERT_TRUE(empty && null);
    EXPECT_FALSE(empty->message.isNull());
    EXPECT_TRUE(empty->message.isEmpty());
    EXPECT_FALSE(empty->fromName.isNull());
    EXPECT_TRUE(null->message.isNull());
    EXPECT_TRUE(null->fromName.isNull());
    // A pending row has neither a status nor a delivery time.
    EXPECT_TRUE(null->status.isNull());
    EXPECT_TRUE(null->deliveredAt.isNull());

    auto st = db->prepare(u"SELECT COUNT(*) FROM Message_OutBox WHERE SMSFromName IS NULL"_s);
    EXPECT_EQ(st.scalar().value_or(-1), 1);
}

TEST(Database, FileIsEncrypted)
{
    TempFolder folder;
    {
        auto db = store::openStore(folder.storePath());
        ASSERT_TRUE(db);
    }
    QFile file(folder.storePath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray head = file.read(16);
    EXPECT_EQ(head.size(), 16);
    EXPECT_NE(head, QByteArray("SQLite format 3\0", 16));
}

TEST(Database, RefusesWrongKeyWithoutTouchingTheFile)
{
    TempFolder folder;
    {
        auto db = store::Database::open(folder.storePath(), u"another password"_s);
        ASSERT_TRUE(db);
        ASSERT_TRUE(db->exec(u"CREATE TABLE Kept (x TEXT); INSERT INTO Kept VALUES ('precious')"_s));
    }
    const QByteArray before = fileDigest(folder.storePath());

    auto db = store::openStore(folder.storePath());
    ASSERT_FALSE(db);
    EXPECT_TRUE(db.error().message.contains(u"password"_s)) << db.error().message.toStdString();
    EXPECT_EQ(fileDigest(folder.storePath()), before);
    EXPECT_FALSE(QFile::exists(folder.storePath() + u"-wal"_s));

    // The rightful owner still reads it.
    auto owner = store::Database::open(folder.storePath(), u"another password"_s);
    ASSERT_TRUE(owner);
    auto st = owner->prepare(u"SELECT x FROM Kept"_s);
    ASSERT_TRUE(st.next().value_or(false));
    EXPECT_EQ(st.text(0), u"precious"_s);
}

TEST(Database, RefusesForeignFilesWithoutTouchingThem)
{
    TempFolder folder;
    const QByteArray foreignContents[] = {
        QByteArray("This is somebody's spreadsheet, not a store.\n").repeated(200),
        QByteArray(4096, '\0'),
    };
    for (const QByteArray& contents : foreignContents) {
        writeFile(folder.storePath(), contents);
        const QByteArray before = fileDigest(folder.storePath());
        auto db = store::openStore(folder.storePath());
        EXPECT_FALSE(db);
        EXPECT_EQ(fileDigest(folder.storePath()), before);
    }
}

TEST(Database, RefusesUnencryptedSqliteFile)
{
    TempFolder folder;
    {
        // No key: an ordinary SQLite database, as another program would leave it.
        auto plain = store::Database::open(folder.storePath(), QString());
        ASSERT_TRUE(plain);
        ASSERT_TRUE(plain->exec(u"CREATE TABLE Other (x)"_s));
    }
    const QByteArray before = fileDigest(folder.storePath());
    auto db = store::openStore(folder.storePath());
    EXPECT_FALSE(db);
    EXPECT_EQ(fileDigest(folder.storePath()), before);
}

TEST(Database, TransactionRollsBackUnlessCommitted)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::OutboxTable outbox(*db);
    {
        store::Transaction transaction(*db);
        ASSERT_TRUE(transaction.started());
        ASSERT_TRUE(outbox.insert(u"1"_s, u"lost"_s, QDateTime::currentDateTime()));
    }
    EXPECT_EQ(outbox.countPending().value_or(-1), 0);
    {
        store::Transaction transaction(*db);
        ASSERT_TRUE(outbox.insert(u"1"_s, u"kept"_s, QDateTime::currentDateTime()));
        ASSERT_TRUE(transaction.commit());
    }
    EXPECT_EQ(outbox.countPending().value_or(-1), 1);
}

TEST(Database, FailingStatementReportsSqliteMessage)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    auto result = db->prepare(u"SELECT NoSuchColumn FROM Message_InBox"_s).next();
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.error().message.contains(u"NoSuchColumn"_s)) << result.error().message.toStdString();
}

TEST(Database, SecondConnectionSeesCommittedRows)
{
    // The engine and the screens each hold a connection to the same file.
    TempFolder folder;
    auto engine = store::openStore(folder.storePath());
    auto screens = store::openStore(folder.storePath());
    ASSERT_TRUE(engine && screens);
    ASSERT_TRUE(store::OutboxTable(*engine).insert(u"1"_s, u"hi"_s, QDateTime::currentDateTime()));
    EXPECT_EQ(store::OutboxTable(*screens).countPending().value_or(-1), 1);
}

TEST(Database, NestedTransactionUndoesOnlyItsPart)
{
    TempFolder folder;
    auto db = store::openStore(folder.storePath());
    ASSERT_TRUE(db);
    store::OutboxTable outbox(*db);
    {
        store::Transaction outer(*db);
        ASSERT_TRUE(outer.started());
        ASSERT_TRUE(outbox.insert(u"1"_s, u"outer"_s, QDateTime::currentDateTime()));
        {
            store::Transaction inner(*db);
            ASSERT_TRUE(inner.started());
            ASSERT_TRUE(outbox.insert(u"2"_s, u"inner, undone"_s, QDateTime::currentDateTime()));
        }
        {
            store::Transaction inner(*db);
            ASSERT_TRUE(outbox.insert(u"3"_s, u"inner, kept"_s, QDateTime::currentDateTime()));
            ASSERT_TRUE(inner.commit());
        }
        ASSERT_TRUE(outer.commit());
    }
    auto st = db->prepare(
        u"SELECT group_concat(RecipientMobileNo) FROM (SELECT RecipientMobileNo FROM Message_OutBox ORDER BY 1)"_s);
    ASSERT_TRUE(st.next().value_or(false));
    EXPECT_EQ(st.text(0), u"1,3"_s);

    {
        // An inner part that was kept still goes when the outer transaction is not committed.
        store::Transaction outer(*db);
        store::Transaction inner(*db);
        ASSERT_TRUE(outbox.insert(u"4"_s, u"gone with the outer"_s, QDateTime::currentDateTime()));
        ASSERT_TRUE(inner.commit());
    }
    EXPECT_EQ(outbox.countPending().value_or(-1), 2);
}
