#include "ExportFileDialog.h"

#include "Dialogs.h"
#include "ExportWorker.h"
#include "ScreenParts.h"
#include "TextRules.h"
#include "WorkbookWriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

namespace {

// How long a cancelled export may take to close its file before the window closes regardless;
// the export then ends on its own thread.
constexpr int kCancelGraceMs = 30000;

QString startFolder()
{
    // The program's folder when it is a portable copy; an installed program's folder is not the
    // operator's to write in.
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (QFileInfo(programFolder).isWritable())
        return programFolder;
    return QDir::homePath();
}

std::vector<exportfile::WorkbookColumn> workbookColumns(const QStringList& fields)
{
    std::vector<exportfile::WorkbookColumn> columns;
    for (const QString& field : fields)
        columns.push_back({field, field == u"InboxDateTime"_s ? exportfile::WorkbookColumn::Kind::DateTime
                                                              : exportfile::WorkbookColumn::Kind::Text});
    return columns;
}

} // namespace

ExportFileDialog::ExportFileDialog(const ExportSource& source, Dialogs& dialogs, QWidget* parent)
    : QDialog(parent), m_source(source), m_dialogs(dialogs)
{
    setObjectName(u"Frm_ExportSMS_Step3"_s);
    setWindowTitle(u"Export SMS"_s);

    m_formats = named(new QGroupBox(u"Select file format to be exported"_s, this), u"Frame1"_s);
    m_csv = named(new QRadioButton(u"CSV"_s, m_formats), u"optCsv"_s);
    m_excel = named(new QRadioButton(u"MS Excel"_s, m_formats), u"optExcel"_s);
    m_access = named(new QRadioButton(u" MS Access Database"_s, m_formats), u"optAccess"_s);
    m_access->setChecked(true);
    auto* formats = new QHBoxLayout(m_formats);
    formats->addWidget(m_csv);
    formats->addWidget(m_excel);
    formats->addWidget(m_access);

    m_fileFrame = named(new QGroupBox(u"Enter File Name :"_s, this), u"Frame2"_s);
    m_browse = named(new QPushButton(u"Browse"_s, m_fileFrame), u"cmdBrowse"_s);
    m_chosen = named(new QLabel(m_fileFrame), u"lblSelectedfileName"_s);
    m_chosen->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* fileRow = new QHBoxLayout(m_fileFrame);
    fileRow->addWidget(m_browse);
    fileRow->addWidget(m_chosen, 1);

    m_includeNames = named(new QCheckBox(u"Include Field Names on First Row "_s, this), u"chkIncludeFlds"_s);
    m_includeNames->setChecked(true);

    m_delimiters = named(new QGroupBox(u"Choose delimiter that seperates your fields"_s, this), u"Frame3"_s);
    auto* comma = named(new QRadioButton(u"Comma"_s, m_delimiters), u"optComma"_s);
    auto* semicolon = named(new QRadioButton(u"Semicolon"_s, m_delimiters), u"optSemicolon"_s);
    auto* space = named(new QRadioButton(u"Space"_s, m_delimiters), u"optSpace"_s);
    auto* tab = named(new QRadioButton(u"Tab"_s, m_delimiters), u"optTab"_s);
    m_other = named(new QRadioButton(u"Other :"_s, m_delimiters), u"optOther"_s);
    m_otherText = named(new QLineEdit(m_delimiters), u"txtOther"_s);
    comma->setChecked(true);
    auto* delimiters = new QGridLayout(m_delimiters);
    delimiters->addWidget(comma, 0, 0);
    delimiters->addWidget(semicolon, 0, 1);
    delimiters->addWidget(space, 0, 2);
    delimiters->addWidget(tab, 1, 0);
    delimiters->addWidget(m_other, 1, 1);
    delimiters->addWidget(m_otherText, 1, 2);

    m_qualifierLabel = new QLabel(u"Text Qualifier :"_s, this);
    m_qualifier = named(new QComboBox(this), u"cmbQulifier"_s);
    m_qualifier->setEditable(true);
    m_qualifier->addItems({u"\""_s, u"'"_s, u"{none}"_s});
    m_qualifier->setCurrentIndex(0);
    auto* qualifierRow = new QHBoxLayout;
    qualifierRow->addWidget(m_qualifierLabel);
    qualifierRow->addWidget(m_qualifier);
    qualifierRow->addStretch();

    m_bar = named(new QProgressBar(this), u"ProgExport"_s);
    m_bar->setRange(0, 100);
    m_bar->setValue(0);
    m_bar->setTextVisible(false);
    m_percent = named(new QLabel(this), u"lblProgress"_s);
    m_update = named(new QLabel(this), u"lblUpdate"_s);
    auto* progressRow = new QHBoxLayout;
    progressRow->addWidget(m_bar, 1);
    progressRow->addWidget(m_percent);

    m_back = named(new QPushButton(u"<<Back"_s, this), u"cmdBack"_s);
    m_cancelButton = named(new QPushButton(u"&Cancel"_s, this), u"cmdCancel"_s);
    m_export = named(new QPushButton(u"&Export"_s, this), u"cmdNext"_s);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_formats);
    layout->addWidget(m_fileFrame);
    layout->addWidget(m_includeNames);
    layout->addWidget(m_delimiters);
    layout->addLayout(qualifierRow);
    layout->addLayout(progressRow);
    layout->addWidget(m_update);
    layout->addLayout(buttonRow({m_back, m_cancelButton, m_export}));
    resize(520, 420);

    connect(m_csv, &QRadioButton::toggled, this, [this](bool on) {
        if (on)
            formatChosen(true);
    });
    for (QRadioButton* option : {m_excel, m_access})
        connect(option, &QRadioButton::toggled, this, [this](bool on) {
            if (on)
                formatChosen(false);
        });
    const std::pair<QRadioButton*, QString> fixed[] = {
        {comma, u","_s}, {semicolon, u";"_s}, {space, u" "_s}, {tab, u"\t"_s}};
    for (const auto& [option, delimiter] : fixed)
        connect(option, &QRadioButton::toggled, this, [this, delimiter](bool on) {
            if (on)
                setDelimiter(delimiter);
        });
    connect(m_other, &QRadioButton::toggled, this, [this](bool on) {
        if (!on)
            return;
        m_otherText->setFocus();
        otherChanged(m_otherText->text());
    });
    connect(m_otherText, &QLineEdit::textEdited, this, &ExportFileDialog::otherChanged);
    connect(m_browse, &QPushButton::clicked, this, &ExportFileDialog::browse);
    connect(m_back, &QPushButton::clicked, this, [this] { done(Back); });
    connect(m_cancelButton, &QPushButton::clicked, this, &ExportFileDialog::reject);
    connect(m_export, &QPushButton::clicked, this, &ExportFileDialog::startExport);

    formatChosen(false);
}

