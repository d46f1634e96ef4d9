// PDU mode through the port: stored messages read back as SMS-DELIVER / SMS-SUBMIT hex worked out by hand,
// PDUs a client sends or writes, concatenated messages, and message texts that look like the modem's own lines.

#include "ModemFixture.h"
#include "Pdu.h"

#include <QRegularExpression>
#include <QTimeZone>

using ModemSimPdu = ModemFixture;
using ModemSimConcatenated = ModemFixture;
using ModemSimLookalikes = ModemFixture;
using modemsim::Pdu;

namespace {

// 09:26:53 at UTC+1: 62 30 41 90 62 35 and a zone of +4 quarters, 40.
const QDateTime kReceived(QDate(2026, 3, 14), QTime(9, 26, 53), QTimeZone(3600));
// The power-up service centre +491770610000: 7 octets, international, swapped digits.
const std::string kCentre = "0791947107160000";
const QString kSender = QStringLiteral("+4917011111111"); // 0D 91 947110111111F1
// "hello" from kSender at kReceived.
const char* const kHelloDeliver = "04 0D91947110111111F1 0000 62304190623540 05 E8329BFD06";

// The tables write PDUs field by field; the modem sends them without the spaces.
std::string hex(const char* spaced)
{
    std::string compact;
    for (const char* c = spaced; *c; ++c) {
        if (*c != ' ')
            compact += *c;
    }
    return compact;
}

std::string octets(const std::string& hexDigits)
{
    return std::to_string(hexDigits.size() / 2);
}

struct Stored
{
    const char* what;
    const char* status;
    int statusNumber;
    QString sender;
    QString text;
    QDateTime timestamp;
    int reference; // a part of a concatenated message when not -1
    bool sixteenBitReference;
    const char* tpdu;
};

} // namespace

