#include "WebMailRequest.h"

#include "DateText.h"
#include "Store.h"
#include "TestSupport.h"
#include "UserAccountTable.h"

#include <gtest/gtest.h>

#include <QStringList>

#include <optional>
#include <vector>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::TempFolder;

namespace {

QString request(const QString& user, const QString& password, const QString& numbers, const QString& message)
{
    return u"<smsusername>"_s + user + u"</smsusername>\n<smspassword>"_s + password + u"</smspassword>\n"_s +
           u"<tomobilenumbers>"_s + numbers + u"</tomobilenumbers>\n<message>"_s + message + u"</message>\n"_s;
}

struct QueuedRow
{
    QString recipient;
    QString message;
    QString queuedAt;
    QString fromName;
    bool fromNameIsNull = false;
};

} // namespace

// ---------------------------------------------------------------- the pure parsing

TEST(RequestTags, ElementsAreFoundInAnyOrderAndCase)
{
    const auto tags = mail::extractRequestTags(u"Hello gateway,\r\n"
                                               u"<MESSAGE>Meeting at 10</Message>\r\n"
                                               u"<ToMobileNumbers>+4915100001</TOMOBILENUMBERS>\r\n"
                                               u"<SmsPassword>secret</smspassword>\r\n"
                                               u"<SMSUSERNAME>alice</SMSUserName>\r\n"
                                               u"-- \r\nSent from my phone"_s);
    EXPECT_EQ(tags.userName, u"alice"_s);
    EXPECT_EQ(tags.password, u"secret"_s);
    EXPECT_EQ(tags.numbers, u"+4915100001"_s);
    EXPECT_EQ(tags.message, u"Meeting at 10"_s);
}

TEST(RequestTags, ValueRules)
{
    const struct
    {
        QString body;
        QString value;
    } cases[] = {
        {u"<message>  hi there  </message>"_s, u"hi there"_s},
        {u"<message>     </message>"_s, QString()},
        {u"<message></message>"_s, QString()},
        // Only blanks are trimmed: tabs and line breaks belong to the message.
        {u"<message>\tline one\r\nline two\n </message>"_s, u"\tline one\r\nline two\n"_s},
        {u"<message> \t </message>"_s, u"\t"_s},
        // The first of each tag counts, wherever it is.
        {u"<message>one</message><message>two</message>"_s, u"one"_s},
        {u"<message>one<message>two</message>"_s, u"one<message>two"_s},
        {u"</message> stray <message>text</message>"_s, QString()},
        {u"</message><message>"_s, QString()},
        {u"<message>no end"_s, QString()},
        {u"no start</message>"_s, QString()},
        {u"<message >spaced tag</message>"_s, QString()},
        {u"<messages>plural</messages>"_s, QString()},
        {u"<message>a</message >"_s, QString()},
        {u"x<message>it's <b>bold</b> & fine</message>y"_s, u"it's <b>bold</b> & fine"_s},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        EXPECT_EQ(mail::tagValue(c.body, u"message"_s), c.value);
    }
}

TEST(RequestTags, CleaningANumberRemovesOnlyDashesDotsAndWhiteSpace)
{
    const std::pair<QString, QString> cases[] = {
        {u"+49-151.234 567"_s, u"+49151234567"_s},
        {u"  0151 234  "_s, u"0151234"_s},
        {u"---"_s, QString()},
        {u"\t0151\t"_s, u"0151"_s},
        {u"\r\n0151\r\n234\n"_s, u"0151234"_s},
        {u"0151\u00a0234"_s, u"0151234"_s},
        {u"(0151) 23/45"_s, u"(0151)23/45"_s},
        {u"call-me"_s, u"callme"_s},
    };
    for (const auto& [entry, cleaned] : cases) {
        SCOPED_TRACE(entry.toStdString());
        EXPECT_EQ(mail::cleanMobileNumber(entry), cleaned);
    }
}

