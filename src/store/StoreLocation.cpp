#include "StoreLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryFile>

using namespace Qt::StringLiterals;

namespace store {

bool canCreateFilesIn(const QString& dir)
{
    if (!QFileInfo(dir).isDir())
        return false;
    QTemporaryFile probe(QDir(dir).filePath(u".tarvogate-write-test-XXXXXX"_s));
    return probe.open();
}

QString StoreLocation::storeDir() const
{
    const QString app = QDir::cleanPath(appDir);
    const bool installed = !installBinDir.isEmpty() && app == QDir::cleanPath(installBinDir);
    const auto writable = isWritableDir ? isWritableDir : canCreateFilesIn;
    if (!installed && writable(app))
        return app;
    QString base = xdgDataHome;
    if (base.isEmpty() || QDir::isRelativePath(base)) // the XDG rule: relative values are ignored
        base = QDir::homePath() + u"/.local/share"_s;
    return QDir::cleanPath(base + u"/tarvogate"_s);
}

QString StoreLocation::storePath() const
{
    return QDir(storeDir()).filePath(QString::fromUtf16(kStoreFileName));
}

} // namespace store
