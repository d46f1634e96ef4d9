#include "SerialPortName.h"

#include <QRegularExpression>

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

QString classicPortNumber(const QString& device)
{
    static const QRegularExpression classic(u"^(?:/dev/ttyS(\\d+)|(\\d+))$"_s);
    const QRegularExpressionMatch match = classic.match(device.trimmed());
    if (!match.hasMatch())
        return u"0"_s;
    if (!match.captured(1).isEmpty())
        return QString::number(match.captured(1).toInt() + 1);
    return match.captured(2);
}

} // namespace modem
