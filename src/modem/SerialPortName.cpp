#include "SerialPortName.h"

using namespace Qt::StringLiterals;

namespace modem {

QString serialDevicePath(const QString& commPortName, const QString& commPortNo)
{
    const QString name = commPortName.trimmed();
    if (!name.isEmpty()) {
        bool isNumber = false;
        const int n = name.toInt(&isNumber);
        if (!isNumber)
            return name;
        return n >= 1 ? u"/dev/ttyS%1"_s.arg(n - 1) : QString();
    }
    bool ok = false;
    const int n = commPortNo.trimmed().toInt(&ok);
    return ok && n >= 1 ? u"/dev/ttyS%1"_s.arg(n - 1) : QString();
}

} // namespace modem
