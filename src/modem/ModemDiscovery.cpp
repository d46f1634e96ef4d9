#include "ModemDiscovery.h"

#include "AtParsers.h"

#include <QDir>
#include <QFileInfo>
#include <QSerialPortInfo>

using namespace Qt::StringLiterals;

namespace modem {

namespace {

const LineSettings kProbeLine{115200, QSerialPort::NoParity, QSerialPort::Data8, QSerialPort::OneStop};

QString askIdentity(AtLink& link, const QString& command, double delayFactor)
{
    const AtAnswer answer = link.SendCommand(command + u"\r"_s, scaledWait(50, delayFactor), u"OK"_s, 5, QString());
    return answer.lines.isEmpty() ? QString() : answer.lines.first();
}

} // namespace

QStringList serialPortCandidates(const QString& byIdFolder)
{
    // The stable names survive re-plugging and reboots, where ttyUSB numbers may swap.
    QMap<QString, QString> stableNameOf;
    QStringList unlisted;
    const QFileInfoList links = QDir(byIdFolder).entryInfoList(QDir::System | QDir::Files, QDir::Name);
    for (const QFileInfo& link : links) {
        const QString device = link.canonicalFilePath();
        if (device.isEmpty())
            continue;
        stableNameOf.insert(device, link.absoluteFilePath());
        unlisted << link.absoluteFilePath();
    }

    QStringList ports;
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts()) {
        const QString device = QFileInfo(info.systemLocation()).canonicalFilePath();
        const QString name = stableNameOf.value(device, info.systemLocation());
        unlisted.removeOne(name);
        if (!ports.contains(name))
            ports << name;
    }
    ports << unlisted;
    return ports;
}

QString GetManufacturer(AtLink& link, double delayFactor)
{
    return askIdentity(link, u"AT+CGMI"_s, delayFactor);
}

QString GetModel(AtLink& link, double delayFactor)
{
    return askIdentity(link, u"AT+CGMM"_s, delayFactor);
}

DiscoveryResult discoverModems(AtLink& link, const QStringList& ports, double delayFactor, const DiscoveryHooks& hooks)
{
    const auto cancelled = [&] { return hooks.cancelled && hooks.cancelled(); };
    const auto progress = [&](int done, int total) {
        if (hooks.progress)
            hooks.progress(done, total);
    };

    DiscoveryResult result;
    const QStringList probed = ports.mid(0, kMaxProbedPorts);
    QStringList answered;
    progress(0, int(probed.size()));
    for (const QString& port : probed) {
        if (cancelled()) {
            result.cancelled = true;
            break;
        }
        ++result.searched;
        if (link.ConfigurePort(port, kProbeLine, QSerialPort::NoFlowControl) && link.OpenPort()) {
            // Any answer at all, ERROR included, means something that speaks AT is there.
            const AtAnswer answer = link.SendCommand(u"AT\r"_s, scaledWait(100, delayFactor), u"OK"_s, 2, QString());
            if (answer.received())
                answered << port;
        }
        link.ClosePort();
        progress(result.searched, int(probed.size()));
    }
    link.ClosePort();
    if (result.cancelled)
        return result;

    for (const QString& port : answered) {
        if (cancelled()) {
            result.cancelled = true;
            result.modems.clear();
            break;
        }
        FoundModem modem{port, {}, {}};
        if (link.ConfigurePort(port, kProbeLine, QSerialPort::NoFlowControl) && link.OpenPort()) {
            modem.manufacturer = GetManufacturer(link, delayFactor);
            modem.model = GetModel(link, delayFactor);
        }
        link.ClosePort();
        result.modems << modem;
    }
    return result;
}

} // namespace modem
