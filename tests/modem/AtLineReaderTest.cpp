#include "AtLineReader.h"

#include <QList>

#include <random>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

struct Framed
{
    QList<QByteArray> lines;
    bool prompt = false;
};

// Feeds the stream in the given piece sizes (cycled), taking lines as a reader would.
Framed frame(const QByteArray& stream, const std::vector<int>& pieces)
{
    modem::AtLineReader reader;
    Framed framed;
    qsizetype at = 0;
    for (size_t k = 0; at < stream.size(); ++k) {
        const int size = pieces.empty() ? int(stream.size()) : std::max(1, pieces[k % pieces.size()]);
        reader.feed(stream.mid(at, size));
        at += size;
        while (const auto line = reader.takeLine())
            framed.lines << *line;
    }
    framed.prompt = reader.takePrompt();
    return framed;
}

} // namespace

TEST(AtLineReader, SamePiecesWhateverTheChunking)
{
    struct Case
    {
        const char* name;
        QByteArray stream;
        QList<QByteArray> lines;
        bool prompt;
    };
    const Case cases[] = {
        {"plain answer", "\r\n+CGMI: Tarvo\r\n\r\nOK\r\n", {"", "+CGMI: Tarvo", "", "OK"}, false},
        {"echo then answer", "AT\r\r\nOK\r\n", {"AT", "OK"}, false},
        {"prompt waits without a line end", "AT+CMGS=\"+1\"\r\r\n> ", {"AT+CMGS=\"+1\""}, true},
        {"half a line is not a line", "\r\n+CMGS: 1", {""}, false},
        {"a text that says OK is a longer line", "\r\nOK see you at 5\r\n", {"", "OK see you at 5"}, false},
        {"a lone LF stays inside its line", "one\ntwo\r\n", {"one\ntwo"}, false},
    };
    std::mt19937 random(20261207);
    for (const Case& c : cases) {
        // Whole, byte by byte, and a few seeded random chunkings must all agree.
        std::vector<std::vector<int>> chunkings{{}, {1}, {2}, {3, 1, 7}};
        for (int n = 0; n < 5; ++n) {
            std::vector<int> sizes;
            for (int k = 0; k < 8; ++k)
                sizes.push_back(std::uniform_int_distribution<int>(1, 6)(random));
            chunkings.push_back(sizes);
        }
        for (const auto& chunking : chunkings) {
            const Framed framed = frame(c.stream, chunking);
            EXPECT_EQ(framed.lines, c.lines) << c.name;
            EXPECT_EQ(framed.prompt, c.prompt) << c.name;
        }
    }
}

TEST(AtLineReader, FinalResultsAreWholeLinesOnly)
{
    const std::pair<QString, modem::FinalResult> cases[] = {
        {u"OK"_s, modem::FinalResult::Ok},
        {u"ERROR"_s, modem::FinalResult::Error},
        {u"+CMS ERROR: 500"_s, modem::FinalResult::CmsError},
        {u"+CME ERROR: SIM busy"_s, modem::FinalResult::CmeError},
        {u"NO CARRIER"_s, modem::FinalResult::NoCarrier},
        {u"OK see you at 5"_s, modem::FinalResult::None},
        {u"Card payment ERROR"_s, modem::FinalResult::None},
        {u"ERRORS happen"_s, modem::FinalResult::None},
        {u"+CMGL: 1,0,,20"_s, modem::FinalResult::None},
        {u"ok"_s, modem::FinalResult::None},
        {QString(), modem::FinalResult::None},
    };
    for (const auto& [line, expected] : cases)
        EXPECT_EQ(modem::finalResultOf(line), expected) << line.toStdString();
}

TEST(AtLineReader, EndlessLineIsCutNotHoarded)
{
    modem::AtLineReader reader;
    reader.feed(QByteArray(200 * 1024, 'A'));
    int lines = 0;
    while (reader.takeLine())
        ++lines;
    EXPECT_EQ(lines, 3);
    EXPECT_LT(reader.partial().size(), 64 * 1024);
}

// Any bytes at all: no crash, no endless loop, and every byte ends up in a line, in the
// partial rest, or as a line end or prompt.
TEST(AtLineReaderFuzz, RandomStreamsInRandomPieces)
{
    std::mt19937 random(7);
    static constexpr char kBytes[] = "\r\n> OKERROR+CMS:0123456789ABCDEF\x1a\x1b\x00\xff";
    const QByteArray alphabet(kBytes, sizeof kBytes - 1); // the NUL inside is one of the bytes
    for (int round = 0; round < 100000; ++round) {
        const int length = std::uniform_int_distribution<int>(0, 48)(random);
        QByteArray stream;
        for (int k = 0; k < length; ++k)
            stream += alphabet.at(std::uniform_int_distribution<int>(0, int(alphabet.size()) - 1)(random));
        modem::AtLineReader reader;
        qsizetype kept = 0;
        for (qsizetype at = 0; at < stream.size();) {
            const int size = std::uniform_int_distribution<int>(1, 9)(random);
            reader.feed(stream.mid(at, size));
            at += size;
            while (const auto line = reader.takeLine()) {
                ASSERT_FALSE(line->contains("\r\n"));
                kept += line->size();
                (void)modem::finalResultOf(QString::fromLatin1(*line));
                (void)modem::isUnsolicitedLine(QString::fromLatin1(*line), round % 2 == 0);
            }
        }
        reader.takePrompt();
        ASSERT_LE(kept + reader.partial().size(), stream.size());
    }
}
