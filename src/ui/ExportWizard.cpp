#include "ExportWizard.h"

#include "Dialogs.h"
#include "ExportFieldsDialog.h"

#include <memory>

namespace ui {

bool runExportWizard(Dialogs& dialogs, QWidget* parent, const ExportSource& source, qint64 total)
{
    // One step after the other, never one inside the other: "<<Back" from the file step shows
    // the field step again with its boxes as they were, and the file step keeps its choices.
    ExportFieldsDialog fields(total, dialogs, parent);
    std::unique_ptr<ExportFileDialog> file;
    for (;;) {
        const int chosen = dialogs.run(fields);
        if (chosen == ExportFieldsDialog::Back)
            return true;
        if (chosen != QDialog::Accepted)
            return false;
        if (!file)
            file = std::make_unique<ExportFileDialog>(source, dialogs, parent);
        file->setFields(fields.fields());
        if (dialogs.run(*file) != ExportFileDialog::Back)
            return false;
    }
}

} // namespace ui
