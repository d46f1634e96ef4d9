#include "JetDatabaseWriter.h"

#include <QSet>
#include <QtEndian>

#include <algorithm>
#include <cstring>
#include <limits>

namespace exportfile {

using namespace jet;

namespace {

// Pages whose place is fixed from the start, so that the catalogue can name them at once.
constexpr quint32 kUsageMapsPage = 1;
constexpr quint32 kCatalogDefinitionPage = 2; // Jet looks for MSysObjects' definition here
constexpr quint32 kCatalogDataPage = 3;
constexpr quint32 kTableDefinitionPage = 4;
// Access keeps relationships in a system table of their own; readers look for it.
constexpr quint32 kRelationshipsDefinitionPage = 5;
constexpr quint32 kFirstFreePage = 6;

// Rows of the usage-map page, in the order they are added; the long-value columns' maps follow.
constexpr int kCatalogOwnedRow = 1;
constexpr int kCatalogFreeRow = 2;
constexpr int kRelationshipsOwnedRow = 3;
constexpr int kRelationshipsFreeRow = 4;
constexpr int kTableOwnedRow = 5;
constexpr int kTableFreeRow = 6;

// Jet 4 files stop at 2 GB.
constexpr quint32 kMaxPages = quint32((qint64(2) << 30) / kPageSize);

constexpr quint8 kTypeInt = 0x03;
constexpr quint8 kTypeLong = 0x04;
constexpr quint8 kTypeDateTime = 0x08;
constexpr quint8 kTypeBinary = 0x09;
constexpr quint8 kTypeText = 0x0A;
constexpr quint8 kTypeOle = 0x0B;
constexpr quint8 kTypeMemo = 0x0C;

constexpr quint8 kFlagFixed = 0x01;
constexpr quint8 kFlagUpdatable = 0x02;
constexpr quint8 kFlagAutoNumber = 0x04;

constexpr quint8 kUserTable = 0x4E;
constexpr quint8 kSystemTable = 0x53;

// A memo's 12-byte field in the row: its length with the storage form in the top bits, where
// the text lies when it is not in the row, and four unused bytes.
constexpr int kMemoHeader = 12;
constexpr quint32 kMemoInRow = 0x80000000;
constexpr quint32 kMemoOnOnePage = 0x40000000;
// The length shares its top byte with the form flags, which readers take as a whole.
constexpr quint32 kMaxMemoBytes = 0x00FFFFFF;
// Short texts stay in the row, as long as the row keeps room for others on its page.
constexpr int kMaxInRowText = 1024;
constexpr int kMaxInRowTexts = 2048;
constexpr int kLongValueChunk = kMaxRowSize - 4;

constexpr quint32 kCatalogRoot = 0x0F000000;
constexpr quint32 kTablesContainer = 0x0F000001;
constexpr quint32 kDatabasesContainer = 0x0F000002;
constexpr quint32 kRelationshipsContainer = 0x0F000003;
constexpr quint16 kObjectTable = 1;
constexpr quint16 kObjectContainer = 3;
constexpr quint32 kSystemObjectFlags = 0x80000000;
constexpr quint32 kSystemTableFlags = 0x80000002;

// The widest table (every memo column named with 64 characters) keeps its definition on one
// page, and all usage maps fit page 1.
static_assert(63 + 25 * (JetDatabaseWriter::kMaxMemoColumns + 1) + 6 +
                  JetDatabaseWriter::kMaxMemoColumns * (2 + 128 + 10) + 2 <=
              kPageSize);
static_assert((kTableFreeRow + 1 + 2 * JetDatabaseWriter::kMaxMemoColumns) * (kUsageMapRowSize + 2) <=
              kPageSize - kRowPageHeader);

struct ColumnSpec
{
    QString name;
    quint8 type = 0;
    quint16 length = 0; // bytes; 0 for memo and OLE
    quint8 flags = kFlagUpdatable;
    bool text = false;
};

bool isFixed(const ColumnSpec& column)
{
    return (column.flags & kFlagFixed) != 0;
}

struct ColumnMaps
{
    quint16 column = 0;
    quint32 owned = 0;
    quint32 free = 0;
};

struct TableDefinition
{
    quint8 tableType = kUserTable;
    quint32 rows = 0;
    quint32 lastAutoNumber = 0;
    std::vector<ColumnSpec> columns;
    quint32 ownedMap = 0;
    quint32 freeMap = 0;
    std::vector<ColumnMaps> columnMaps;
};

// A table definition: a header (row count, last AutoNumber, column counts, where the usage
// maps are), 25 bytes per column, the names, each long-value column's own usage maps, FF FF.
// Jet 4 stamps 0x0659 into the header and into every column entry.
QByteArray tableDefinitionPage(const TableDefinition& table)
{
    QByteArray page(63, '\0');
    page[0] = 0x02;
    page[1] = 0x01;
    page[12] = 0x59;
    page[13] = 0x06;
    put32(page, 16, table.rows);
    put32(page, 20, table.lastAutoNumber);
    page[24] = 0x01; // lets Access go on numbering
    page[40] = char(table.tableType);
    quint16 variable = 0;
    for (const ColumnSpec& column : table.columns)
        variable += isFixed(column) ? 0 : 1;
    put16(page, 41, quint16(table.columns.size()));
    put16(page, 43, variable);
    put16(page, 45, quint16(table.columns.size()));
    put32(page, 55, table.ownedMap);
    put32(page, 59, table.freeMap);

    quint16 fixedOffset = 0;
    quint16 variableIndex = 0;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        const ColumnSpec& column = table.columns[i];
        QByteArray entry(25, '\0');
        entry[0] = char(column.type);
        entry[1] = 0x59;
        entry[2] = 0x06;
        put16(entry, 5, quint16(i));
        put16(entry, 7, isFixed(column) ? 0 : variableIndex++);
        put16(entry, 9, quint16(i));
        if (column.text)
            put16(entry, 11, 1033); // general sort order
        entry[15] = char(column.flags);
        entry[16] = column.text ? 0x01 : 0x00; // values may be in compressed unicode
        put16(entry, 21, isFixed(column) ? fixedOffset : 0);
        put16(entry, 23, column.length);
        if (isFixed(column))
            fixedOffset += column.length;
        page.append(entry);
    }
    for (const ColumnSpec& column : table.columns) {
        const QByteArray name = encodeText(column.name);
        append16(page, quint16(name.size()));
        page.append(name);
    }
    for (const ColumnMaps& maps : table.columnMaps) {
        append16(page, maps.column);
        append32(page, maps.owned);
        append32(page, maps.free);
    }
    append16(page, 0xFFFF);

