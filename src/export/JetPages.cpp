#include "JetPages.h"

#include <QtEndian>

#include <array>
#include <cstring>
#include <utility>

namespace exportfile::jet {

void put16(QByteArray& bytes, int offset, quint16 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void put32(QByteArray& bytes, int offset, quint32 value)
{
    qToLittleEndian(value, bytes.data() + offset);
}

void append16(QByteArray& bytes, quint16 value)
{
    char raw[2];
    qToLittleEndian(value, raw);
    bytes.append(raw, 2);
}

void append32(QByteArray& bytes, quint32 value)
{
    char raw[4];
    qToLittleEndian(value, raw);
    bytes.append(raw, 4);
}

void RowPage::reset(quint32 owner)
{
    m_bytes = QByteArray(kPageSize, '\0');
    m_bytes[0] = 0x01;
    m_bytes[1] = 0x01;
    put16(m_bytes, 2, kPageSize - kRowPageHeader);
    put32(m_bytes, 4, owner);
    m_rows = 0;
    m_rowsStart = kPageSize;
}

bool RowPage::fits(int rowSize) const
{
    const int tableEnd = kRowPageHeader + 2 * (m_rows + 1);
    return m_rows < kMaxRowsPerPage && m_rowsStart - rowSize >= tableEnd;
}

int RowPage::add(const QByteArray& row)
{
    m_rowsStart -= int(row.size());
    std::memcpy(m_bytes.data() + m_rowsStart, row.constData(), size_t(row.size()));
    put16(m_bytes, kRowPageHeader + 2 * m_rows, quint16(m_rowsStart));
    ++m_rows;
    put16(m_bytes, 12, quint16(m_rows));
    put16(m_bytes, 2, quint16(m_rowsStart - kRowPageHeader - 2 * m_rows));
    return m_rows - 1;
}

void PageSet::add(quint32 page)
{
    if (page >= m_bits.size())
        m_bits.resize(size_t(page) + 1 + m_bits.size() / 2);
    if (m_bits[page])
        return;
    m_bits[page] = true;
    if (m_count == 0 || page < m_first)
        m_first = page;
    if (m_count == 0 || page > m_last)
        m_last = page;
    ++m_count;
}

bool fitsInlineUsageMap(const PageSet& pages)
{
    return pages.isEmpty() || pages.last() - pages.first() < quint32(kInlineMapPages);
}

QByteArray inlineUsageMap(const PageSet& pages)
{
    QByteArray row(kUsageMapRowSize, '\0');
    row[0] = 0x00;
    if (pages.isEmpty())
        return row;
    const quint32 start = pages.first();
    put32(row, 1, start);
    for (quint32 page = start; page <= pages.last(); ++page) {
        if (pages.contains(page)) {
            const quint32 bit = page - start;
            row[int(5 + bit / 8)] = char(quint8(row[int(5 + bit / 8)]) | (1u << (bit % 8)));
        }
    }
    return row;
}

QByteArray bitmapPage(const PageSet& pages, int index)
{
    QByteArray page(kPageSize, '\0');
    page[0] = 0x05;
    page[1] = 0x01;
    const quint32 start = quint32(index) * kBitmapPagePages;
    for (quint32 bit = 0; bit < quint32(kBitmapPagePages); ++bit) {
        if (pages.contains(start + bit))
            page[int(4 + bit / 8)] = char(quint8(page[int(4 + bit / 8)]) | (1u << (bit % 8)));
    }
    return page;
}

QByteArray encodeText(const QString& text)
{
    QByteArray bytes;
    bool compressedForm = text.startsWith(QChar(0xFEFF));
    // In the compressed form a zero low byte switches modes, so such characters cannot follow.
    for (const QChar c : text) {
        if ((c.unicode() & 0xFF) == 0)
            compressedForm = false;
    }
    bytes.reserve(text.size() * 2 + (compressedForm ? 3 : 0));
    if (compressedForm)
        bytes.append("\xFF\xFE\x00", 3);
    for (const QChar c : text)
        append16(bytes, c.unicode());
    return bytes;
}

double oleDate(const QDateTime& when)
{
    const qint64 days = QDate(1899, 12, 30).daysTo(when.date());
    return double(days) + double(when.time().msecsSinceStartOfDay()) / 86400000.0;
}

void rc4(const QByteArray& key, char* data, int length)
{
    std::array<quint8, 256> state{};
    for (int i = 0; i < 256; ++i)
        state[size_t(i)] = quint8(i);
    quint8 j = 0;
    for (int i = 0; i < 256; ++i) {
        j = quint8(j + state[size_t(i)] + quint8(key[i % key.size()]));
        std::swap(state[size_t(i)], state[j]);
    }
    quint8 x = 0;
    quint8 y = 0;
    for (int n = 0; n < length; ++n) {
        x = quint8(x + 1);
        y = quint8(y + state[x]);
        std::swap(state[x], state[y]);
        data[n] = char(quint8(data[n]) ^ state[quint8(state[x] + state[y])]);
    }
}

QByteArray headerPage(double created)
{
    QByteArray page(kPageSize, '\0');
    put32(page, 0x00, 0x00000100);
    std::memcpy(page.data() + 0x04, "Standard Jet DB", 16);
    put32(page, 0x14, 1); // Jet 4
    put16(page, 0x3C, 1252);
    put32(page, 0x3E, 0); // no encryption key: the other pages are plain
    // The password is kept masked with the creation date's whole days; an empty password
    // therefore reads back as the mask itself.
    const quint32 mask = quint32(qint32(created));
    for (int offset = 0x42; offset < 0x42 + 40; offset += 4)
        put32(page, offset, mask);
    put16(page, 0x6E, 1033); // general sort order, version 0
    quint64 dateBits = 0;
    std::memcpy(&dateBits, &created, sizeof dateBits);
    qToLittleEndian(dateBits, page.data() + 0x72);
    const char key[] = {char(0xC7), char(0xDA), char(0x39), char(0x6B)}; // 0x6B39DAC7
    rc4(QByteArray(key, 4), page.data() + 0x18, 128);
    return page;
}

} // namespace exportfile::jet