TEST(RequestTags, NumbersAreSplitOnCommasAndLineBreaksAndOddEntriesSetApart)
{
    const struct
    {
        QString numbers;
        QStringList sendable;
        QStringList skipped;
    } cases[] = {
        {u"+1555 0100,\r\n, 12ab, 15550101"_s, {u"+15550100"_s, u"15550101"_s}, {u"12ab"_s}},
        {u"15550100\r\n15550101\n15550102"_s, {u"15550100"_s, u"15550101"_s, u"15550102"_s}, {}},
        {u",,\r\n ,\t,"_s, {}, {}},
        {u"+, ++1, 1+2, 0151/234"_s, {}, {u"+"_s, u"++1"_s, u"1+2"_s, u"0151/234"_s}},
        {u"+49-151.0001\r15550100"_s, {u"+491510001"_s, u"15550100"_s}, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.numbers.toStdString());
        const mail::RequestNumbers split = mail::splitRequestNumbers(c.numbers);
        EXPECT_EQ(split.sendable, c.sendable);
        EXPECT_EQ(split.skipped, c.skipped);
    }
}

// ---------------------------------------------------------------- against a real store

class WebMailRequest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto opened = store::openStore(m_folder.storePath());
        ASSERT_TRUE(opened) << opened.error().message.toStdString();
        m_db = std::move(*opened);
        m_clock.set(QDateTime(QDate(2026, 4, 2), QTime(17, 5, 9)));
    }

    qint64 addAccount(const QString& user, const QString& password, std::optional<qint64> balance,
                      const QString& fromName = QString())
    {
        auto id = store::UserAccountTable(m_db).insert(user, password, fromName, balance);
        EXPECT_TRUE(id);
        return id.value_or(0);
    }

    store::UserAccountRow account(qint64 id) const
    {
        auto row = store::UserAccountTable(m_db).row(id);
        EXPECT_TRUE(row && *row);
        return row && *row ? **row : store::UserAccountRow{};
    }

    std::expected<QString, store::StoreError> process(const QString& body)
    {
        return mail::ProcessWebMailToSMSEmail(m_db, m_clock, body, [this](const QString& line) { m_log << line; });
    }

    QString processed(const QString& body)
    {
        auto outcome = process(body);
        EXPECT_TRUE(outcome) << outcome.error().message.toStdString();
        return outcome.value_or(QString());
    }

    std::vector<QueuedRow> outbox() const
    {
        auto st = m_db.prepare(u"SELECT RecipientMobileNo, Message, OutBoxDateTime, SMSFromName "
                               u"FROM Message_OutBox ORDER BY Outbox_Id"_s);
        std::vector<QueuedRow> rows;
        while (st.next().value_or(false))
            rows.push_back({st.text(0), st.text(1), st.text(2), st.text(3), st.isNull(3)});
        return rows;
    }

    QStringList recipients() const
    {
        QStringList numbers;
        for (const QueuedRow& row : outbox())
            numbers << row.recipient;
        return numbers;
    }

    static QString queuedLine(const QString& user, const QString& number)
    {
        return u"Webmail-To-SMS sent to Outbox from SMS Account: '"_s + user + u"' to mobile number '"_s + number +
               u"'"_s;
    }

    static QString lowBalance(const QString& user)
    {
        return u"**WARNING** SMSUserName '"_s + user + u"' does not have enough balance credits to send SMS"_s;
    }

    QString nowText() const { return store::isoText(m_clock.now()); }

    TempFolder m_folder;
    store::Database m_db;
    FakeClock m_clock;
    QStringList m_log;
};

