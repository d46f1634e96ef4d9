#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

// The building blocks of a Jet 4 database file: 4096-byte pages, little-endian numbers,
// text as UTF-16 little-endian, rows stored from the end of a page towards its row table.
namespace exportfile::jet {

inline constexpr int kPageSize = 4096;
// Data and long-value pages: type, 1, free space, owner, 4 unknown bytes, row count.
inline constexpr int kRowPageHeader = 14;
inline constexpr int kMaxRowsPerPage = 255;
// A row alone on an empty page.
inline constexpr int kMaxRowSize = kPageSize - kRowPageHeader - 2;
// Long-value pages carry this tag where a data page names its table definition page.
inline constexpr quint32 kLongValueOwner = 0x4C41564C; // "LVAL"
// Usage maps are rows of 69 bytes: a type byte and 68 bytes of bitmap or page pointers.
inline constexpr int kUsageMapRowSize = 69;
// A type-0 (inline) map: type, first page, then one bit per page.
inline constexpr int kInlineMapPages = (kUsageMapRowSize - 5) * 8;
// A type-1 (reference) map points at bitmap pages (type 5), each covering this many pages.
inline constexpr int kBitmapPagePages = (kPageSize - 4) * 8;
inline constexpr int kReferenceMapPointers = (kUsageMapRowSize - 1) / 4;

void put16(QByteArray& bytes, int offset, quint16 value);
void put32(QByteArray& bytes, int offset, quint32 value);
void append16(QByteArray& bytes, quint16 value);
void append32(QByteArray& bytes, quint32 value);

// A row's address: the page number in the upper three bytes, the row's index in the lowest.
inline quint32 rowPointer(quint32 page, int row)
{
    return (page << 8) | quint32(row);
}

// A data page (owner = its table definition page) or long-value page (owner = "LVAL") filled
// one row at a time.
class RowPage
{
public:
    explicit RowPage(quint32 owner = 0) { reset(owner); }
    void reset(quint32 owner);
    bool fits(int rowSize) const;
    // The row's index on the page; the caller checks fits() first.
    int add(const QByteArray& row);
    int rowCount() const { return m_rows; }
    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
    int m_rows = 0;
    int m_rowsStart = kPageSize;
};

// Page numbers in use for one purpose, one bit each.
class PageSet
{
public:
    void add(quint32 page);
    bool contains(quint32 page) const { return page < m_bits.size() && m_bits[page]; }
    bool isEmpty() const { return m_count == 0; }
    quint32 first() const { return m_first; }
    quint32 last() const { return m_last; }

private:
    std::vector<bool> m_bits;
    quint32 m_count = 0;
    quint32 m_first = 0;
    quint32 m_last = 0;
};

// A type-0 usage map row for pages that lie within kInlineMapPages of each other.
QByteArray inlineUsageMap(const PageSet& pages);
bool fitsInlineUsageMap(const PageSet& pages);
// The bitmap page (type 5) for the index-th stretch of kBitmapPagePages pages.
QByteArray bitmapPage(const PageSet& pages, int index);

// Text as Jet 4 stores it: UTF-16 little-endian. A text that starts with U+FEFF would read as
// the "compressed unicode" marker FF FE, so such a text is written in that compressed form
// itself (marker, a switch to two-byte characters, the characters), which keeps it exact.
QByteArray encodeText(const QString& text);

// Days since 30 December 1899, the fraction being the time of day, as Access keeps dates.
double oleDate(const QDateTime& when);

// Page 0: the file's signature, the Jet 4 version, and the part of the header that Jet keeps
// RC4-scrambled (no encryption key, no password, code page 1252, general sort order, the
// creation date).
QByteArray headerPage(double created);

// RC4 over the bytes in place; the same call scrambles and unscrambles.
void rc4(const QByteArray& key, char* data, int length);

} // namespace exportfile::jet