    const int length = int(page.size());
    put32(page, 8, quint32(length));
    page.resize(kPageSize, '\0');
    put16(page, 2, quint16(kPageSize - length - 8));
    return page;
}

// Jet 4 row: column count, fixed columns, variable columns, the end of the variable data,
// the variable columns' offsets last to first, their count, then one bit per column that is
// set when the column is not null.
QByteArray encodeRow(int columnCount, const QByteArray& fixedArea,
                     const std::vector<std::optional<QByteArray>>& variableValues, const std::vector<bool>& present)
{
    QByteArray row;
    append16(row, quint16(columnCount));
    row.append(fixedArea);
    std::vector<quint16> offsets;
    offsets.reserve(variableValues.size());
    for (const std::optional<QByteArray>& value : variableValues) {
        offsets.push_back(quint16(row.size()));
        if (value)
            row.append(*value);
    }
    append16(row, quint16(row.size()));
    for (auto it = offsets.rbegin(); it != offsets.rend(); ++it)
        append16(row, *it);
    append16(row, quint16(variableValues.size()));
    QByteArray mask((columnCount + 7) / 8, '\0');
    for (size_t i = 0; i < present.size(); ++i) {
        if (present[i])
            mask[int(i / 8)] = char(quint8(mask[int(i / 8)]) | (1u << (i % 8)));
    }
    row.append(mask);
    return row;
}

std::vector<ColumnSpec> catalogColumns()
{
    using namespace Qt::StringLiterals;
    constexpr quint8 fixed = kFlagFixed | kFlagUpdatable;
    return {
        {u"Id"_s, kTypeLong, 4, fixed, false},
        {u"ParentId"_s, kTypeLong, 4, fixed, false},
        {u"Name"_s, kTypeText, 510, kFlagUpdatable, true},
        {u"Type"_s, kTypeInt, 2, fixed, false},
        {u"DateCreate"_s, kTypeDateTime, 8, fixed, false},
        {u"DateUpdate"_s, kTypeDateTime, 8, fixed, false},
        {u"Owner"_s, kTypeBinary, 255, kFlagUpdatable, false},
        {u"Flags"_s, kTypeLong, 4, fixed, false},
        {u"Database"_s, kTypeMemo, 0, kFlagUpdatable, true},
        {u"Connect"_s, kTypeMemo, 0, kFlagUpdatable, true},
        {u"ForeignName"_s, kTypeText, 510, kFlagUpdatable, true},
        {u"RmtInfoShort"_s, kTypeBinary, 255, kFlagUpdatable, false},
        {u"RmtInfoLong"_s, kTypeOle, 0, kFlagUpdatable, false},
        {u"Lv"_s, kTypeOle, 0, kFlagUpdatable, false},
        {u"LvProp"_s, kTypeOle, 0, kFlagUpdatable, false},
        {u"LvModule"_s, kTypeOle, 0, kFlagUpdatable, false},
        {u"LvExtra"_s, kTypeOle, 0, kFlagUpdatable, false},
    };
}

std::vector<ColumnSpec> relationshipColumns()
{
    using namespace Qt::StringLiterals;
    constexpr quint8 fixed = kFlagFixed | kFlagUpdatable;
    return {
        {u"ccolumn"_s, kTypeLong, 4, fixed, false},
        {u"grbit"_s, kTypeLong, 4, fixed, false},
        {u"icolumn"_s, kTypeLong, 4, fixed, false},
        {u"szColumn"_s, kTypeText, 510, kFlagUpdatable, true},
        {u"szObject"_s, kTypeText, 510, kFlagUpdatable, true},
        {u"szReferencedColumn"_s, kTypeText, 510, kFlagUpdatable, true},
        {u"szReferencedObject"_s, kTypeText, 510, kFlagUpdatable, true},
        {u"szRelationship"_s, kTypeText, 510, kFlagUpdatable, true},
    };
}

QByteArray catalogRow(quint32 id, quint32 parentId, const QString& name, quint16 type, quint32 flags, double created)
{
    constexpr int columnCount = 17;
    QByteArray fixedArea(30, '\0');
    put32(fixedArea, 0, id);
    put32(fixedArea, 4, parentId);
    put16(fixedArea, 8, type);
    quint64 date = 0;
    std::memcpy(&date, &created, sizeof date);
    qToLittleEndian(date, fixedArea.data() + 10);
    qToLittleEndian(date, fixedArea.data() + 18);
    put32(fixedArea, 26, flags);
    std::vector<std::optional<QByteArray>> variable(11);
    variable[0] = encodeText(name);
    std::vector<bool> present(columnCount, false);
    for (int column : {0, 1, 2, 3, 4, 5, 7})
        present[size_t(column)] = true;
    return encodeRow(columnCount, fixedArea, variable, present);
}

QByteArray memoHeader(quint32 lengthAndForm, quint32 pointer)
{
    QByteArray field;
    field.reserve(kMemoHeader);
    append32(field, lengthAndForm);
    append32(field, pointer);
    append32(field, 0);
    return field;
}

// Access's rules for object names: 1 to 64 characters, no leading blank, none of . ! ` [ ]
// and no control characters.
bool isAccessName(const QString& name)
{
    const bool forbidden = std::any_of(name.cbegin(), name.cend(), [](QChar c) {
        return c.unicode() < 0x20 || c == u'.' || c == u'!' || c == u'`' || c == u'[' || c == u']';
    });
    return !name.trimmed().isEmpty() && !name.startsWith(u' ') && name.size() <= 64 && !forbidden;
}

std::optional<QString> checkNames(const QString& tableName, const QStringList& columns)
{
    using namespace Qt::StringLiterals;
    if (columns.isEmpty() || columns.size() > JetDatabaseWriter::kMaxMemoColumns)
        return u"A table needs 1 to %1 text columns."_s.arg(JetDatabaseWriter::kMaxMemoColumns);
    QSet<QString> seen{u"id"_s};
    for (const QString& name : QStringList{tableName} + columns) {
        if (!isAccessName(name))
            return u"\"%1\" cannot name a table or column in Access: use 1 to 64 characters, no leading blank, "
                   "none of . ! ` [ ]"_s.arg(name);
    }
    for (const QString& name : columns) {
        if (seen.contains(name.toLower()))
            return u"The column name \"%1\" is used twice."_s.arg(name);
        seen.insert(name.toLower());
    }
    return std::nullopt;
}

} // namespace

