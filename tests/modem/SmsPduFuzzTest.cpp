#include "SmsPdu.h"

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;

namespace {

// Valid PDUs to mutate, so that length fields, headers and codings start from good values.
const char* const kSeeds[] = {
    "07911326040000F0040B911346610089F60000208062917314080CC8F71D14969741F977FD07",
    "0011000B916407281553F80000AA0AE8329BFD4697D9EC37",
    "07919471071600000412D0D4B0DCFE0609C3EE3500004230513154033209C337B90C8AC96634",
    "0791947107160000440D91945111325476F800004230513154034010050003CC0201A8E5341B544EBBE7",
    "0791947107160000440D91945111325476F80000423051315403401106080412340303D4729A0D22CBCB69",
    "0791947107160000440B919761214365F700084230513154034009060804ABCD03024E8C",
    "0791947107160000040D91945111325476F80008423051315403400C004800690020D83DDE000021",
    "0791947107160000040D91945111325476F8000042305131540340069BE06613DE00",
    "0009000B916407281553F80008010000000000000203A9",
};

std::mt19937 generator{20240315};

int pick(int low, int high)
{
    return std::uniform_int_distribution<int>(low, high)(generator);
}

QString randomHex()
{
    QString hex(pick(0, 360), Qt::Uninitialized);
    for (QChar& c : hex)
        c = QChar(u"0123456789ABCDEFabcdef"[pick(0, 21)]);
    if (!hex.isEmpty() && pick(0, 20) == 0)
        hex[pick(0, int(hex.size()) - 1)] = QChar(char16_t(pick(0, 0x7F)));
    return hex;
}

QString mutatedSeed()
{
    QByteArray octets = QByteArray::fromHex(kSeeds[pick(0, int(std::size(kSeeds)) - 1)]);
    for (int n = pick(1, 4); n > 0; --n) {
        const int at = pick(0, int(octets.size()) - 1);
        switch (pick(0, 4)) {
        case 0:
            octets[at] = char(octets[at] ^ (1 << pick(0, 7)));
            break;
        case 1:
            octets.truncate(pick(1, int(octets.size())));
            break;
        case 2:
            octets.insert(at, char(pick(0, 255)));
            break;
        case 3:
            octets.remove(at, octets.size() > 1 ? 1 : 0);
            break;
        default: // a whole new length or header octet, where decoders go wrong
            octets[at] = char(pick(0, 255));
        }
    }
    return QString::fromLatin1(octets.toHex()).chopped(pick(0, 10) == 0 ? 1 : 0);
}

// What a caller relies on from whatever a modem sends.
bool soundDecode(QStringView hex, int& decoded)
{
    const auto pdu = modem::decodeSmsPdu(hex);
    if (!pdu)
        return !pdu.error().isEmpty();
    ++decoded;
    const auto& c = pdu->concat;
    return pdu->text.size() <= 160 && pdu->address.size() <= 21 &&
           (!c || (c->total >= 1 && c->sequence >= 1 && c->sequence <= c->total));
}

} // namespace

TEST(SmsPduFuzz, EveryInputDecodesOrIsRefused)
{
    constexpr int kInputs = 100000;
    int decoded = 0;
    for (int i = 0; i < kInputs; ++i) {
        if (i % 10 != 9) {
            const QString hex = i % 3 == 0 ? randomHex() : mutatedSeed();
            ASSERT_TRUE(soundDecode(hex, decoded)) << hex.toStdString();
            continue;
        }
        QStringList lines;
        for (int n = pick(0, 8); n > 0; --n) {
            const int kind = pick(0, 3);
            lines << (kind == 0   ? u"+CMGL: %1,%2,,%3"_s.arg(pick(-1, 9)).arg(pick(-1, 5)).arg(pick(-1, 60))
                      : kind == 1 ? mutatedSeed()
                      : kind == 2 ? randomHex()
                                  : u"+CMGL: 1,0,\"a,b\",20\r\nOK ERROR RING"_s.left(pick(0, 34)));
        }
        const modem::PduListing listing = modem::parsePduListing(lines);
        ASSERT_LE(qsizetype(listing.entries.size()) + listing.framingErrors.size(), lines.size());
        for (const modem::PduListingEntry& entry : listing.entries)
            ASSERT_TRUE(entry.index >= 0 && entry.status <= 3 && soundDecode(entry.pdu, decoded));
    }
    // Most mutations leave a PDU well formed; a decoder refusing nearly everything would be broken too.
    EXPECT_GT(decoded, kInputs / 10);
}
