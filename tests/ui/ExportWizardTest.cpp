#include "ExportWizard.h"
#include "DateText.h"
#include "ExportFieldsDialog.h"
#include "ExportFileDialog.h"
#include "FakeDialogs.h"
#include "InboxTable.h"
#include "ReceivedSmsReport.h"
#include "Store.h"
#include "TestSupport.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QtTest/QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using testing_support::FakeClock;
using testing_support::FakeDialogs;
using testing_support::TempFolder;
using testing_support::waitUntil;

namespace {

template <typename Widget> Widget* child(QWidget* screen, const QString& name)
{
    auto* widget = screen->findChild<Widget*>(name);
    EXPECT_NE(widget, nullptr) << name.toStdString();
    return widget;
}

void click(QWidget* screen, const QString& name)
{
    if (auto* button = child<QAbstractButton>(screen, name))
        button->click();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

const QString kExported = u"Mobile numbers exported successfully at location:\r\n"_s;

struct ExportWizardTest : ::testing::Test
{
    TempFolder folder;
    FakeClock clock; // 14 March 2026
    FakeDialogs dialogs;
    store::Database db;
    QDate today = clock.now().date();

    void SetUp() override
    {
        auto opened = store::openStore(folder.storePath());
        ASSERT_TRUE(opened);
        db = std::move(*opened);
    }

    void received(int rows, const QDate& day)
    {
        store::Transaction transaction(db);
        for (int i = 1; i <= rows; ++i)
            ASSERT_TRUE(store::InboxTable(db).insert(u"+49151%1"_s.arg(i, 6, 10, QChar(u'0')), u"sms \"%1\""_s.arg(i),
                                                     QDateTime(day, QTime(8, 0)).addSecs(i)));
        ASSERT_TRUE(transaction.commit());
    }

    ui::ExportSource source() const { return {folder.storePath(), today, today}; }

    // Exports through the file step and waits for the export's end.
    void runExport(ui::ExportFileDialog& step)
    {
        click(&step, u"cmdNext"_s);
        EXPECT_TRUE(waitUntil([&] { return !step.isExporting(); }, 60000));
    }
};

TEST_F(ExportWizardTest, FieldStepKeepsTheFieldOrderWhateverTheTicking)
{
    struct Case
    {
        QStringList ticks;
        QString list;
    };
    const Case cases[] = {
        {{u"chkSendOn"_s, u"chkMobileNo"_s}, u"SenderMobileNo, InboxDateTime"_s},
        {{u"chkMessage"_s, u"chkSendOn"_s, u"chkMobileNo"_s}, u"SenderMobileNo, Message, InboxDateTime"_s},
        {{u"chkSendOn"_s}, u"InboxDateTime"_s},
        {{u"chkMessage"_s}, u"Message"_s},
    };
    for (const Case& c : cases) {
        ui::ExportFieldsDialog step(1234, dialogs);
        EXPECT_EQ(step.objectName(), u"Frm_ExportSMS_Step2"_s);
        EXPECT_EQ(step.windowTitle(), u"Export SMS"_s);
        EXPECT_EQ(child<QLabel>(&step, u"lblmessage"_s)->text(), u"1234"_s);
        for (const QString& box : c.ticks)
            click(&step, box);
        click(&step, u"cmdNext"_s);
        EXPECT_EQ(step.result(), QDialog::Accepted) << c.list.toStdString();
        EXPECT_EQ(step.SqlExportSMS(), c.list);
        EXPECT_EQ(step.fields().join(u','), QString(c.list).remove(u' '));
    }

    // Nothing ticked: the step stays.
    ui::ExportFieldsDialog step(5, dialogs);
    step.setResult(-1);
    click(&step, u"cmdNext"_s);
    EXPECT_EQ(dialogs.lastText(), u"Please Select at least one field for export."_s);
    EXPECT_EQ(step.result(), -1);
}

TEST_F(ExportWizardTest, FileStepOptionsSetTheDelimiterAndQualifier)
{
    ui::ExportFileDialog step(source(), dialogs);
    EXPECT_EQ(step.objectName(), u"Frm_ExportSMS_Step3"_s);
    EXPECT_EQ(step.windowTitle(), u"Export SMS"_s);
    EXPECT_TRUE(child<QRadioButton>(&step, u"optAccess"_s)->isChecked());
    EXPECT_TRUE(child<QCheckBox>(&step, u"chkIncludeFlds"_s)->isChecked());
    EXPECT_EQ(child<QComboBox>(&step, u"cmbQulifier"_s)->currentText(), u"\""_s);
    auto csvControlsEnabled = [&] {
        return std::vector<bool>{child<QGroupBox>(&step, u"Frame3"_s)->isEnabled(),
                                 child<QComboBox>(&step, u"cmbQulifier"_s)->isEnabled(),
                                 child<QCheckBox>(&step, u"chkIncludeFlds"_s)->isEnabled()};
    };
    EXPECT_EQ(csvControlsEnabled(), (std::vector<bool>{false, false, false}));
    click(&step, u"optCsv"_s);
    EXPECT_EQ(csvControlsEnabled(), (std::vector<bool>{true, true, true}));
    click(&step, u"optExcel"_s);
    EXPECT_EQ(csvControlsEnabled(), (std::vector<bool>{false, false, false}));
    click(&step, u"optCsv"_s);

    EXPECT_EQ(step.delimiter(), u","_s);
    auto* other = child<QLineEdit>(&step, u"txtOther"_s);
    struct Delimiter
    {
        std::function<void()> act;
        QString delimiter;
        const char* what;
    };
    const Delimiter delimiters[] = {
        {[&] { click(&step, u"optSemicolon"_s); }, u";"_s, "semicolon"},
        {[&] { click(&step, u"optTab"_s); }, u"\t"_s, "tab"},
        {[&] { click(&step, u"optSpace"_s); }, u" "_s, "space"},
        {[&] { click(&step, u"optOther"_s); }, u" "_s, "other, its box empty"},
        {[&] { QTest::keyClicks(other, u"||"_s); }, u"||"_s, "other typed"},
        {[&] { click(&step, u"optComma"_s); }, u","_s, "comma"},
        // Typing a delimiter chooses "Other :", so the option shown is the one used.
        {[&] { QTest::keyClick(other, Qt::Key_Backspace); }, u"|"_s, "typed while comma is chosen"},
        {[&] { QTest::keyClick(other, Qt::Key_Backspace); }, u" "_s, "other emptied"},
    };
    for (const Delimiter& d : delimiters) {
        d.act();
        EXPECT_EQ(step.delimiter(), d.delimiter) << d.what;
    }
    EXPECT_TRUE(child<QRadioButton>(&step, u"optOther"_s)->isChecked());

    auto* qualifier = child<QComboBox>(&step, u"cmbQulifier"_s);
    for (const auto& [text, used] : std::vector<std::pair<QString, QString>>{
             {u"'"_s, u"'"_s}, {u"{none}"_s, QString()}, {u"\""_s, u"\""_s}, {u"#"_s, QString()}}) {
        qualifier->setEditText(text);
        EXPECT_EQ(step.qualifier(), used) << text.toStdString();
    }
}

TEST_F(ExportWizardTest, BrowseOffersTheNameAndRefusesExistingFilesAndOtherExtensions)
{
    struct Case
    {
        const char* format;
        QString extension;
        QString filter;
        QString refusal;
    };
    const Case cases[] = {
        {"optAccess", u".mdb"_s, u"Microsoft Access Files (*.mdb)"_s, u"please select MDB Files only."_s},
        {"optExcel", u".xlsx"_s, u"Microsoft Excel Files (*.xlsx)"_s, u"please select XLSX Files only."_s},
        {"optCsv", u".csv"_s, u"CSV Files (*.csv)"_s, u"please select CSV Files only."_s},
    };
    const QString taken = folder.file(u"taken.csv"_s);
    QFile(taken).open(QIODevice::WriteOnly);
    for (const Case& c : cases) {
        ui::ExportFileDialog step(source(), dialogs);
        step.setFields({u"SenderMobileNo"_s, u"Message"_s});
        click(&step, QString::fromLatin1(c.format));
        dialogs.texts.clear();
        dialogs.saveDialogs.clear();
        const QString wanted = folder.file(u"export"_s + c.extension);
        dialogs.saveFileNames = {taken, folder.file(u"export.txt"_s), u"  "_s + wanted + u" "_s};
        click(&step, u"cmdBrowse"_s);
        EXPECT_EQ(dialogs.texts,
                  (QStringList{u" File Name Already Exists \n\n Please enter another name "_s, c.refusal}))
            << c.format;
        ASSERT_EQ(dialogs.saveDialogs.size(), 3) << c.format;
        EXPECT_TRUE(dialogs.saveDialogs.at(0).endsWith(u"/ReceivedSMSReport"_s + c.extension + u'|' + c.filter))
            << dialogs.saveDialogs.at(0).toStdString();
        EXPECT_EQ(child<QLabel>(&step, u"lblSelectedfileName"_s)->text(), wanted) << c.format;
        // Made at once, so a second "Browse" to the same name is refused.
        EXPECT_TRUE(QFile::exists(wanted)) << c.format;
        EXPECT_FALSE(QFile::exists(folder.file(u"export.txt"_s))) << c.format;

        // A cancelled dialog leaves no file chosen.
        dialogs.saveFileNames = {wanted};
        dialogs.texts.clear();
        click(&step, u"cmdBrowse"_s);
        EXPECT_EQ(dialogs.texts, QStringList{u" File Name Already Exists \n\n Please enter another name "_s});
        EXPECT_EQ(child<QLabel>(&step, u"lblSelectedfileName"_s)->text(), QString()) << c.format;
        dialogs.texts.clear();
        click(&step, u"cmdNext"_s);
        EXPECT_EQ(dialogs.texts, QStringList{u"Please enter File Name."_s}) << c.format;
        EXPECT_TRUE(child<QPushButton>(&step, u"cmdNext"_s)->isEnabled()) << c.format;
        EXPECT_TRUE(child<QPushButton>(&step, u"cmdBack"_s)->isEnabled()) << c.format;
        EXPECT_TRUE(child<QGroupBox>(&step, u"Frame1"_s)->isEnabled()) << c.format;
    }
}

TEST_F(ExportWizardTest, ExportShowsItsProgressAndEndsWithTheMessage)
{
    received(3, today);
    received(2, today.addDays(1));
    struct Case
    {
        const char* format;
        QString name;
        QString percent;
    };
    for (const Case& c : {Case{"optCsv", u"a.csv"_s, u"100.00 %"_s}, Case{"optExcel", u"a.xlsx"_s, u"100.00 %"_s},
                          Case{"optAccess", u"a.mdb"_s, u"100 %"_s}}) {
        ui::ExportFileDialog step(source(), dialogs);
        step.setFields({u"SenderMobileNo"_s, u"Message"_s});
        click(&step, QString::fromLatin1(c.format));
        dialogs.saveFileNames = {folder.file(c.name)};
        click(&step, u"cmdBrowse"_s);
        const QByteArray browsed = fileBytes(folder.file(c.name));
        dialogs.texts.clear();
        runExport(step);
        EXPECT_EQ(step.result(), QDialog::Accepted) << c.format;
        EXPECT_EQ(dialogs.texts, QStringList{kExported + folder.file(c.name)}) << c.format;
        EXPECT_EQ(child<QProgressBar>(&step, u"ProgExport"_s)->value(), 100);
        EXPECT_EQ(child<QLabel>(&step, u"lblProgress"_s)->text(), u"100 %"_s) << c.format;
        EXPECT_EQ(child<QLabel>(&step, u"lblUpdate"_s)->text(), u"3 Records Exported."_s) << c.format;
        EXPECT_NE(fileBytes(folder.file(c.name)), browsed) << c.format;
    }
    // The CSV as a whole, with the defaults.
    EXPECT_EQ(fileBytes(folder.file(u"a.csv"_s)), QByteArray("\xEF\xBB\xBF"
                                                             "SenderMobileNo,Message\r\n"
                                                             "\"+49151000001\",\"sms \"\"1\"\"\"\r\n"
                                                             "\"+49151000002\",\"sms \"\"2\"\"\"\r\n"
                                                             "\"+49151000003\",\"sms \"\"3\"\"\"\r\n"));
}

// Back to the field step after "Browse" and other fields chosen: the database made for the
// first choice is made again for the second, as nothing was written to it yet.
TEST_F(ExportWizardTest, AccessTableFollowsFieldsChangedAfterBrowse)
{
    received(2, today);
    ui::ExportFileDialog step(source(), dialogs);
    step.setFields({u"SenderMobileNo"_s});
    const QString path = folder.file(u"changed.mdb"_s);
    dialogs.saveFileNames = {path};
    click(&step, u"cmdBrowse"_s);
    step.setFields({u"Message"_s, u"InboxDateTime"_s});
    runExport(step);
    EXPECT_EQ(step.result(), QDialog::Accepted);
    QProcess mdbExport;
    mdbExport.start(u"mdb-export"_s, {path, u"SMS_Details"_s});
    ASSERT_TRUE(mdbExport.waitForFinished(30000));
    EXPECT_EQ(QString::fromUtf8(mdbExport.readAllStandardOutput()),
              u"ID,Message,InboxDateTime\n1,\"sms \"\"1\"\"\",\"2026-03-14 08:00:01\"\n"
              u"2,\"sms \"\"2\"\"\",\"2026-03-14 08:00:02\"\n"_s);
}

TEST_F(ExportWizardTest, CancelDuringTheExportStopsItAndKeepsTheRowsWritten)
{
    received(5000, today);
    ui::ExportFileDialog step(source(), dialogs);
    step.setFields({u"SenderMobileNo"_s, u"Message"_s});
    click(&step, u"optCsv"_s);
    click(&step, u"chkIncludeFlds"_s);
    const QString path = folder.file(u"cancelled.csv"_s);
    dialogs.saveFileNames = {path};
    click(&step, u"cmdBrowse"_s);
    dialogs.texts.clear();
    click(&step, u"cmdNext"_s);
    ASSERT_TRUE(step.isExporting());
    EXPECT_FALSE(child<QPushButton>(&step, u"cmdNext"_s)->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&step, u"cmdBack"_s)->isEnabled());
    EXPECT_FALSE(child<QGroupBox>(&step, u"Frame1"_s)->isEnabled());
    click(&step, u"cmdCancel"_s);
    ASSERT_TRUE(waitUntil([&] { return !step.isExporting(); }, 60000));
    EXPECT_EQ(step.result(), QDialog::Rejected);
    EXPECT_EQ(dialogs.texts, QStringList());
    // The last count shown is what the file holds: whole lines, nothing after them.
    const QString shown = child<QLabel>(&step, u"lblUpdate"_s)->text();
    ASSERT_TRUE(shown.endsWith(u" Records Exported."_s)) << shown.toStdString();
    const int rows = shown.section(u' ', 0, 0).toInt();
    const QByteArray bytes = fileBytes(path);
    EXPECT_EQ(bytes.count("\r\n"), rows);
    EXPECT_TRUE(rows == 0 || bytes.endsWith(u"\"sms \"\"%1\"\"\"\r\n"_s.arg(rows).toUtf8()));
}

TEST_F(ExportWizardTest, ReportHandsOverAndTheWizardsEndClosesIt)
{
    received(4, today);
    struct Case
    {
        const char* what;
        std::function<void(QDialog&)> fieldStep;
        bool reportShown;
    };
    const Case cases[] = {
        {"back to the report", [](QDialog& step) { click(&step, u"cmdBack"_s); }, true},
        {"cancel closes the report", [](QDialog& step) { click(&step, u"cmdCancel"_s); }, false},
    };
    for (const Case& c : cases) {
        ui::ReceivedSmsReport report(db, dialogs, clock);
        report.show();
        dialogs.onDialog[u"Frm_ExportSMS_Step2"_s] = c.fieldStep;
        dialogs.opened.clear();
        click(&report, u"cmdExport"_s);
        EXPECT_EQ(dialogs.opened, QStringList{u"Frm_ExportSMS_Step2"_s}) << c.what;
        EXPECT_EQ(report.isVisible(), c.reportShown) << c.what;
    }

    // Next, Back from the file step, Next again, then a whole export: the wizard and the report
    // close, the file holds the report's range.
    const QString path = folder.file(u"report.csv"_s);
    int fieldSteps = 0;
    dialogs.onDialog[u"Frm_ExportSMS_Step2"_s] = [&](QDialog& step) {
        if (++fieldSteps == 1) {
            click(&step, u"chkSendOn"_s);
            click(&step, u"chkMobileNo"_s);
        }
        click(&step, u"cmdNext"_s);
    };
    int fileSteps = 0;
    dialogs.onDialog[u"Frm_ExportSMS_Step3"_s] = [&](QDialog& dialog) {
        if (++fileSteps == 1) {
            click(&dialog, u"cmdBack"_s);
            return;
        }
        click(&dialog, u"optCsv"_s);
        dialogs.saveFileNames = {path};
        click(&dialog, u"cmdBrowse"_s);
        runExport(*qobject_cast<ui::ExportFileDialog*>(&dialog));
    };
    ui::ReceivedSmsReport report(db, dialogs, clock);
    report.show();
    dialogs.opened.clear();
    dialogs.texts.clear();
    click(&report, u"cmdExport"_s);
    EXPECT_EQ(dialogs.opened, (QStringList{u"Frm_ExportSMS_Step2"_s, u"Frm_ExportSMS_Step3"_s, u"Frm_ExportSMS_Step2"_s,
                                           u"Frm_ExportSMS_Step3"_s}));
    EXPECT_FALSE(report.isVisible());
    EXPECT_EQ(report.result(), QDialog::Rejected);
    EXPECT_EQ(dialogs.lastText(), kExported + path);
    const QStringList lines = QString::fromUtf8(fileBytes(path).mid(3)).split(u"\r\n"_s);
    ASSERT_EQ(lines.size(), 6);
    EXPECT_EQ(lines.at(0), u"SenderMobileNo,InboxDateTime"_s);
    EXPECT_EQ(lines.at(1), u"\"+49151000001\",\"2026-03-14 08:00:01\""_s);
}

} // namespace