ExportFileDialog::~ExportFileDialog()
{
    if (!m_thread)
        return;
    if (m_thread->isRunning()) {
        m_cancel->store(true);
        // Bounded: the export stops at its next row; past the bound it ends on its own thread.
        m_thread->wait(QDeadlineTimer(kCancelGraceMs));
    }
    // Its deleteLater() may find no event loop any more (the program is ending).
    if (m_thread->isFinished())
        delete m_thread.data();
}

QString ExportFileDialog::qualifier() const
{
    const QString text = m_qualifier->currentText();
    return text == u"\""_s || text == u"'"_s ? text : QString();
}

exportfile::ExportFormat ExportFileDialog::format() const
{
    if (m_csv->isChecked())
        return exportfile::ExportFormat::DelimitedText;
    if (m_excel->isChecked())
        return exportfile::ExportFormat::Excel;
    return exportfile::ExportFormat::Access;
}

QString ExportFileDialog::extension() const
{
    switch (format()) {
    case exportfile::ExportFormat::DelimitedText:
        return u".csv"_s;
    case exportfile::ExportFormat::Excel:
        return u".xlsx"_s;
    case exportfile::ExportFormat::Access:
        break;
    }
    return u".mdb"_s;
}

void ExportFileDialog::formatChosen(bool csv)
{
    releaseFile();
    m_delimiters->setEnabled(csv);
    m_qualifier->setEnabled(csv);
    m_qualifierLabel->setEnabled(csv);
    m_includeNames->setEnabled(csv);
}

void ExportFileDialog::otherChanged(const QString& text)
{
    // Typing a delimiter of one's own chooses "Other :": the delimiter written is always the one
    // the options show.
    if (!m_other->isChecked())
        m_other->setChecked(true);
    setDelimiter(text.isEmpty() ? u" "_s : text);
}

void ExportFileDialog::releaseFile()
{
    // The file made by "Browse" stays; only this window lets go of it.
    m_database.reset();
    m_databaseFields.clear();
    m_path.clear();
    m_chosen->clear();
}

void ExportFileDialog::browse()
{
    releaseFile();
    const QString ext = extension();
    QString filter;
    QString refusal;
    switch (format()) {
    case exportfile::ExportFormat::DelimitedText:
        filter = u"CSV Files (*.csv)"_s;
        refusal = u"please select CSV Files only."_s;
        break;
    case exportfile::ExportFormat::Excel:
        filter = u"Microsoft Excel Files (*.xlsx)"_s;
        refusal = u"please select XLSX Files only."_s;
        break;
    case exportfile::ExportFormat::Access:
        filter = u"Microsoft Access Files (*.mdb)"_s;
        refusal = u"please select MDB Files only."_s;
        break;
    }
    const QString suggested = startFolder() + u"/ReceivedSMSReport"_s + ext;
    for (;;) {
        const QString chosen = m_dialogs.saveFileName(this, u"Export SMS"_s, suggested, filter);
        const QString name = store::trimBlanks(chosen);
        // A cancelled dialog chooses nothing: the export has no file until the next "Browse".
        if (name.isEmpty())
            return;
        if (QFileInfo::exists(name)) {
            m_dialogs.information(this, u" File Name Already Exists \n\n Please enter another name "_s);
            continue;
        }
        if (!name.endsWith(ext)) {
            m_dialogs.information(this, refusal);
            continue;
        }
        if (!prepareFile(name))
            continue;
        m_path = name;
        m_chosen->setText(name);
        return;
    }
}

