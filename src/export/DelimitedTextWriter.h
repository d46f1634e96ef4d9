#pragma once

#include "ExportError.h"

#include <QFile>
#include <QStringList>

#include <expected>
#include <memory>

namespace exportfile {

// A field's text between its qualifiers: "" for a blank-only value, otherwise the value with
// each qualifier doubled (unchanged when there is no qualifier).
QString ReplaceTextQualifier(const QString& TextQ, const QString& StringToReplace);

struct DelimitedTextOptions
{
    bool includeFieldNames = true;
    QString delimiter = QStringLiteral(",");
    QString qualifier = QStringLiteral("\""); // empty: none
};

// One line of values, qualified, without its CR LF. A null or empty value is an empty field.
QString delimitedLine(const QStringList& values, const DelimitedTextOptions& options);

// Delimited text in UTF-8 with a byte-order mark, so that every character of every message
// survives and spreadsheet programs recognise the encoding; lines end with CR LF.
class DelimitedTextWriter final
{
public:
    // The empty file the export will write into; never replaces an existing one.
    static std::expected<void, ExportError> createEmpty(const QString& path);

    // Starts the file at path afresh: the mark, then the field names' line when asked for.
    static std::expected<std::unique_ptr<DelimitedTextWriter>, ExportError>
    open(const QString& path, const QStringList& fieldNames, const DelimitedTextOptions& options);

    std::expected<void, ExportError> appendRow(const QStringList& values);
    // Writes out what is still buffered; the file is complete after it.
    std::expected<void, ExportError> finish();

private:
    explicit DelimitedTextWriter(const QString& path, const DelimitedTextOptions& options);
    std::expected<void, ExportError> write(const QString& line);

    QFile m_file;
    DelimitedTextOptions m_options;
};

} // namespace exportfile
