#pragma once

#include "Clock.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <functional>

#include <ostream>

// Readable QString values in GoogleTest's failure messages.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace testing_support {

// A clock the test sets by hand.
class FakeClock final : public store::Clock
{
public:
    explicit FakeClock(QDateTime now = QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53))) : m_now(std::move(now)) {}
    QDateTime now() const override { return m_now; }
    void set(const QDateTime& now) { m_now = now; }

private:
    QDateTime m_now;
};

// Runs the event loop until the condition holds or the deadline passes; never sleeps blindly.
inline bool waitUntil(const std::function<bool()>& condition, int timeoutMs = 5000)
{
    QDeadlineTimer deadline(timeoutMs);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    return true;
}

// A file's fingerprint, to prove that a refused file was left exactly as it was.
inline QByteArray fileDigest(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(file.readAll(), QCryptographicHash::Sha256);
}

// A temporary folder for a real store file, removed with the test.
class TempFolder
{
public:
    TempFolder() : m_dir(QDir::tempPath() + QStringLiteral("/tarvogate-test-XXXXXX")) {}
    QString path() const { return m_dir.path(); }
    QString file(const QString& name) const { return m_dir.filePath(name); }
    QString storePath() const { return file(QStringLiteral("SMSGateway.mdb")); }

private:
    QTemporaryDir m_dir;
};

} // namespace testing_support