JetDatabaseWriter::JetDatabaseWriter(const QString& path, const QString& tableName, const QStringList& memoColumns)
    : m_file(path), m_tableName(tableName), m_columns(memoColumns), m_nextPage(kFirstFreePage),
      m_longValues(size_t(memoColumns.size()))
{}

std::expected<std::unique_ptr<JetDatabaseWriter>, JetError>
JetDatabaseWriter::create(const QString& path, const QString& tableName, const QStringList& memoColumns)
{
    using namespace Qt::StringLiterals;
    if (const std::optional<QString> problem = checkNames(tableName, memoColumns))
        return std::unexpected(JetError{*problem});
    std::unique_ptr<JetDatabaseWriter> writer(new JetDatabaseWriter(path, tableName, memoColumns));
    if (!writer->m_file.open(QIODevice::ReadWrite | QIODevice::NewOnly | QIODevice::Unbuffered)) {
        writer->m_finished = true;
        return std::unexpected(JetError{u"Cannot create the file %1: %2"_s.arg(path, writer->m_file.errorString())});
    }
    writer->m_created = oleDate(QDateTime::currentDateTime());
    if (auto written = writer->writeSkeleton(); !written) {
        writer->m_finished = true;
        writer->m_file.remove();
        return std::unexpected(written.error());
    }
    return writer;
}

