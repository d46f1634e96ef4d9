#include "Pop3Mailbox.h"

#include "DateText.h"
#include "MailMessage.h"
#include "WebMailRequest.h"
#include "WebMailTables.h"

#include <curl/curl.h>

using namespace Qt::StringLiterals;

namespace mail {

Pop3Mailbox::Pop3Mailbox(Account account)
    : m_account(std::move(account)), m_user(m_account.userName.toUtf8()), m_password(m_account.password.toUtf8())
{
    m_session.setAbortFlag(m_account.abort);
}

Pop3Mailbox::~Pop3Mailbox() = default;

void Pop3Mailbox::prepare(const QString& path)
{
    m_session.reset();
    CURL* curl = m_session.handle();
    const QString scheme = m_account.port == 995 ? u"pop3s"_s : u"pop3"_s;
    const QByteArray url =
        (scheme + u"://"_s + urlHost(m_account.server) + u":"_s + QString::number(m_account.port) + u"/"_s + path)
            .toUtf8();
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    if (m_account.port != 995)
        curl_easy_setopt(curl, CURLOPT_USE_SSL, long(CURLUSESSL_TRY));
    curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.constData());
    curl_easy_setopt(curl, CURLOPT_CONNECTTIMEOUT_MS, long(m_account.timeoutMs));
    curl_easy_setopt(curl, CURLOPT_TIMEOUT_MS, long(m_account.timeoutMs));
}

std::expected<std::vector<Pop3Mailbox::Entry>, TransferError> Pop3Mailbox::list()
{
    prepare(QString());
    curl_easy_setopt(m_session.handle(), CURLOPT_CUSTOMREQUEST, "UIDL");
    if (auto error = m_session.perform())
        return std::unexpected(*error);
    // RFC 1939 7: one "<number> <unique-id>" line per message.
    std::vector<Entry> entries;
    for (const QByteArray& line : m_session.body.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        bool ok = false;
        const int number = parts.value(0).toInt(&ok);
        if (ok && parts.size() >= 2)
            entries.push_back({number, QString::fromLatin1(parts.at(1))});
    }
    return entries;
}

std::expected<QByteArray, TransferError> Pop3Mailbox::retrieve(int number)
{
    prepare(QString::number(number));
    if (auto error = m_session.perform())
        return std::unexpected(*error);
    return m_session.body;
}

std::optional<TransferError> Pop3Mailbox::remove(int number)
{
    prepare(QString());
    const QByteArray command = "DELE " + QByteArray::number(number);
    curl_easy_setopt(m_session.handle(), CURLOPT_CUSTOMREQUEST, command.constData());
    curl_easy_setopt(m_session.handle(), CURLOPT_NOBODY, 1L);
    return m_session.perform();
}

void Pop3Mailbox::close()
{
    m_session.close();
}

QString pop3ErrorLine(const TransferError& error)
{
    return u"**ERROR** WebMail - To - SMS Error While Checking For Your Emails.\r\nError No.: "_s +
           QString::number(error.code) + u": "_s + error.description;
}

