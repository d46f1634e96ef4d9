#include "ExportWorker.h"

#include "Store.h"

#include <QElapsedTimer>

namespace exportfile {

namespace {
// A million rows must not become a million queued events: the screen hears at most this often.
constexpr qint64 kProgressEveryMs = 50;
} // namespace

ExportWorker::ExportWorker(ExportJob job, std::shared_ptr<std::atomic_bool> cancel)
    : m_job(std::move(job)), m_cancel(std::move(cancel))
{}

void ExportWorker::run()
{
    auto db = store::openStore(m_job.storePath);
    if (!db) {
        // The prepared database is finished by its destructor; it stays a valid, empty file.
        m_job.database.reset();
        Q_EMIT finished(0, 0, false, db.error().message, 0);
        return;
    }
    QElapsedTimer sinceLast;
    sinceLast.start();
    const ExportOutcome outcome = exportReceivedSms(*db, m_job, *m_cancel, [&](qint64 rows, qint64 total) {
        if (sinceLast.elapsed() >= kProgressEveryMs) {
            sinceLast.restart();
            Q_EMIT progressed(rows, total);
        }
    });
    m_job.database.reset();
    Q_EMIT progressed(outcome.rows, outcome.total);
    Q_EMIT finished(outcome.rows, outcome.total, outcome.cancelled, outcome.error, outcome.cutCells);
}

} // namespace exportfile