JetDatabaseWriter::~JetDatabaseWriter()
{
    (void)finish();
}

JetError JetDatabaseWriter::fail(const QString& message)
{
    if (!m_failure)
        m_failure = JetError{message};
    return *m_failure;
}

std::expected<quint32, JetError> JetDatabaseWriter::allocatePage()
{
    using namespace Qt::StringLiterals;
    if (m_nextPage >= kMaxPages)
        return std::unexpected(fail(u"The database would grow past 2 GB, the most an Access file can hold."_s));
    return m_nextPage++;
}

std::expected<void, JetError> JetDatabaseWriter::writePage(quint32 number, const QByteArray& page)
{
    using namespace Qt::StringLiterals;
    if (!m_file.seek(qint64(number) * kPageSize) || m_file.write(page) != page.size())
        return std::unexpected(fail(u"Cannot write to %1: %2"_s.arg(m_file.fileName(), m_file.errorString())));
    return {};
}

std::expected<void, JetError> JetDatabaseWriter::writeSkeleton()
{
    auto written = writePage(0, headerPage(m_created));
    if (!written)
        return written;

    TableDefinition catalog;
    catalog.tableType = kSystemTable;
    catalog.columns = catalogColumns();
    catalog.ownedMap = rowPointer(kUsageMapsPage, kCatalogOwnedRow);
    catalog.freeMap = rowPointer(kUsageMapsPage, kCatalogFreeRow);
    RowPage objects(kCatalogDefinitionPage);
    using namespace Qt::StringLiterals;
    const QByteArray rows[] = {
        catalogRow(kTablesContainer, kCatalogRoot, u"Tables"_s, kObjectContainer, kSystemObjectFlags, m_created),
        catalogRow(kDatabasesContainer, kCatalogRoot, u"Databases"_s, kObjectContainer, kSystemObjectFlags, m_created),
        catalogRow(kRelationshipsContainer, kCatalogRoot, u"Relationships"_s, kObjectContainer, kSystemObjectFlags,
                   m_created),
        catalogRow(kCatalogDefinitionPage, kTablesContainer, u"MSysObjects"_s, kObjectTable, kSystemTableFlags,
                   m_created),
        catalogRow(kRelationshipsDefinitionPage, kTablesContainer, u"MSysRelationships"_s, kObjectTable,
                   kSystemTableFlags, m_created),
        catalogRow(kTableDefinitionPage, kTablesContainer, m_tableName, kObjectTable, 0, m_created),
    };
    for (const QByteArray& row : rows)
        objects.add(row);
    catalog.rows = std::size(rows);
    if (written = writePage(kCatalogDefinitionPage, tableDefinitionPage(catalog)); !written)
        return written;
    if (written = writePage(kCatalogDataPage, objects.bytes()); !written)
        return written;

    TableDefinition relationships;
    relationships.tableType = kSystemTable;
    relationships.columns = relationshipColumns();
    relationships.ownedMap = rowPointer(kUsageMapsPage, kRelationshipsOwnedRow);
    relationships.freeMap = rowPointer(kUsageMapsPage, kRelationshipsFreeRow);
    if (written = writePage(kRelationshipsDefinitionPage, tableDefinitionPage(relationships)); !written)
        return written;
    return writeDefinitions();
}

