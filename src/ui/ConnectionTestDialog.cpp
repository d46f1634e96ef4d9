#include "ConnectionTestDialog.h"

#include "Dialogs.h"
#include "Gateway.h"
#include "ScreenParts.h"
#include "TrustedKeyTable.h"

#include <QDateTime>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace ui {

ConnectionTestDialog::ConnectionTestDialog(engine::Gateway* gateway, std::function<int()> start, QWidget* parent)
    : QDialog(parent), m_gateway(gateway), m_start(std::move(start))
{
    setObjectName(u"frm_TestMailConnection"_s);
    setWindowTitle(u"Test connection"_s);
    setWindowModality(Qt::WindowModal);

    m_step = named(new QLabel(u"Waiting for the gateway..."_s, this), u"lblStep"_s);
    m_step->setWordWrap(true);
    auto* bar = named(new QProgressBar(this), u"ProgressBar1"_s);
    // How long a server takes is unknown: the bar only shows that the test is alive.
    bar->setRange(0, 0);
    auto* cancelButton = named(new QPushButton(u"&Cancel"_s, this), u"cmdCancel"_s);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_step);
    layout->addWidget(bar);
    layout->addLayout(buttonRow({cancelButton}));
    resize(420, 120);

    connect(cancelButton, &QPushButton::clicked, this, &ConnectionTestDialog::reject);
    connect(m_gateway, &engine::Gateway::connectionTestProgress, this, [this](int test, const QString& step) {
        if (test == m_test)
            m_step->setText(step);
    });
    connect(m_gateway, &engine::Gateway::connectionTestFinished, this,
            [this](int test, const mail::ConnectionReport& report) {
                if (test != m_test || m_finished)
                    return;
                m_finished = true;
                m_report = report;
                accept();
            });
}

void ConnectionTestDialog::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    // Once, when the window is up; the test runs on the engine's thread.
    if (m_test == 0)
        m_test = m_start();
}

void ConnectionTestDialog::reject()
{
    if (!m_finished) {
        m_finished = true;
        m_gateway->requestConnectionTestCancel();
    }
    QDialog::reject();
}

namespace {

void present(QWidget* parent, Dialogs& dialogs, const store::Database& db, const mail::ConnectionReport& report)
{
    using Outcome = mail::ConnectionReport::Outcome;
    switch (report.outcome) {
    case Outcome::Cancelled:
        return;
    case Outcome::LoggedIn:
        dialogs.information(parent, report.text);
        return;
    case Outcome::WrongPassword:
    case Outcome::NoTls:
    case Outcome::Failed:
        dialogs.error(parent, report.text);
        return;
    case Outcome::UntrustedCertificate:
    case Outcome::KeyChanged:
        break;
    }
    if (!report.certificate || dialogs.offer(parent, report.text, u"Trust this certificate"_s) != Dialogs::Yes)
        return;
    const store::TrustedKeyRow row{report.host,
                                   report.port,
                                   report.certificate->publicKeyPin,
                                   report.certificate->subject,
                                   report.certificate->sha256Fingerprint,
                                   {}};
    if (auto trusted = store::TrustedKeyTable(db).trust(row, QDateTime::currentDateTime()); !trusted) {
        dialogs.error(parent, u"The certificate could not be stored: "_s + trusted.error().message);
        return;
    }
    dialogs.information(parent, u"The certificate of %1:%2 is trusted now. Press 'Test connection' again to check "
                                u"the login."_s.arg(report.host)
                                    .arg(report.port));
}

} // namespace

void testMailConnection(QWidget* parent, engine::Gateway* gateway, Dialogs& dialogs, const store::Database& db,
                        std::function<int()> start)
{
    auto* window = new ConnectionTestDialog(gateway, std::move(start), parent);
    window->setAttribute(Qt::WA_DeleteOnClose);
    const QPointer<QWidget> asker(parent);
    QObject::connect(window, &QDialog::accepted, window, [window, asker, &dialogs, &db] {
        // The screen that asked may have been closed meanwhile; then nobody waits for the answer.
        if (asker)
            present(asker, dialogs, db, window->report());
    });
    window->open();
}

} // namespace ui
