#include "SmsPdu.h"

#include <gtest/gtest.h>

#include <optional>
#include <tuple>
#include <vector>

using namespace Qt::StringLiterals;
using modem::SmsPdu;

namespace {

// An SMS-DELIVER from +4915112345678 via +491770610000, stamped 2024-03-15 13:45:30 +01:00.
QString deliver(int dcs, const QString& userData)
{
    return u"0791947107160000040D91945111325476F800%1"_s.arg(dcs, 2, 16, QChar(u'0')) + u"42305131540340"_s + userData;
}

SmsPdu decoded(const QString& hex)
{
    const auto pdu = modem::decodeSmsPdu(hex);
    EXPECT_TRUE(pdu.has_value()) << hex.toStdString() << ": " << (pdu ? "" : pdu.error().toStdString());
    return pdu.value_or(SmsPdu{});
}

} // namespace

TEST(SmsPdu, SendersCodingsAndTexts)
{
    using C = SmsPdu::Coding;
    struct Row
    {
        QString hex;
        QString text;
        C coding = C::Gsm7;
        QString address = u"+4915112345678"_s;
        int addressType = 0x91;
        SmsPdu::Kind kind = SmsPdu::Kind::Deliver;
    };
    const QString submit = u"0009000B916407281553F8000801000000000000"_s; // enhanced validity period
    const std::vector<Row> rows = {
        {u"07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07"_s, u"How are you?"_s, C::Gsm7,
         u"+31641600986"_s},
        {u"0791947107160000040B811017214365F700004230513154030A02C834"_s, u"Hi"_s, C::Gsm7, u"01711234567"_s, 0x81},
        {u"07919471071600000412D0D4B0DCFE0609C3EE3500004230513154033209C337B90C8AC96634"_s, u"Code 1234"_s, C::Gsm7,
         u"Tarvo Bank"_s, 0xD0},
        {deliver(0, u"2A8080604028180E88C482E17840229209A562B960321A4EC7F32101B7DCAEF70BDEF3FBFE3F"_s),
         u"@£$¥èéùìòÇØøÅåΔ_ΦΓΛΩΠΨΣΘΞÆæßÉ¤¡ÄÖÑÜ§¿äöñüà"_s},
        {deliver(0, u"245079393DD7816A9B3268C30B6F7CA00D4ABC4981362FD0A607DA50401BE04601"_s),
         u"Preis: 5€ [a] {b} \\ ~ ^ |\f"_s},
        // ESC 'A' is not in the extension table: the base 'A'. ESC ESC shows a space, a last ESC nothing.
        {deliver(0, u"069BE06613DE00"_s), u"A a"_s},
        {deliver(
             0, u"A0"_s +
                    u"B0986C46ABD96EB81C2C269BD16AB61B2E078BC966B49AED86CBC162B219AD66BBE172"_s.repeated(4).chopped(2) +
                    u"B4"_s),
         u"0123456789"_s.repeated(16).chopped(1) + u"Z"_s},
        {deliver(4, u"0441E900FF"_s), QString::fromLatin1("A\xE9\0\xFF", 4), C::EightBit},
        {u"0791947107160000040B919761214365F700084230513154034016041F04400438043204350442002C0020043C04380440"_s,
         u"Привет, мир"_s, C::Ucs2, u"+79161234567"_s},
        {u"0791947107160000040D91683108108300F00008423051315403400A4F60597DFF0C4E16754C"_s, u"你好，世界"_s, C::Ucs2,
         u"+8613800138000"_s},
        {deliver(8, u"0C004800690020D83DDE000021"_s), u"Hi 😀!"_s, C::Ucs2},
        {deliver(8, u"0303A9D8"_s), u"Ω"_s, C::Ucs2},         // the odd last octet is dropped
        {deliver(8, u"04D83D0041"_s), u"\uFFFDA"_s, C::Ucs2}, // half a surrogate pair
        // Text that looks like the modem talking is still only text.
        {deliver(0, u"1FCF654351944A9FD28662356C1E993A508C0563B164B086429A741E01"_s),
         u"OK\r\nERROR\r\n+CMGL: 1,0,,20\r\nRING"_s},
        {deliver(8, u"28000D000A004F004B000D000A002B0043004D0047004C003A00200031002C0030002C002C00320030"_s),
         u"\r\nOK\r\n+CMGL: 1,0,,20"_s, C::Ucs2},
        // Coding groups: class, automatic deletion, message waiting, reserved alphabet and group.
        {deliver(0x11, u"0752FF782DAF9B01"_s), u"Rückruf"_s},
        {deliver(0x18, u"0203A9"_s), u"Ω"_s, C::Ucs2},
        {deliver(0x48, u"0203A9"_s), u"Ω"_s, C::Ucs2},
        {deliver(0x0C, u"024F4B"_s), u"OK"_s, C::EightBit},
        {deliver(0xD8, u"0752FF782DAF9B01"_s), u"Rückruf"_s},
        {deliver(0xE0, u"0203A9"_s), u"Ω"_s, C::Ucs2},
        {deliver(0xF0, u"0752FF782DAF9B01"_s), u"Rückruf"_s},
        {deliver(0xF4, u"024F4B"_s), u"OK"_s, C::EightBit},
        {deliver(0x80, u"0752FF782DAF9B01"_s), u"Rückruf"_s},
        // SUBMITs without, with relative, absolute and enhanced validity period.
        {u"0001000B916407281553F800000AE8329BFD4697D9EC37"_s, u"hellohello"_s, C::Gsm7, u"+46708251358"_s, 0x91,
         SmsPdu::Kind::Submit},
        {u"0011000B916407281553F80000AA0AE8329BFD4697D9EC37"_s, u"hellohello"_s, C::Gsm7, u"+46708251358"_s, 0x91,
         SmsPdu::Kind::Submit},
        {u"079194710716000019000781100721F30000423051315403400361F11C"_s, u"abs"_s, C::Gsm7, u"0170123"_s, 0x81,
         SmsPdu::Kind::Submit},
        {submit + u"0203A9"_s, u"Ω"_s, C::Ucs2, u"+46708251358"_s, 0x91, SmsPdu::Kind::Submit},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.hex.toStdString());
        const SmsPdu pdu = decoded(row.hex);
        EXPECT_EQ(pdu.text, row.text);
        EXPECT_EQ(pdu.coding, row.coding);
        EXPECT_EQ(pdu.address, row.address);
        EXPECT_EQ(pdu.addressType, row.addressType);
        EXPECT_EQ(pdu.isAlphanumeric(), row.addressType == 0xD0);
        EXPECT_EQ(pdu.kind, row.kind);
        EXPECT_EQ(pdu.serviceCentreTime.isValid(), row.kind == SmsPdu::Kind::Deliver);
        EXPECT_FALSE(pdu.concat.has_value());
    }
    EXPECT_EQ(decoded(rows[0].hex).serviceCentre, u"+31624000000"_s);
    EXPECT_TRUE(decoded(rows.back().hex).serviceCentre.isEmpty());
}