std::expected<QByteArray, JetError> JetDatabaseWriter::usageMapRow(const PageSet& pages)
{
    if (fitsInlineUsageMap(pages))
        return inlineUsageMap(pages);
    QByteArray row(kUsageMapRowSize, '\0');
    row[0] = 0x01;
    for (int index = 0; index <= int(pages.last() / kBitmapPagePages); ++index) {
        const auto page = allocatePage();
        if (!page)
            return std::unexpected(page.error());
        if (auto written = writePage(*page, bitmapPage(pages, index)); !written)
            return std::unexpected(written.error());
        put32(row, 1 + 4 * index, *page);
    }
    return row;
}

std::expected<void, JetError> JetDatabaseWriter::writeDefinitions()
{
    using namespace Qt::StringLiterals;
    // Page 1: the global map first (a reference map without bitmap pages: no page is free for
    // reuse), then each table's and each long-value column's owned and free-space pages.
    RowPage maps(0);
    QByteArray global(kUsageMapRowSize, '\0');
    global[0] = 0x01;
    maps.add(global);
    PageSet catalogPages;
    catalogPages.add(kCatalogDataPage);
    maps.add(inlineUsageMap(catalogPages));
    maps.add(inlineUsageMap(PageSet()));
    maps.add(inlineUsageMap(PageSet()));
    maps.add(inlineUsageMap(PageSet()));
    const auto tableMap = usageMapRow(m_dataPages);
    if (!tableMap)
        return std::unexpected(tableMap.error());
    maps.add(*tableMap);
    maps.add(inlineUsageMap(PageSet()));
    Q_ASSERT(maps.rowCount() == kTableFreeRow + 1);

    TableDefinition table;
    table.rows = quint32(m_rowCount);
    table.lastAutoNumber = quint32(m_rowCount);
    table.columns.push_back({u"ID"_s, kTypeLong, 4, kFlagFixed | kFlagUpdatable | kFlagAutoNumber, false});
    for (int i = 0; i < m_columns.size(); ++i) {
        table.columns.push_back({m_columns[i], kTypeMemo, 0, kFlagUpdatable, true});
        const auto owned = usageMapRow(m_longValues[size_t(i)].pages);
        if (!owned)
            return std::unexpected(owned.error());
        const int ownedRow = maps.add(*owned);
        const int freeRow = maps.add(inlineUsageMap(PageSet()));
        table.columnMaps.push_back(
            {quint16(i + 1), rowPointer(kUsageMapsPage, ownedRow), rowPointer(kUsageMapsPage, freeRow)});
    }
    table.ownedMap = rowPointer(kUsageMapsPage, kTableOwnedRow);
    table.freeMap = rowPointer(kUsageMapsPage, kTableFreeRow);
    if (auto written = writePage(kUsageMapsPage, maps.bytes()); !written)
        return written;
    return writePage(kTableDefinitionPage, tableDefinitionPage(table));
}

