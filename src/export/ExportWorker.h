#pragma once

#include "ReceivedSmsExport.h"

#include <QObject>

#include <atomic>
#include <memory>

namespace exportfile {

// Runs one export on a thread of its own, with a store connection of its own, and tells the
// screen how far it got through queued signals.
class ExportWorker final : public QObject
{
    Q_OBJECT

public:
    ExportWorker(ExportJob job, std::shared_ptr<std::atomic_bool> cancel);

    // The thread's started() calls this; it returns when the export has ended.
    void run();

Q_SIGNALS:
    void progressed(qint64 rows, qint64 total);
    void finished(qint64 rows, qint64 total, bool cancelled, const QString& error, qint64 cutCells);

private:
    ExportJob m_job;
    std::shared_ptr<std::atomic_bool> m_cancel;
};

} // namespace exportfile