bool ExportFileDialog::prepareFile(const QString& path)
{
    QString failure;
    switch (format()) {
    case exportfile::ExportFormat::DelimitedText:
        if (auto made = exportfile::DelimitedTextWriter::createEmpty(path); !made)
            failure = made.error().message;
        break;
    case exportfile::ExportFormat::Excel:
        if (auto made = exportfile::WorkbookWriter::createEmpty(path, workbookColumns(m_fields)); !made)
            failure = made.error().message;
        break;
    case exportfile::ExportFormat::Access:
        if (auto made = exportfile::JetDatabaseWriter::create(path, u"SMS_Details"_s, m_fields); !made) {
            failure = made.error().message;
        } else {
            m_database = std::move(*made);
            m_databaseFields = m_fields;
        }
        break;
    }
    if (failure.isEmpty())
        return true;
    m_dialogs.error(this, u"The file could not be made: "_s + failure);
    return false;
}

void ExportFileDialog::setRunning(bool running)
{
    m_export->setEnabled(!running);
    m_formats->setEnabled(!running);
    m_fileFrame->setEnabled(!running);
    m_back->setEnabled(!running);
}

void ExportFileDialog::startExport()
{
    setRunning(true);
    m_bar->setValue(0);
    if (store::trimBlanks(m_path).isEmpty() || m_fields.isEmpty()) {
        m_dialogs.information(this, u"Please enter File Name."_s);
        setRunning(false);
        m_browse->setFocus();
        return;
    }

    exportfile::ExportJob job;
    job.storePath = m_source.storePath;
    job.from = m_source.from;
    job.to = m_source.to;
    job.fields = m_fields;
    job.format = format();
    job.path = m_path;
    job.text = {m_includeNames->isChecked(), m_delimiter, qualifier()};
    if (job.format == exportfile::ExportFormat::Access) {
        // The fields were changed after "Browse" (Back, then Next): the table made then does not
        // fit. The file is still the empty one made here, so it is made again for these fields.
        if (m_database && m_databaseFields != m_fields) {
            m_database.reset();
            QFile::remove(m_path);
            if (!prepareFile(m_path)) {
                releaseFile();
                setRunning(false);
                return;
            }
        }
        job.database = std::move(m_database);
        m_databaseFields.clear();
    }

    m_cancel = std::make_shared<std::atomic_bool>(false);
    m_exporting = true;
    // The thread and the worker delete themselves when the export has ended, even if this
    // window is gone by then.
    auto* thread = new QThread;
    auto* worker = new exportfile::ExportWorker(std::move(job), m_cancel);
    worker->moveToThread(thread);
    connect(thread, &QThread::started, worker, &exportfile::ExportWorker::run);
    connect(worker, &exportfile::ExportWorker::progressed, this, &ExportFileDialog::showProgress);
    connect(worker, &exportfile::ExportWorker::finished, this, &ExportFileDialog::exportEnded);
    connect(worker, &exportfile::ExportWorker::finished, thread, &QThread::quit);
    connect(thread, &QThread::finished, worker, &QObject::deleteLater);
    connect(thread, &QThread::finished, thread, &QObject::deleteLater);
    m_thread = thread;
    thread->start();
}

void ExportFileDialog::showProgress(qint64 rows, qint64 total)
{
    const double percent = total > 0 ? std::min(100.0, double(rows) * 100.0 / double(total)) : 100.0;
    m_bar->setValue(int(percent));
    m_percent->setText((format() == exportfile::ExportFormat::Access ? QString::number(int(percent))
                                                                     : QString::number(percent, 'f', 2)) +
                       u" %"_s);
    m_update->setText(QString::number(rows) + u" Records Exported."_s);
}

void ExportFileDialog::exportEnded(qint64 rows, qint64, bool cancelled, const QString& error, qint64 cutCells)
{
    m_exporting = false;
    if (cancelled || m_cancelled) {
        QDialog::reject();
        return;
    }
    if (!error.isEmpty()) {
        m_dialogs.error(this, u"The export stopped after %1 records: %2"_s.arg(rows).arg(error));
        // The file holds what was written; another export needs another file.
        releaseFile();
        setRunning(false);
        return;
    }
    m_bar->setValue(100);
    m_percent->setText(u"100 %"_s);
    if (cutCells > 0)
        m_dialogs.information(this, u"%1 messages were longer than an Excel cell holds (32767 characters) and were "
                                    u"cut at that length."_s.arg(cutCells));
    m_dialogs.information(this, u"Mobile numbers exported successfully at location:\r\n"_s + m_path);
    accept();
}

void ExportFileDialog::reject()
{
    if (!m_exporting) {
        QDialog::reject();
        return;
    }
    m_cancelled = true;
    m_cancel->store(true);
    m_cancelButton->setEnabled(false);
    QTimer::singleShot(kCancelGraceMs, this, [this] {
        if (m_exporting)
            QDialog::reject();
    });
}

} // namespace ui