std::expected<void, JetError> JetDatabaseWriter::flushDataPage()
{
    if (m_dataPageNumber == 0)
        return {};
    if (auto written = writePage(m_dataPageNumber, m_dataPage.bytes()); !written)
        return written;
    m_dataPages.add(m_dataPageNumber);
    m_dataPageNumber = 0;
    return {};
}

std::expected<void, JetError> JetDatabaseWriter::flushLongValuePage(int column)
{
    LongValueColumn& longValues = m_longValues[size_t(column)];
    if (longValues.pageNumber == 0)
        return {};
    if (auto written = writePage(longValues.pageNumber, longValues.page.bytes()); !written)
        return written;
    longValues.pages.add(longValues.pageNumber);
    longValues.pageNumber = 0;
    return {};
}

// A text that fits one page is one row on a long-value page shared with other texts; a longer
// one is a chain of rows, each on its own page and starting with the address of the next.
std::expected<quint32, JetError> JetDatabaseWriter::storeLongValue(int column, const QByteArray& bytes)
{
    LongValueColumn& longValues = m_longValues[size_t(column)];
    if (bytes.size() <= kMaxRowSize) {
        if (longValues.pageNumber == 0 || !longValues.page.fits(int(bytes.size()))) {
            if (auto flushed = flushLongValuePage(column); !flushed)
                return std::unexpected(flushed.error());
            const auto page = allocatePage();
            if (!page)
                return std::unexpected(page.error());
            longValues.page.reset(kLongValueOwner);
            longValues.pageNumber = *page;
        }
        return rowPointer(longValues.pageNumber, longValues.page.add(bytes));
    }

    if (auto flushed = flushLongValuePage(column); !flushed)
        return std::unexpected(flushed.error());
    const int chunks = int((bytes.size() + kLongValueChunk - 1) / kLongValueChunk);
    std::vector<quint32> pages;
    for (int i = 0; i < chunks; ++i) {
        const auto page = allocatePage();
        if (!page)
            return std::unexpected(page.error());
        pages.push_back(*page);
    }
    for (int i = 0; i < chunks; ++i) {
        QByteArray row;
        append32(row, i + 1 < chunks ? rowPointer(pages[size_t(i) + 1], 0) : 0);
        row.append(bytes.mid(qsizetype(i) * kLongValueChunk, kLongValueChunk));
        longValues.page.reset(kLongValueOwner);
        longValues.page.add(row);
        longValues.pageNumber = pages[size_t(i)];
        // The last page keeps its free space for the texts that follow.
        if (i + 1 < chunks) {
            if (auto flushed = flushLongValuePage(column); !flushed)
                return std::unexpected(flushed.error());
        }
    }
    return rowPointer(pages.front(), 0);
}

