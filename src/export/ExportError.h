#pragma once

#include <QString>

namespace exportfile {

// Why an export file could not be made or written, in words for the operator.
struct ExportError
{
    QString message;
};

} // namespace exportfile