TEST_F(WebMailRequest, MalformedRequestsTouchNothing)
{
    const qint64 alice = addAccount(u"alice"_s, u"secret"_s, 5);
    const QString userMissing = u"SMSUserName does not exist"_s;
    const QString passwordMissing = u"SMSPassword does not exist"_s;
    const QString badSyntax = u"Incoming email is not in valid syntax"_s;
    const struct
    {
        QString body;
        QString outcome;
    } cases[] = {
        {QString(), userMissing},
        {u"Please send 'hello' to +4915100001"_s, userMissing},
        {request(u"   "_s, u"secret"_s, u"1"_s, u"hi"_s), userMissing},
        {request(QString(), QString(), QString(), QString()), userMissing},
        {u"</smsusername>alice<smsusername><smspassword>secret</smspassword>"
         u"<tomobilenumbers>1</tomobilenumbers><message>hi</message>"_s,
         userMissing},
        {request(u"alice"_s, u"  "_s, u"1"_s, u"hi"_s), passwordMissing},
        {request(u"alice"_s, QString(), QString(), QString()), passwordMissing},
        {request(u"alice"_s, u"secret"_s, u"   "_s, u"hi"_s), badSyntax},
        {request(u"alice"_s, u"secret"_s, u"1"_s, u" "_s), badSyntax},
        {u"<smsusername>alice</smsusername><smspassword>secret</smspassword>"
         u"<tomobilenumbers>1</tomobilenumbers></message>hi<message>"_s,
         badSyntax},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.body.toStdString());
        m_log.clear();
        EXPECT_EQ(processed(c.body), c.outcome);
        EXPECT_EQ(m_log, QStringList{c.outcome});
    }
    EXPECT_TRUE(outbox().empty());
    EXPECT_EQ(account(alice).balanceCredits, 5);
    EXPECT_TRUE(account(alice).balanceUpdatedOn.isNull());
}

TEST_F(WebMailRequest, FailedAuthenticationTouchesNothing)
{
    const qint64 alice = addAccount(u"alice"_s, u"secret"_s, 5);
    const struct
    {
        QString user;
        QString password;
    } logins[] = {
        {u"alice"_s, u"wrong"_s},  {u"alice"_s, u"SECRET"_s}, // tags ignore case, the values do not
        {u"Alice"_s, u"secret"_s}, {u"bob"_s, u"secret"_s},   {u"alice' OR '1'='1"_s, u"x' OR '1'='1"_s},
    };
    for (const auto& login : logins) {
        SCOPED_TRACE(login.user.toStdString());
        m_log.clear();
        const QString warning = u"**WARNING** SMS user authentication failed for SMSUserName '"_s + login.user + u"'"_s;
        EXPECT_EQ(processed(request(login.user, login.password, u"+4915100001"_s, u"hi"_s)), warning);
        EXPECT_EQ(m_log, QStringList{warning});
    }
    EXPECT_TRUE(outbox().empty());
    EXPECT_EQ(account(alice).balanceCredits, 5);
    EXPECT_TRUE(account(alice).balanceUpdatedOn.isNull());
}

TEST_F(WebMailRequest, QueuesEachCleanedNumberAndChargesOneCreditPerRow)
{
    const qint64 alice = addAccount(u"alice"_s, u"secret"_s, 10, u"  ACME Ltd  "_s);
    const QString message = u"Dear customer,\r\n\tyour order has shipped. "_s;
    const QString body = u"<Message>"_s + message + u"  </Message>"_s +
                         u"<TOMOBILENUMBERS> +49-151.0001, 0151 0002 ,+4915100001,+4915100001</TOMOBILENUMBERS>"_s +
                         u"<smsPassword> secret </smsPassword><SMSUserName>alice</SMSUserName>"_s;

    EXPECT_EQ(processed(body), u"Success"_s);

    const QStringList expected{u"+491510001"_s, u"01510002"_s, u"+4915100001"_s, u"+4915100001"_s};
    EXPECT_EQ(recipients(), expected);
    for (const QueuedRow& row : outbox()) {
        EXPECT_EQ(row.message, u"Dear customer,\r\n\tyour order has shipped."_s);
        EXPECT_EQ(row.queuedAt, nowText());
        EXPECT_EQ(row.fromName, u"ACME Ltd"_s);
    }
    EXPECT_EQ(account(alice).balanceCredits, 6);
    EXPECT_EQ(account(alice).balanceUpdatedOn, nowText());

    QStringList log;
    for (const QString& number : expected)
        log << queuedLine(u"alice"_s, number);
    log << u"Success"_s;
    EXPECT_EQ(m_log, log);
}