void ProcessWebMailToSMSMailbox(const store::GatewaySettings& settings, const store::Database& db,
                                const store::Clock& clock, const MailboxPollHooks& hooks, int timeoutMs)
{
    bool portOk = false;
    const int port = settings.POP3Port.toInt(&portOk);
    Pop3Mailbox mailbox({settings.POP3MailServer, portOk ? port : 110, settings.POP3UserName, settings.POP3Password,
                         timeoutMs, hooks.abort});
    const auto ending = [&hooks] { return hooks.abort != nullptr && hooks.abort->load(); };
    const QString mailboxName = settings.POP3UserName + u"@"_s + settings.POP3MailServer + u":"_s + settings.POP3Port;
    store::WebMailTables tables(db);

    auto listed = mailbox.list();
    if (!listed) {
        hooks.log(pop3ErrorLine(listed.error()));
        return;
    }

    // Messages handled before (filed, or skipped for lack of text) are not new, whether or not
    // their delete went through.
    std::vector<Pop3Mailbox::Entry> fresh;
    QStringList listedIds;
    for (const auto& entry : *listed) {
        listedIds << entry.uidl;
        auto handled = tables.handled(mailboxName, entry.uidl);
        if (!handled) {
            hooks.log(u"**ERROR** "_s + handled.error().message);
            return;
        }
        if (*handled == store::WebMailTables::Handled::No)
            fresh.push_back(entry);
        else if (*handled == store::WebMailTables::Handled::Filed)
            (void)mailbox.remove(entry.number); // a delete that did not go through last time
    }
    hooks.log(u"Total "_s + QString::number(fresh.size()) + u" new emails found."_s);

    std::optional<TransferError> absorbed;
    for (const auto& entry : fresh) {
        auto raw = mailbox.retrieve(entry.number);
        if (!raw) {
            hooks.log(pop3ErrorLine(raw.error()));
            // Every further fetch would fail the same way; the rest waits for the next run.
            if (ending())
                break;
            absorbed = absorbed.value_or(raw.error());
            continue;
        }
        const ParsedMail parsed = parseMail(*raw);
        const QString body = store::trimBlanks(parsed.textBody);
        const QDateTime now = clock.now();
        if (body.isEmpty()) {
            // Nothing to read a request from (an HTML-only e-mail): left in the mailbox, not
            // filed, and not looked at again.
            if (auto marked = tables.markHandled(mailboxName, entry.uidl, now, true); !marked)
                hooks.log(u"**ERROR** "_s + marked.error().message);
            continue;
        }

        hooks.log(u"Parsing email no. "_s + QString::number(entry.number) + u" contents."_s);
        // The request's rows and charge, the filed e-mail and the note that it was handled
        // stand or fall together, so a message is never charged twice nor lost half-way.
        store::Transaction transaction(db);
        std::expected<QString, store::StoreError> outcome =
            transaction.started()
                ? ProcessWebMailToSMSEmail(db, clock, body, hooks.log)
                : std::expected<QString, store::StoreError>(std::unexpected(transaction.started().error()));
        std::expected<void, store::StoreError> done;
        if (!outcome) {
            done = std::unexpected(outcome.error());
        } else {
            const bool success = outcome->compare(u"SUCCESS"_s, Qt::CaseInsensitive) == 0;
            store::ReceivedMailRow row;
            row.EmailFromName = store::trimBlanks(parsed.fromName);
            row.EmailFromAddress = store::trimBlanks(parsed.fromAddress);
            row.EmailSubject = store::trimBlanks(parsed.subject);
            row.EmailDateTime = parsed.date.isValid() ? store::isoText(parsed.date) : QString();
            row.EmailContentType = store::trimBlanks(parsed.contentType);
            row.EmailTextMessage = body;
            row.MessageReceivedOn = store::isoText(now);
            row.IsEmailSentToSMS = success;
            row.ReasonForNotSendingSMS = success ? QString() : *outcome;
            if (auto filed = tables.file(row); !filed)
                done = std::unexpected(filed.error());
            else if (auto marked = tables.markHandled(mailboxName, entry.uidl, now); !marked)
                done = std::unexpected(marked.error());
            else
                done = transaction.commit();
        }
        if (!done) {
            hooks.log(
                u"**ERROR** The e-mail no. %1 could not be filed: %2"_s.arg(entry.number).arg(done.error().message));
            continue;
        }
        if (auto error = mailbox.remove(entry.number))
            hooks.log(pop3ErrorLine(*error));
    }
    if (auto kept = tables.keepOnly(mailboxName, listedIds); !kept)
        hooks.log(u"**ERROR** "_s + kept.error().message);
    mailbox.close();

    // Nobody is left to read a notice once the program ends.
    if (absorbed && !ending())
        hooks.notice(u"Error "_s + QString::number(absorbed->code) + u": "_s + absorbed->description);
}

} // namespace mail