TEST_F(ModemSimPdu, StoredMessagesReadBackAsTheTpduTheStandardDescribes)
{
    const QDateTime west(QDate(2026, 1, 2), QTime(3, 4, 5), QTimeZone(-5 * 3600));
    const QString unsent = QStringLiteral("+4917033333333");
    const QList<Stored> table = {
        {"GSM 7-bit text", "REC UNREAD", 0, kSender, QStringLiteral("hello"), kReceived, -1, false, kHelloDeliver},
        {"the euro sign as an escape pair", "REC READ", 1, kSender, QStringLiteral("€5"), kReceived, -1, false,
         "04 0D91947110111111F1 0000 62304190623540 03 9B720D"},
        {"alphanumeric sender, zone west of UTC", "REC READ", 1, QStringLiteral("MyBank"), QStringLiteral("Hi"), west,
         -1, false, "04 0BD0CDBC30EC5E03 0000 6210203040500A 02 C834"},
        {"UCS2 text from a national number", "REC UNREAD", 0, QStringLiteral("01701234567"), QStringLiteral("Привет"),
         kReceived, -1, false, "04 0B811007214365F7 0008 62304190623540 0C 041F04400438043204350442"},
        {"stored unsent: SMS-SUBMIT with the +CSMP validity",
         "STO UNSENT",
         2,
         unsent,
         QStringLiteral("Entwurf"),
         {},
         -1,
         false,
         "11 00 0D91947130333333F3 0000 A7 07 4537FD5E979B01"},
        {"part with an 8-bit reference: one fill bit after the header", "REC UNREAD", 0, kSender,
         QStringLiteral("hello"), kReceived, 42, false,
         "44 0D91947110111111F1 0000 62304190623540 0C 0500032A0101 D06536FB0D"},
        {"part with a 16-bit reference: the header ends on a septet", "REC UNREAD", 0, kSender, QStringLiteral("hi"),
         kReceived, 0x1234, true, "44 0D91947110111111F1 0000 62304190623540 0A 06080412340101 E834"},
    };
    for (const Stored& row : table) {
        if (row.reference < 0)
            m_modem.addMessage(QString::fromLatin1(row.status), row.sender, row.text, row.timestamp);
        else
            m_modem.addConcatenatedMessage(row.sender, row.text, row.reference, row.sixteenBitReference, {},
                                           row.timestamp);
    }
    useQuietPduMode();

    std::string readListing;
    for (qsizetype i = 0; i < table.size(); ++i) {
        const Stored& row = table[i];
        SCOPED_TRACE(row.what);
        const std::string tpdu = hex(row.tpdu);
        EXPECT_EQ(ask("AT+CMGR=" + QByteArray::number(i + 1)), "\r\n+CMGR: " + std::to_string(row.statusNumber) + ",," +
                                                                   octets(tpdu) + "\r\n" + kCentre + tpdu +
                                                                   "\r\n\r\nOK\r\n");
        if (row.statusNumber < 2)
            readListing += "\r\n+CMGL: " + std::to_string(i + 1) + ",1,," + octets(tpdu) + "\r\n" + kCentre + tpdu;
    }
    // Reading made them read; listing by number picks the status.
    EXPECT_EQ(ask("AT+CMGL"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=1"), readListing + "\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=2"), "\r\n+CMGL: 5,2,,22\r\n" + kCentre + hex(table[4].tpdu) + "\r\n\r\nOK\r\n");
    // The service centre part follows +CSCA.
    ASSERT_EQ(ask("AT+CSCA=\"0170123\",129"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGR=2"), "\r\n+CMGR: 1,,23\r\n" + hex("05 81 100721F3") + hex(table[1].tpdu) + "\r\n\r\nOK\r\n");
}

TEST_F(ModemSimPdu, ArgumentsAndRoutedMessagesFollowThePduForm)
{
    m_modem.addMessage(QStringLiteral("REC UNREAD"), kSender, QStringLiteral("hello"), kReceived);
    ASSERT_EQ(ask("ATE0"), "ATE0\r\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGF=?"), "\r\n+CMGF: (0,1)\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGF?"), "\r\n+CMGF: 0\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=?"), "\r\n+CMGL: (0-4)\r\n\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=\"ALL\""), "\r\nERROR\r\n");
    ASSERT_EQ(ask("AT+CMEE=1"), "\r\nOK\r\n");
    for (const char* refused : {"AT+CMGL=\"ALL\"", "AT+CMGL=5", "AT+CMGL=x", "AT+CMGS=\"+4915112345678\"", "AT+CMGS=0",
                                "AT+CMGW=23,4", "AT+CMGW=\"+4915112345678\""})
        EXPECT_EQ(ask(refused), "\r\n+CMS ERROR: 304\r\n") << refused;
    // Text mode keeps its quoted statuses.
    ASSERT_EQ(ask("AT+CMGF=1"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=4"), "\r\nERROR\r\n");
    ASSERT_EQ(ask("AT+CMGF=0"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGL=4"), "\r\n+CMGL: 1,0,,25\r\n" + kCentre + hex(kHelloDeliver) + "\r\n\r\nOK\r\n");

    // A message routed to the terminal comes as a PDU too; only its time stamp is the arrival time.
    ASSERT_EQ(ask("AT+CNMI=2,2"), "\r\nOK\r\n");
    EXPECT_EQ(m_modem.injectIncomingSms(kSender, QStringLiteral("hello")), 0);
    const std::string routed = text(m_client->readUntil("05E8329BFD06\r\n"));
    EXPECT_EQ(routed.rfind("\r\n+CMT: ,25\r\n" + kCentre + hex("04 0D91947110111111F1 0000"), 0), 0u) << routed;
    EXPECT_EQ(m_modem.simMessages().size(), 1);
}

TEST_F(ModemSimPdu, SentPdusAreDecodedAndRecordedOrRefusedWith304)
{
    struct Sent
    {
        const char* what;
        QByteArray length;
        const char* pdu;
        const char* number; // nullptr: refused
        QString text;
    };
    const QList<Sent> table = {
        {"no service centre, relative validity", "23", "00 11 00 0B916407281553F8 00 00 AA 0A E8329BFD4697D9EC37",
         "+46708251358", QStringLiteral("hellohello")},
        {"service centre, UCS2, no validity", "25",
         "0791947107160000 01 00 0B911945121143F5 00 08 0C 041F04400438043204350442", "+91542111345",
         QStringLiteral("Привет")},
        {"8-bit data, lower-case hex", "16", "00 01 00 0b911945121143f5 00 04 03 414243", "+91542111345",
         QStringLiteral("ABC")},
        {"a concatenation header with its fill bit", "24", "00 41 00 0B911945121143F5 00 00 0C 0500032A0201 D06536FB0D",
         "+91542111345", QStringLiteral("hello")},
        {"alphanumeric destination", "15", "00 01 00 0BD0CDBC30EC5E03 00 00 02 C834", "MyBank", QStringLiteral("Hi")},
        {"length that leaves out an octet", "22", "00 11 00 0B916407281553F8 00 00 AA 0A E8329BFD4697D9EC37", nullptr,
         QString()},
        {"a DELIVER is nothing to send", "25", "00 04 0D91947110111111F1 0000 62304190623540 05 E8329BFD06", nullptr,
         QString()},
        {"user data shorter than its length says", "23", "00 11 00 0B916407281553F8 00 00 AA 0B E8329BFD4697D9EC37",
         nullptr, QString()},
        {"an odd number of hex digits", "23", "00 11 00 0B916407281553F8 00 00 AA 0A E8329BFD4697D9EC3", nullptr,
         QString()},
    };
    useQuietPduMode();
    int reference = 0;
    for (const Sent& row : table) {
        SCOPED_TRACE(row.what);
        ASSERT_EQ(ask("AT+CMGS=" + row.length), "\r\n> ");
        m_client->send(QByteArray::fromStdString(hex(row.pdu)) + '\x1A');
        if (!row.number) {
            EXPECT_EQ(answer(), "\r\n+CMS ERROR: 304\r\n");
            continue;
        }
        EXPECT_EQ(answer(), "\r\n+CMGS: " + std::to_string(++reference) + "\r\n\r\nOK\r\n");
        ASSERT_EQ(m_modem.sentMessages().size(), reference);
        const modemsim::SentMessage sent = m_modem.sentMessages().back();
        EXPECT_EQ(sent.number, QString::fromLatin1(row.number));
        EXPECT_EQ(sent.text, row.text);
        EXPECT_FALSE(sent.fromStorage);
    }
}

TEST_F(ModemSimPdu, WrittenPdusAreStoredWithTheirStatusAndReadBackUnchanged)
{
    const std::string deliver = hex(kHelloDeliver);
    const std::string submit = hex("11 00 0D91947130333333F3 0000 A7 07 4537FD5E979B01");
    useQuietPduMode();
    ASSERT_EQ(ask("AT+CMGW=22"), "\r\n> ");
    m_client->send(QByteArray::fromStdString("00" + submit) + '\x1A');
    EXPECT_EQ(answer(), "\r\n+CMGW: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(ask("AT+CMGW=25,1"), "\r\n> ");
    m_client->send(QByteArray::fromStdString("00" + deliver) + '\x1A');
    EXPECT_EQ(answer(), "\r\n+CMGW: 2\r\n\r\nOK\r\n");
    ASSERT_EQ(ask("AT+CMGW=22,3"), "\r\n> ");
    m_client->send(QByteArray::fromStdString("00" + submit) + '\x1B');
    EXPECT_EQ(answer(), "\r\nOK\r\n");

    EXPECT_EQ(ask("AT+CMGL=4"), "\r\n+CMGL: 1,2,,22\r\n" + kCentre + submit + "\r\n+CMGL: 2,1,,25\r\n" + kCentre +
                                    deliver + "\r\n\r\nOK\r\n");
    const auto messages = m_modem.simMessages();
    ASSERT_EQ(messages.size(), 2);
    EXPECT_EQ(messages[1].status, QStringLiteral("REC READ"));
    EXPECT_EQ(messages[1].sender, kSender);
    EXPECT_EQ(messages[1].timestamp, kReceived);

    // A message written as a PDU is sent from storage like any other.
    EXPECT_EQ(ask("AT+CMSS=1"), "\r\n+CMSS: 1\r\n\r\nOK\r\n");
    ASSERT_EQ(m_modem.sentMessages().size(), 1);
    EXPECT_EQ(m_modem.sentMessages()[0].number, QStringLiteral("+4917033333333"));
    EXPECT_EQ(m_modem.sentMessages()[0].text, QStringLiteral("Entwurf"));
    EXPECT_TRUE(m_modem.sentMessages()[0].fromStorage);
}

TEST_F(ModemSimConcatenated, TextIsSplitAtPartBoundariesWithoutCuttingPairs)
{
    struct Split
    {
        const char* what;
        QString text;
        bool sixteenBitReference;
        QStringList parts;
    };
    const QString smile = QStringLiteral("😀");
    const QList<Split> table = {
        {"153 septets a part", QString(160, u'a'), false, {QString(153, u'a'), QString(7, u'a')}},
        {"a 16-bit reference takes one septet more", QString(160, u'a'), true, {QString(152, u'a'), QString(8, u'a')}},
        {"an escape pair stays whole",
         QString(152, u'a') + QStringLiteral("€b"),
         false,
         {QString(152, u'a'), QStringLiteral("€b")}},
        {"67 UCS2 characters a part", QString(70, u'Ж'), false, {QString(67, u'Ж'), QString(3, u'Ж')}},
        {"a surrogate pair stays whole", QString(66, u'Ж') + smile + u'x', false, {QString(66, u'Ж'), smile + u'x'}},
    };
    for (const Split& row : table) {
        SCOPED_TRACE(row.what);
        const QList<int> indexes = m_modem.addConcatenatedMessage(kSender, row.text, 7, row.sixteenBitReference);
        QStringList stored;
        for (const auto& message : m_modem.simMessages())
            stored.append(message.text);
        EXPECT_EQ(indexes, QList<int>({1, 2}));
        EXPECT_EQ(stored, row.parts);
        ASSERT_EQ(ask("AT+CMGD=1,4"), "AT+CMGD=1,4\r\r\nOK\r\n");
    }
}

TEST_F(ModemSimConcatenated, PartsCanBeHeldBackAndShowWithoutTheirHeaderInTextMode)
{
    const QString text = QString(150, u'x') + QString(50, u'y');
    EXPECT_EQ(m_modem.addConcatenatedMessage(kSender, text, 0x2A, false, {2}, kReceived), QList<int>({1}));
    useQuietPduMode();
    // The second of two parts, reference 42: 47 septets after the header and its fill bit.
    const std::string answer = ask("AT+CMGR=1");
    const std::string start = kCentre + hex("44 0D91947110111111F1 0000 62304190623540 36 0500032A0202");
    EXPECT_EQ(answer.rfind("\r\n+CMGR: 0,,68\r\n" + start, 0), 0u) << answer;

    ASSERT_EQ(ask("AT+CMGF=1"), "\r\nOK\r\n");
    EXPECT_EQ(ask("AT+CMGR=1"), "\r\n+CMGR: \"REC READ\",\"+4917011111111\",,\"26/03/14,09:26:53+04\"\r\n" +
                                    std::string(47, 'y') + "\r\n\r\nOK\r\n");

    // A SIM without room for every part stores what fits.
    m_modem.setSimCapacity(2);
    EXPECT_EQ(m_modem.addConcatenatedMessage(kSender, QString(400, u'z'), 1), QList<int>({2, -1, -1}));
}

TEST_F(ModemSimLookalikes, TextModeListsTextsRawAndPduModeAsHex)
{
    const QList<QString> table = {
        QStringLiteral("OK"),
        QStringLiteral("ERROR"),
        QStringLiteral("Card payment ERROR"),
        QStringLiteral("+CMGL: 1,\"REC UNREAD\",\"+999\",,\"x\""),
        QStringLiteral("RING"),
        QStringLiteral("+CLIP: \"+4912345\",145"),
        QStringLiteral("Your code:\r\nOK\r\n\r\n+CMTI: \"SM\",9\r\nNO CARRIER"),
    };
    useQuietTextMode();
    static const QRegularExpression pduListing(QStringLiteral("^\r\n\\+CMGL: 1,1,,\\d+\r\n([0-9A-F]+)\r\n\r\nOK\r\n$"));
    for (const QString& lookalike : table) {
        SCOPED_TRACE(lookalike.toStdString());
        ASSERT_EQ(m_modem.addMessage(QStringLiteral("REC UNREAD"), kSender, lookalike, kReceived), 1);
        // A real modem puts the text on the line as it is, so the client has to know where it ends.
        const QByteArray listing = "\r\n+CMGL: 1,\"REC UNREAD\",\"+4917011111111\",,\"26/03/14,09:26:53+04\"\r\n" +
                                   lookalike.toLatin1() + "\r\n\r\nOK\r\n";
        m_client->send("AT+CMGL=\"ALL\"\r");
        EXPECT_EQ(text(m_client->readUntil(listing)), listing.toStdString());

        ASSERT_EQ(ask("AT+CMGF=0"), "\r\nOK\r\n");
        const auto match = pduListing.match(QString::fromLatin1(m_client->ask("AT+CMGL=4")));
        ASSERT_TRUE(match.hasMatch());
        const QByteArray octets = QByteArray::fromHex(match.captured(1).toLatin1());
        const auto decoded = Pdu::decode(octets.mid(1 + octets.front()));
        ASSERT_TRUE(decoded);
        EXPECT_EQ(decoded->text, lookalike);
        ASSERT_EQ(ask("AT+CMGD=1;+CMGF=1"), "\r\nOK\r\n");
    }
}