TEST(SmsPdu, TimeStampZones)
{
    // Zone octet -> seconds east of UTC. The published example's 08 is the sign bit and no quarters:
    // UTC, not the +2 h it is often read as.
    const std::vector<std::pair<QString, int>> rows = {
        {u"40"_s, 3600}, {u"0A"_s, -5 * 3600}, {u"32"_s, 5 * 3600 + 45 * 60}, {u"49"_s, -12600}, {u"08"_s, 0}};
    for (const auto& [zone, offset] : rows) {
        const SmsPdu pdu = decoded(u"0791947107160000040891515521430000423051315403"_s + zone + u"0178"_s);
        EXPECT_EQ(pdu.serviceCentreTime.offsetFromUtc(), offset) << zone.toStdString();
        EXPECT_EQ(pdu.serviceCentreTime, QDateTime(QDate(2024, 3, 15), QTime(13, 45, 30), Qt::OffsetFromUTC, offset));
    }
    // A stamp that is no date (month 13, a minute digit A) costs the time, not the message.
    for (const QString& stamp : {u"42315131540340"_s, u"42305131A00340"_s}) {
        const SmsPdu pdu = decoded(u"0791947107160000040891515521430000"_s + stamp + u"0178"_s);
        EXPECT_FALSE(pdu.serviceCentreTime.isValid()) << stamp.toStdString();
        EXPECT_EQ(pdu.text, u"x"_s);
    }
}