TEST_F(WebMailRequest, EntriesThatAreNoNumbersAreNamedAndNotCharged)
{
    const qint64 alice = addAccount(u"alice"_s, u"secret"_s, 5);
    QStringList skipped;
    auto outcome = mail::ProcessWebMailToSMSEmail(
        m_db, m_clock, request(u"alice"_s, u"secret"_s, u"+1555 0100,\r\n, 12ab, 15550101"_s, u"hi"_s),
        [this](const QString& line) { m_log << line; }, &skipped);
    ASSERT_TRUE(outcome);
    EXPECT_EQ(*outcome, u"Success"_s);
    EXPECT_EQ(recipients(), (QStringList{u"+15550100"_s, u"15550101"_s}));
    EXPECT_EQ(account(alice).balanceCredits, 3);
    EXPECT_EQ(skipped, QStringList{u"12ab"_s});
    EXPECT_TRUE(m_log.contains(u"**WARNING** '12ab' is not a mobile number: no SMS is queued for it."_s))
        << m_log.join(u'\n').toStdString();

    // Nothing sendable at all: refused as bad syntax before the account is even looked at.
    m_log.clear();
    EXPECT_EQ(processed(request(u"alice"_s, u"wrong"_s, u"12ab,\r\n"_s, u"hi"_s)),
              u"Incoming email is not in valid syntax"_s);
    EXPECT_EQ(account(alice).balanceCredits, 3);
    EXPECT_EQ(outbox().size(), 2u);
}

TEST_F(WebMailRequest, StopsQueuingWhenTheCreditsRunOut)
{
    const qint64 alice = addAccount(u"alice"_s, u"secret"_s, 2);

    EXPECT_EQ(processed(request(u"alice"_s, u"secret"_s, u"111,222,333"_s, u"hi"_s)), lowBalance(u"alice"_s));

    EXPECT_EQ(recipients(), (QStringList{u"111"_s, u"222"_s}));
    EXPECT_EQ(account(alice).balanceCredits, 0);
    EXPECT_EQ(account(alice).balanceUpdatedOn, nowText());
    EXPECT_EQ(m_log, (QStringList{queuedLine(u"alice"_s, u"111"_s), queuedLine(u"alice"_s, u"222"_s),
                                  lowBalance(u"alice"_s)}));
}

TEST_F(WebMailRequest, AnAccountWithoutCreditsQueuesNothingButIsStamped)
{
    const struct
    {
        QString user;
        std::optional<qint64> balance;
    } accounts[] = {
        {u"zero"_s, 0},
        {u"never"_s, std::nullopt},
        {u"overdrawn"_s, -3},
    };
    for (const auto& a : accounts) {
        SCOPED_TRACE(a.user.toStdString());
        m_log.clear();
        const qint64 id = addAccount(a.user, u"pw"_s, a.balance);

        EXPECT_EQ(processed(request(a.user, u"pw"_s, u"+4915100001"_s, u"hi"_s)), lowBalance(a.user));

        EXPECT_TRUE(outbox().empty());
        EXPECT_EQ(m_log, QStringList{lowBalance(a.user)});
        EXPECT_EQ(account(id).balanceCredits, a.balance.value_or(0));
        EXPECT_EQ(account(id).balanceUpdatedOn, nowText());
    }
}

TEST_F(WebMailRequest, ApostrophesAreOrdinaryText)
{
    const qint64 id = addAccount(u"o'brien"_s, u"it's'me"_s, 1);
    const QString message = u"Don't forget: it's 'today'; -- really"_s;

    EXPECT_EQ(processed(request(u"o'brien"_s, u"it's'me"_s, u"+4915100001"_s, message)), u"Success"_s);

    ASSERT_EQ(outbox().size(), 1u);
    EXPECT_EQ(outbox()[0].message, message);
    EXPECT_EQ(account(id).balanceCredits, 0);
    EXPECT_EQ(m_log, (QStringList{queuedLine(u"o'brien"_s, u"+4915100001"_s), u"Success"_s}));
}

