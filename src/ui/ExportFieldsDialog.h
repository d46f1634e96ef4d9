#pragma once

#include <QDialog>
#include <QStringList>

class QCheckBox;
class QLabel;

namespace ui {

class Dialogs;

// The export wizard's first step ("Export SMS", Frm_ExportSMS_Step2): which columns to export.
class ExportFieldsDialog final : public QDialog
{
    Q_OBJECT

public:
    // What "<<Back" ends the step with; "&Next >>" accepts it and "&Cancel" rejects it.
    static constexpr int Back = 2;

    ExportFieldsDialog(qint64 total, Dialogs& dialogs, QWidget* parent = nullptr);

    // The chosen column names separated by a comma and a blank, always in the same order
    // whatever the order of ticking; set by "&Next >>".
    QString SqlExportSMS() const { return m_sqlExportSMS; }
    QStringList fields() const;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void next();

    Dialogs& m_dialogs;
    qint64 m_total;
    QString m_sqlExportSMS;
    QCheckBox* m_mobileNo;
    QCheckBox* m_message;
    QCheckBox* m_sendOn;
    QLabel* m_count;
};

} // namespace ui
