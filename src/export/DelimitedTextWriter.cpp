#include "DelimitedTextWriter.h"

#include "TextRules.h"

using namespace Qt::StringLiterals;

namespace exportfile {

namespace {

ExportError fileError(const QFile& file)
{
    return {u"%1: %2"_s.arg(file.fileName(), file.errorString())};
}

} // namespace

QString ReplaceTextQualifier(const QString& TextQ, const QString& StringToReplace)
{
    if (store::trimBlanks(StringToReplace).isEmpty())
        return u""_s;
    if (store::trimBlanks(TextQ).isEmpty())
        return StringToReplace;
    QString doubled = StringToReplace;
    return doubled.replace(TextQ, TextQ + TextQ);
}

QString delimitedLine(const QStringList& values, const DelimitedTextOptions& options)
{
    QString line;
    for (qsizetype i = 0; i < values.size(); ++i) {
        if (i > 0)
            line += options.delimiter;
        const QString& value = values.at(i);
        line += options.qualifier;
        line += ReplaceTextQualifier(options.qualifier, value.isEmpty() ? u" "_s : value);
        line += options.qualifier;
    }
    return line;
}

std::expected<void, ExportError> DelimitedTextWriter::createEmpty(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::NewOnly))
        return std::unexpected(fileError(file));
    return {};
}

DelimitedTextWriter::DelimitedTextWriter(const QString& path, const DelimitedTextOptions& options)
    : m_file(path), m_options(options)
{}

std::expected<std::unique_ptr<DelimitedTextWriter>, ExportError>
DelimitedTextWriter::open(const QString& path, const QStringList& fieldNames, const DelimitedTextOptions& options)
{
    std::unique_ptr<DelimitedTextWriter> writer(new DelimitedTextWriter(path, options));
    if (!writer->m_file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return std::unexpected(fileError(writer->m_file));
    if (writer->m_file.write("\xEF\xBB\xBF", 3) != 3)
        return std::unexpected(fileError(writer->m_file));
    // The names line is never qualified.
    if (options.includeFieldNames) {
        if (auto written = writer->write(fieldNames.join(options.delimiter)); !written)
            return std::unexpected(written.error());
    }
    return writer;
}

std::expected<void, ExportError> DelimitedTextWriter::appendRow(const QStringList& values)
{
    return write(delimitedLine(values, m_options));
}

std::expected<void, ExportError> DelimitedTextWriter::write(const QString& line)
{
    const QByteArray bytes = (line + u"\r\n"_s).toUtf8();
    if (m_file.write(bytes) != bytes.size())
        return std::unexpected(fileError(m_file));
    return {};
}

std::expected<void, ExportError> DelimitedTextWriter::finish()
{
    if (!m_file.isOpen())
        return {};
    const bool flushed = m_file.flush();
    const ExportError error = fileError(m_file);
    m_file.close();
    if (!flushed)
        return std::unexpected(error);
    return {};
}

} // namespace exportfile