TEST(SmsPdu, ConcatenationHeaders)
{
    const QString udhi = u"0791947107160000440D91945111325476F800"_s;
    const QString gsm8 = udhi + u"004230513154034010050003CC0201A8E5341B544EBBE7"_s;
    const QString ucs8 = udhi + u"0842305131540340100500030702010427043004410442044C"_s;
    const QString ucs16 = udhi + u"084230513154034009060804ABCD03024E8C"_s;
    const std::vector<std::tuple<QString, std::optional<modem::SmsConcat>, QString>> rows = {
        {gsm8, modem::SmsConcat{0xCC, 2, 1, false}, u"Teil eins"_s}, // one fill bit
        {udhi + u"00423051315403401106080412340303D4729A0D22CBCB69"_s, modem::SmsConcat{0x1234, 3, 3, true},
         u"Teil drei"_s}, // no fill bits
        {ucs8, modem::SmsConcat{7, 2, 1, false}, u"Часть"_s},
        {ucs16, modem::SmsConcat{0xABCD, 3, 2, true}, u"二"_s},
        // Elements with impossible numbers or lengths are ignored; the text stays.
        {QString(gsm8).replace(u"CC0201"_s, u"CC0001"_s), std::nullopt, u"Teil eins"_s},
        {QString(gsm8).replace(u"CC0201"_s, u"CC0200"_s), std::nullopt, u"Teil eins"_s},
        {QString(gsm8).replace(u"CC0201"_s, u"CC0203"_s), std::nullopt, u"Teil eins"_s},
        {QString(ucs8).replace(u"0003070201"_s, u"0002070201"_s), std::nullopt, u"Часть"_s},
        {QString(ucs16).replace(u"09060804"_s, u"09050804"_s), std::nullopt, u"\u024E"_s}, // runs past the header
    };
    const auto fields = [](const std::optional<modem::SmsConcat>& c) {
        return c ? std::optional(std::tuple(c->reference, c->total, c->sequence, c->sixteenBitReference))
                 : std::nullopt;
    };
    for (const auto& [hex, concat, text] : rows) {
        const SmsPdu pdu = decoded(hex);
        EXPECT_EQ(pdu.text, text) << hex.toStdString();
        EXPECT_EQ(fields(pdu.concat), fields(concat)) << hex.toStdString();
    }
}

