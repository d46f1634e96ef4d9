#include "Resources.h"

#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace store {

QString installBinDir()
{
    return QStringLiteral(TARVOGATE_INSTALL_BINDIR);
}

QString findSoundFile(const QString& name, const QString& appDir)
{
    const QString candidates[] = {
        QDir(appDir).filePath(name),
        QDir(appDir).filePath(u"sounds/"_s + name),
        QDir(QStringLiteral(TARVOGATE_INSTALL_DATADIR)).filePath(u"sounds/"_s + name),
    };
    for (const QString& candidate : candidates) {
        if (QFileInfo(candidate).isFile())
            return candidate;
    }
    return {};
}

QString programVersion()
{
    return QStringLiteral(TARVOGATE_VERSION);
}

} // namespace store
