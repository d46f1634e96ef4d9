#pragma once

#include "ReceivedSmsExport.h"

#include <QDate>
#include <QDialog>
#include <QPointer>
#include <QStringList>

#include <atomic>
#include <memory>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QThread;

namespace ui {

class Dialogs;

// What the received-SMS report hands to the export: the store and the range of days.
struct ExportSource
{
    QString storePath;
    QDate from;
    QDate to;
};

// The export wizard's second step ("Export SMS", Frm_ExportSMS_Step3): the format, the file,
// and the export itself, which runs on a thread of its own while this window shows how far it
// got and stays live for "&Cancel".
class ExportFileDialog final : public QDialog
{
    Q_OBJECT

public:
    // What "<<Back" ends the step with; the end of an export accepts it, "&Cancel" rejects it.
    static constexpr int Back = 2;

    ExportFileDialog(const ExportSource& source, Dialogs& dialogs, QWidget* parent = nullptr);
    ~ExportFileDialog() override;

    // The fields of the step before, in their fixed order.
    void setFields(const QStringList& fields) { m_fields = fields; }

    QString delimiter() const { return m_delimiter; }
    QString qualifier() const;
    bool isExporting() const { return m_exporting; }

    // "&Cancel", Esc and the close box: a running export stops at its next row first.
    void reject() override;

private:
    exportfile::ExportFormat format() const;
    QString extension() const;
    void formatChosen(bool csv);
    void setDelimiter(const QString& delimiter) { m_delimiter = delimiter; }
    void otherChanged(const QString& text);
    void browse();
    bool prepareFile(const QString& path);
    void releaseFile();
    void startExport();
    void setRunning(bool running);
    void showProgress(qint64 rows, qint64 total);
    void exportEnded(qint64 rows, qint64 total, bool cancelled, const QString& error, qint64 cutCells);

    ExportSource m_source;
    Dialogs& m_dialogs;
    QStringList m_fields;
    QString m_delimiter = QStringLiteral(",");
    QString m_path;
    // The Access file "Browse" made, and the fields its table was made for.
    std::unique_ptr<exportfile::JetDatabaseWriter> m_database;
    QStringList m_databaseFields;
    bool m_exporting = false;
    bool m_cancelled = false;
    std::shared_ptr<std::atomic_bool> m_cancel;
    QPointer<QThread> m_thread;

    QGroupBox* m_formats;
    QRadioButton* m_csv;
    QRadioButton* m_excel;
    QRadioButton* m_access;
    QGroupBox* m_fileFrame;
    QPushButton* m_browse;
    QLabel* m_chosen;
    QCheckBox* m_includeNames;
    QGroupBox* m_delimiters;
    QRadioButton* m_other;
    QLineEdit* m_otherText;
    QLabel* m_qualifierLabel;
    QComboBox* m_qualifier;
    QProgressBar* m_bar;
    QLabel* m_percent;
    QLabel* m_update;
    QPushButton* m_back;
    QPushButton* m_cancelButton;
    QPushButton* m_export;
};

} // namespace ui
