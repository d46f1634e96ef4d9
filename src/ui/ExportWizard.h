#pragma once

#include "ExportFileDialog.h"

namespace ui {

class Dialogs;

// Runs the export wizard's two steps for the received-SMS report. True when the operator went
// "<<Back" from the field step to the report; false when an export ended or the wizard was
// cancelled, which closes the report too.
bool runExportWizard(Dialogs& dialogs, QWidget* parent, const ExportSource& source, qint64 total);

} // namespace ui