std::expected<QByteArray, JetError> JetDatabaseWriter::memoField(int column, const QString& value, int inRowSoFar)
{
    using namespace Qt::StringLiterals;
    const QByteArray bytes = encodeText(value);
    const quint32 length = quint32(bytes.size());
    if (bytes.size() > qsizetype(kMaxMemoBytes))
        return std::unexpected(
            JetError{u"A text of %1 characters is too long for one field of an Access file."_s.arg(value.size())});
    if (bytes.size() <= kMaxInRowText && inRowSoFar + bytes.size() <= kMaxInRowTexts)
        return memoHeader(length | kMemoInRow, 0) + bytes;
    const auto pointer = storeLongValue(column, bytes);
    if (!pointer)
        return std::unexpected(pointer.error());
    return memoHeader(bytes.size() <= kMaxRowSize ? (length | kMemoOnOnePage) : length, *pointer);
}

std::expected<qint32, JetError> JetDatabaseWriter::appendRow(const QStringList& values)
{
    using namespace Qt::StringLiterals;
    if (m_failure)
        return std::unexpected(*m_failure);
    if (m_finished)
        return std::unexpected(JetError{u"The database %1 is already complete."_s.arg(m_file.fileName())});
    if (values.size() != m_columns.size())
        return std::unexpected(JetError{u"A row needs %1 values, not %2."_s.arg(m_columns.size()).arg(values.size())});
    if (m_rowCount >= std::numeric_limits<qint32>::max())
        return std::unexpected(JetError{u"The table is full: IDs go up to 2147483647."_s});

    const qint32 id = qint32(m_rowCount + 1);
    QByteArray fixedArea;
    append32(fixedArea, quint32(id));
    std::vector<std::optional<QByteArray>> variable(size_t(m_columns.size()));
    std::vector<bool> present(size_t(m_columns.size()) + 1, true);
    int inRow = 0;
    for (int i = 0; i < values.size(); ++i) {
        if (values[i].isNull()) {
            present[size_t(i) + 1] = false;
            continue;
        }
        auto field = memoField(i, values[i], inRow);
        if (!field)
            return std::unexpected(field.error());
        if (quint32(qFromLittleEndian<quint32>(field->constData())) & kMemoInRow)
            inRow += int(field->size()) - kMemoHeader;
        variable[size_t(i)] = std::move(*field);
    }
    const QByteArray row = encodeRow(int(m_columns.size()) + 1, fixedArea, variable, present);

    if (m_dataPageNumber == 0 || !m_dataPage.fits(int(row.size()))) {
        if (auto flushed = flushDataPage(); !flushed)
            return std::unexpected(flushed.error());
        const auto page = allocatePage();
        if (!page)
            return std::unexpected(page.error());
        m_dataPage.reset(kTableDefinitionPage);
        m_dataPageNumber = *page;
    }
    m_dataPage.add(row);
    ++m_rowCount;
    return id;
}

std::expected<void, JetError> JetDatabaseWriter::finish()
{
    using namespace Qt::StringLiterals;
    if (m_finished)
        return m_failure ? std::expected<void, JetError>(std::unexpected(*m_failure)) : std::expected<void, JetError>();
    m_finished = true;
    if (m_failure)
        return std::unexpected(*m_failure);
    if (auto flushed = flushDataPage(); !flushed)
        return flushed;
    for (int i = 0; i < m_columns.size(); ++i) {
        if (auto flushed = flushLongValuePage(i); !flushed)
            return flushed;
    }
    if (auto written = writeDefinitions(); !written)
        return written;
    if (!m_file.flush())
        return std::unexpected(fail(u"Cannot write to %1: %2"_s.arg(m_file.fileName(), m_file.errorString())));
    m_file.close();
    return {};
}

} // namespace exportfile