TEST(SmsPdu, RefusesMalformed)
{
    const QString good = deliver(0, u"0AC8309BFD065DCB6C3A"_s); // "Hallo Welt"
    const std::vector<std::pair<QString, QString>> rows = {
        {QString(), u"empty PDU"_s},
        {good.chopped(1), u"odd number of hex digits"_s},
        {QString(good).replace(4, 1, u'G'), u"not hex"_s},
        {good.left(2 * 20), u"truncated PDU"_s},
        {good.left(2 * 5), u"truncated service-centre address"_s},
        {QString(good).replace(u"0AC830"_s, u"0BC830"_s), u"truncated user data"_s},
        {deliver(0, u"A1"_s + u"30180C0683C160"_s.repeated(20) + u"30"_s), u"user data length over 160 septets"_s},
        {deliver(4, u"8D"_s + u"00"_s.repeated(141)), u"user data length over 140 octets"_s},
        {deliver(0x20, u"0AC8309BFD065DCB6C3A"_s), u"compressed text"_s},
        {QString(good).replace(16, 2, u"06"_s), u"not an SMS-DELIVER or SMS-SUBMIT (message type 2)"_s},
        {QString(good).replace(16, 2, u"07"_s), u"not an SMS-DELIVER or SMS-SUBMIT (message type 3)"_s},
        {QString(good).replace(18, 2, u"15"_s), u"address too long"_s},
        {u"0C"_s + good.mid(2), u"service-centre address too long"_s},
        // A header length octet past the user data length, in septets and in octets.
        {QString(good).replace(16, 2, u"44"_s).replace(u"0AC830"_s, u"0A0930"_s),
         u"user data header longer than the user data"_s},
        {u"0791947107160000440D91945111325476F800084230513154034003050003CC0201"_s,
         u"user data header longer than the user data"_s},
    };
    for (const auto& [hex, reason] : rows) {
        const auto pdu = modem::decodeSmsPdu(hex);
        ASSERT_FALSE(pdu.has_value()) << hex.toStdString();
        EXPECT_EQ(pdu.error(), reason) << hex.toStdString();
    }
    EXPECT_TRUE(modem::decodeSmsPdu(u"  "_s + good.toLower() + u"\r"_s).has_value());
}

TEST(PduListing, EntriesAndFramingErrors)
{
    const QString a = u"0791947107160000040B811017214365F700004230513154030A02C834"_s; // 21 octets after the SMSC
    const QString b = u"0001000B916407281553F800000AE8329BFD4697D9EC37"_s;             // 22, no SMSC
    const auto header = [](const char* fields) { return u"+CMGL: "_s + QLatin1StringView(fields); };
    // {lines, {index, stat} of each entry, framing errors}
    const std::vector<std::tuple<QStringList, std::vector<std::pair<int, int>>, int>> rows = {
        {{header("1,0,,21"), a, header("7,3,\"Tom, office\",22"), b}, {{1, 0}, {7, 3}}, 0},
        {{header("12,1,,21"), a, header("137,0,\"Tom\",22"), b, u"+CMGL:255,3,,21"_s, a},
         {{12, 1}, {137, 0}, {255, 3}},
         0},
        {{header("1,1,,21"), u"Hello there"_s, header("2,1,,22"), b}, {{2, 1}}, 1},
        {{a, header("2,2,,22"), b}, {{2, 2}}, 1},
        {{header("1,0,,22"), a, header("3,0,,21"), a}, {{3, 0}}, 1}, // length mismatch
        {{header("1,0,21"), a, header("4,1,,21"), a}, {{4, 1}}, 1},  // a field missing
        {{header("x,0,,21"), a, header("1,4,,21"), a, header("1,0,,-2"), a, header("1,0,a,b,21"), a, header("5,1,,21"),
          a},
         {{5, 1}},
         4},
        {{header("1,0,,21"), a, a, header("2,0,,21"), header("3,0,,21"), a}, {{1, 0}, {3, 0}}, 2},
        {{header("1,0,,21"), a, header("2,0,,21")}, {{1, 0}}, 1},
        {{header("1,0,,21"), a.chopped(1)}, {}, 1},
    };
    for (const auto& [lines, entries, errors] : rows) {
        const modem::PduListing listing = modem::parsePduListing(lines);
        const std::string trace = (lines + QStringList{u"->"_s} + listing.framingErrors).join(u'\n').toStdString();
        ASSERT_EQ(listing.entries.size(), entries.size()) << trace;
        for (std::size_t i = 0; i < entries.size(); ++i) {
            EXPECT_EQ(std::pair(listing.entries[i].index, listing.entries[i].status), entries[i]) << trace;
            EXPECT_TRUE(modem::decodeSmsPdu(listing.entries[i].pdu).has_value());
        }
        EXPECT_EQ(listing.framingErrors.size(), errors) << trace;
    }
    EXPECT_EQ(modem::simStatusName(0), u"REC UNREAD"_s);
    EXPECT_EQ(modem::simStatusName(3), u"STO SENT"_s);
    EXPECT_EQ(modem::simStatusName(4), QString());
}