TEST_F(WebMailRequest, FromNameOfTheAccountIsCopiedNeverNull)
{
    addAccount(u"named"_s, u"pw"_s, 5, u"Shop"_s);
    addAccount(u"unnamed"_s, u"pw"_s, 5);
    addAccount(u"blank"_s, u"pw"_s, 5, u"   "_s);

    for (const QString& user : {u"named"_s, u"unnamed"_s, u"blank"_s})
        EXPECT_EQ(processed(request(user, u"pw"_s, u"1"_s, u"hi"_s)), u"Success"_s);

    const auto rows = outbox();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].fromName, u"Shop"_s);
    // Rows from e-mail requests are told apart from others by a from-name that is not Null.
    for (const QueuedRow& row : {rows[1], rows[2]}) {
        EXPECT_FALSE(row.fromNameIsNull);
        EXPECT_EQ(row.fromName, QString());
    }
}

TEST_F(WebMailRequest, OfTwoMatchingAccountsTheOlderIsCharged)
{
    const qint64 first = addAccount(u"shared"_s, u"pw"_s, 3, u"First"_s);
    const qint64 second = addAccount(u"shared"_s, u"pw"_s, 9, u"Second"_s);

    EXPECT_EQ(processed(request(u"shared"_s, u"pw"_s, u"1"_s, u"hi"_s)), u"Success"_s);

    EXPECT_EQ(account(first).balanceCredits, 2);
    EXPECT_EQ(account(second).balanceCredits, 9);
    EXPECT_TRUE(account(second).balanceUpdatedOn.isNull());
    ASSERT_EQ(outbox().size(), 1u);
    EXPECT_EQ(outbox()[0].fromName, u"First"_s);
}

// Rows and charge are one change: whichever write fails, nothing of the request remains and
// the log claims nothing.
TEST_F(WebMailRequest, AStoreFailureLeavesNoTraceOfTheRequest)
{
    const struct
    {
        const char* failing;
        QString trigger;
    } failures[] = {
        {"second outbox row",
         u"CREATE TRIGGER fail_write BEFORE INSERT ON Message_OutBox "
         u"WHEN (SELECT COUNT(*) FROM Message_OutBox) >= 1 BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s},
        {"balance update", u"CREATE TRIGGER fail_write BEFORE UPDATE ON SMS_UserAccounts "
                           u"BEGIN SELECT RAISE(ABORT, 'disk full'); END"_s},
    };
    const qint64 alice = addAccount(u"alice"_s, u"secret"_s, 5);
    for (const auto& failure : failures) {
        SCOPED_TRACE(failure.failing);
        m_log.clear();
        ASSERT_TRUE(m_db.exec(failure.trigger));

        auto outcome = process(request(u"alice"_s, u"secret"_s, u"111,222,333"_s, u"hi"_s));
        ASSERT_FALSE(outcome);
        EXPECT_TRUE(outcome.error().message.contains(u"disk full"_s)) << outcome.error().message.toStdString();

        EXPECT_TRUE(outbox().empty());
        EXPECT_EQ(account(alice).balanceCredits, 5);
        EXPECT_TRUE(account(alice).balanceUpdatedOn.isNull());
        EXPECT_TRUE(m_log.isEmpty()) << m_log.join(u'\n').toStdString();

        ASSERT_TRUE(m_db.exec(u"DROP TRIGGER fail_write"_s));
    }

    // The store is usable again at once: no transaction was left open.
    EXPECT_EQ(processed(request(u"alice"_s, u"secret"_s, u"111,222,333"_s, u"hi"_s)), u"Success"_s);
    EXPECT_EQ(outbox().size(), 3u);
    EXPECT_EQ(account(alice).balanceCredits, 2);
}
