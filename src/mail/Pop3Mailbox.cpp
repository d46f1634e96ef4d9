#include "Pop3Mailbox.h"

#include "DateText.h"
#include "MailMessage.h"
#include "ServerCertificate.h"
#include "WebMailRequest.h"
#include "WebMailTables.h"

#include <curl/curl.h>

using namespace Qt::StringLiterals;

namespace mail {

QString unencryptedPop3LoginWarning(const QString& host, int port)
{
    return u"**WARNING** The POP3 login to %1:%2 went out unencrypted, because 'Allow unencrypted login' is ticked "
           u"for this mailbox: anyone on the way can read the password. Use port 995 or a server that offers STLS, "
           u"and untick the box."_s.arg(host)
               .arg(port);
}

Pop3Mailbox::Pop3Mailbox(Account account)
    : m_account(std::move(account)), m_user(m_account.userName.toUtf8()), m_password(m_account.password.toUtf8())
{
    m_session.setAbortFlag(m_account.abort);
    m_session.onCredentialsInClear = [this] {
        if (m_account.log)
            m_account.log(unencryptedPop3LoginWarning(m_account.server, m_account.port));
    };
}

Pop3Mailbox::~Pop3Mailbox() = default;

void Pop3Mailbox::prepare(const QString& path)
{
    m_session.reset();
    CURL* curl = m_session.handle();
    const Protection protection = protectionFor(m_account.port, 995, true, m_account.allowPlainLogin);
    const QByteArray url = serverUrl(u"pop3"_s, protection, m_account.server, m_account.port, path);
    curl_easy_setopt(curl, CURLOPT_URL, url.constData());
    m_session.setProtection(protection, m_account.noTlsAdvice.isEmpty()
                                            ? u"The POP3 server %1:%2 offers no STLS, so the password was not sent. "
                                              u"Use port 995 (TLS from the start), or tick 'Allow unencrypted login "
                                              u"(not recommended)' on the Email - To - SMS tab of the settings."_s
                                                  .arg(m_account.server)
                                                  .arg(m_account.port)
                                            : m_account.noTlsAdvice);
    m_session.setPinnedKey(m_account.pinnedKey, keyChangedText(m_account.server, m_account.port));
    curl_easy_setopt(curl, CURLOPT_USERNAME, m_user.constData());
    curl_easy_setopt(curl, CURLOPT_PASSWORD, m_password.constData());
    m_session.setIdleTimeout(m_account.timeoutMs);
}

std::optional<TransferError> Pop3Mailbox::checkLogin()
{
    prepare(QString());
    curl_easy_setopt(m_session.handle(), CURLOPT_CUSTOMREQUEST, "NOOP");
    curl_easy_setopt(m_session.handle(), CURLOPT_NOBODY, 1L);
    return m_session.perform();
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
    // RFC 1939 5, LIST: "<number> <octets>" per message, so a size limit needs no download.
    prepare(QString());
    if (auto error = m_session.perform())
        return std::unexpected(*error);
    for (const QByteArray& line : m_session.body.split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split(' ');
        bool numberOk = false;
        bool sizeOk = false;
        const int number = parts.value(0).toInt(&numberOk);
        const qint64 size = parts.value(1).toLongLong(&sizeOk);
        if (!numberOk || !sizeOk)
            continue;
        for (Entry& entry : entries) {
            if (entry.number == number)
                entry.size = size;
        }
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

size_t Pop3Mailbox::collectReply(char* data, size_t size, size_t count, void* self)
{
    static_cast<Pop3Mailbox*>(self)->m_reply.append(data, qsizetype(size * count));
    return size * count;
}

std::expected<QString, TransferError> Pop3Mailbox::uidlOf(int number)
{
    prepare(QString());
    const QByteArray command = "UIDL " + QByteArray::number(number);
    CURL* curl = m_session.handle();
    curl_easy_setopt(curl, CURLOPT_CUSTOMREQUEST, command.constData());
    curl_easy_setopt(curl, CURLOPT_NOBODY, 1L);
    m_reply.clear();
    curl_easy_setopt(curl, CURLOPT_HEADERFUNCTION, &Pop3Mailbox::collectReply);
    curl_easy_setopt(curl, CURLOPT_HEADERDATA, this);
    if (auto error = m_session.perform())
        return std::unexpected(*error);
    // "+OK <number> <unique-id>"; on a new connection the greeting and login replies come first.
    const QList<QByteArray> lines = m_reply.split('\n');
    for (auto line = lines.crbegin(); line != lines.crend(); ++line) {
        const QList<QByteArray> parts = line->simplified().split(' ');
        if (parts.size() >= 3 && parts.at(0) == "+OK" && parts.at(1).toInt() == number)
            return QString::fromLatin1(parts.at(2));
    }
    return QString();
}

void Pop3Mailbox::close()
{
    m_session.close();
}

QString pop3PortRefusedLine(const QString& port)
{
    return u"**ERROR** WebMail - To - SMS: the POP3 port '%1' is not a whole number from 1 to 65535, so the mailbox "
           u"is not checked. Correct the port in the settings."_s.arg(port);
}

QString pop3ErrorLine(const TransferError& error)
{
    return u"**ERROR** WebMail - To - SMS Error While Checking For Your Emails.\r\nError No.: "_s +
           QString::number(error.code) + u": "_s + error.description;
}

namespace {

store::ReceivedMailRow receivedRow(const ParsedMail& parsed, const QString& body, const QDateTime& now)
{
    store::ReceivedMailRow row;
    row.EmailFromName = store::trimBlanks(parsed.fromName);
    row.EmailFromAddress = store::trimBlanks(parsed.fromAddress);
    row.EmailSubject = store::trimBlanks(parsed.subject);
    row.EmailDateTime = parsed.date.isValid() ? store::isoText(parsed.date) : QString();
    row.EmailContentType = store::trimBlanks(parsed.contentType);
    row.EmailTextMessage = body;
    row.MessageReceivedOn = store::isoText(now);
    return row;
}

// The filed e-mail and the note that it was handled go in together: a message is never filed
// without being remembered, nor remembered without being filed.
std::expected<void, store::StoreError> fileHandled(const store::Database& db, const store::ReceivedMailRow& row,
                                                   const QString& mailbox, const QString& uidl, const QDateTime& now)
{
    store::Transaction transaction(db);
    if (!transaction.started())
        return transaction.started();
    store::WebMailTables tables(db);
    if (auto filed = tables.file(row); !filed)
        return std::unexpected(filed.error());
    if (auto marked = tables.markHandled(mailbox, uidl, now); !marked)
        return marked;
    return transaction.commit();
}

} // namespace

void ProcessWebMailToSMSMailbox(const store::GatewaySettings& settings, const store::Database& db,
                                const store::Clock& clock, const MailboxPollHooks& hooks, int timeoutMs,
                                qint64 maxEmailBytes)
{
    // Another port than the one typed would also drop implicit TLS (995) without a word.
    const std::optional<int> port = store::portNumber(settings.POP3Port);
    if (!port) {
        hooks.log(pop3PortRefusedLine(settings.POP3Port));
        return;
    }
    Pop3Mailbox mailbox({settings.POP3MailServer, *port, settings.POP3UserName, settings.POP3Password, timeoutMs,
                         hooks.abort, settings.POP3AllowPlainLogin, hooks.log,
                         trustedKeyFor(db, settings.POP3MailServer, *port)});
    const auto ending = [&hooks] { return hooks.abort != nullptr && hooks.abort->load(); };
    const QString mailboxName = store::mailboxKey(settings.POP3UserName, settings.POP3MailServer);
    store::WebMailTables tables(db);

    // A filed message is deleted only while its number still names it: deleting another
    // message would lose a request nobody has read.
    const auto removeFiled = [&](const Pop3Mailbox::Entry& entry) {
        auto current = mailbox.uidlOf(entry.number);
        if (!current) {
            hooks.log(pop3ErrorLine(current.error()));
            return;
        }
        if (*current != entry.uidl) {
            hooks.log(u"**WARNING** The e-mail no. %1 was not deleted: the server now gives that number to another "
                      u"message ('%2' instead of '%3'). It is deleted at a later check."_s.arg(entry.number)
                          .arg(*current, entry.uidl));
            return;
        }
        if (auto error = mailbox.remove(entry.number))
            hooks.log(pop3ErrorLine(*error));
    };
    const auto fileAndRemove = [&](const Pop3Mailbox::Entry& entry, const store::ReceivedMailRow& row,
                                   const QDateTime& now) {
        if (auto done = fileHandled(db, row, mailboxName, entry.uidl, now); !done) {
            hooks.log(
                u"**ERROR** The e-mail no. %1 could not be filed: %2"_s.arg(entry.number).arg(done.error().message));
            return;
        }
        removeFiled(entry);
    };

    auto listed = mailbox.list();
    if (!listed) {
        hooks.log(pop3ErrorLine(listed.error()));
        return;
    }

    // Messages filed before are not new, whether or not their delete went through. Those an
    // earlier version left on the server for lack of text were never charged: they are filed and
    // deleted now like any e-mail without a plain-text body.
    std::vector<Pop3Mailbox::Entry> fresh;
    QStringList listedIds;
    for (const auto& entry : *listed) {
        listedIds << entry.uidl;
        auto handled = tables.handled(mailboxName, entry.uidl);
        if (!handled) {
            hooks.log(u"**ERROR** "_s + handled.error().message);
            return;
        }
        if (*handled != store::WebMailTables::Handled::Filed)
            fresh.push_back(entry);
        else if (*handled == store::WebMailTables::Handled::Filed)
            removeFiled(entry); // a delete that did not go through last time
    }
    hooks.log(u"Total "_s + QString::number(fresh.size()) + u" new emails found."_s);

    std::optional<TransferError> absorbed;
    for (const auto& entry : fresh) {
        if (maxEmailBytes > 0 && entry.size > maxEmailBytes) {
            // Not fetched at all: a huge e-mail would hold the poll up and the memory with it.
            hooks.log(u"**WARNING** The e-mail no. %1 has %2 bytes, more than the %3 allowed: it is filed as not "
                      u"sent and deleted without being read."_s.arg(entry.number)
                          .arg(entry.size)
                          .arg(maxEmailBytes));
            store::ReceivedMailRow row;
            row.MessageReceivedOn = store::isoText(clock.now());
            row.IsEmailSentToSMS = false;
            row.ReasonForNotSendingSMS = u"E-mail too large"_s;
            fileAndRemove(entry, row, clock.now());
            continue;
        }
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
            // Nothing to read a request from (an HTML-only or unreadable e-mail). Left on the
            // server it would pile up unseen; filed, the operator sees it in the received list.
            hooks.log(
                u"**WARNING** The e-mail no. %1 has no plain-text body: it is filed as not sent and deleted."_s.arg(
                    entry.number));
            store::ReceivedMailRow row = receivedRow(parsed, body, now);
            row.IsEmailSentToSMS = false;
            row.ReasonForNotSendingSMS = u"No plain-text body"_s;
            fileAndRemove(entry, row, now);
            continue;
        }

        hooks.log(u"Parsing email no. "_s + QString::number(entry.number) + u" contents."_s);
        // The request's rows and charge, the filed e-mail and the note that it was handled
        // stand or fall together, so a message is never charged twice nor lost half-way.
        store::Transaction transaction(db);
        QStringList skipped;
        std::expected<QString, store::StoreError> outcome =
            transaction.started()
                ? ProcessWebMailToSMSEmail(db, clock, body, hooks.log, &skipped)
                : std::expected<QString, store::StoreError>(std::unexpected(transaction.started().error()));
        std::expected<void, store::StoreError> done;
        if (!outcome) {
            done = std::unexpected(outcome.error());
        } else {
            const bool success = outcome->compare(u"SUCCESS"_s, Qt::CaseInsensitive) == 0;
            const QString skippedText = skipped.isEmpty() ? QString() : u"Skipped: "_s + skipped.join(u", "_s);
            store::ReceivedMailRow row = receivedRow(parsed, body, now);
            row.IsEmailSentToSMS = success;
            if (!success)
                row.ReasonForNotSendingSMS = skippedText.isEmpty() ? *outcome : *outcome + u"\r\n"_s + skippedText;
            else if (!skippedText.isEmpty())
                row.ReasonForNotSendingSMS = skippedText;
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
        removeFiled(entry);
    }
    if (auto kept = tables.keepOnly(mailboxName, listedIds); !kept)
        hooks.log(u"**ERROR** "_s + kept.error().message);
    mailbox.close();

    // Nobody is left to read a notice once the program ends.
    if (absorbed && !ending())
        hooks.notice(u"Error "_s + QString::number(absorbed->code) + u": "_s + absorbed->description);
}

} // namespace mail
