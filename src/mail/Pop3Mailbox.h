#pragma once

#include "CurlSession.h"

#include "Clock.h"
#include "Database.h"
#include "GatewaySettings.h"

#include <expected>
#include <functional>
#include <vector>

namespace mail {

// One POP3 session over libcurl: login, listing, fetching and deleting share one connection,
// and the deletes take effect when the session ends (QUIT). Port 995 is TLS from the start;
// other ports switch to TLS (STLS) before the login, which fails without it unless the account
// allows a plain login. Waits end after timeoutMs without a byte, not after a fixed total.
class Pop3Mailbox
{
public:
    struct Account
    {
        QString server;
        int port = 110;
        QString userName;
        QString password;
        int timeoutMs = 10000;
        // Set from another thread when the program ends: the transfer in progress stops.
        const std::atomic<bool>* abort = nullptr;
        // The operator allowed a login without TLS where the server offers no STLS.
        bool allowPlainLogin = false;
        // Where the warning goes when a login did go out without TLS.
        std::function<void(const QString&)> log = nullptr;
        // The key the operator trusted for this server ("sha256//…"); empty: the system decides.
        QString pinnedKey = {};
        // What to tell the operator when STLS is missing and the login may not go out in clear;
        // empty: the mailbox's own settings are named.
        QString noTlsAdvice = {};
    };
    struct Entry
    {
        int number = 0;   // the server's message number, from 1
        QString uidl;     // the server's unique id, stable across sessions
        qint64 size = -1; // octets, from LIST; -1 when the server did not say
    };

    explicit Pop3Mailbox(Account account);
    ~Pop3Mailbox();

    std::expected<std::vector<Entry>, TransferError> list();
    std::expected<QByteArray, TransferError> retrieve(int number);
    std::optional<TransferError> remove(int number);
    // The unique id the server gives message `number` now (RFC 1939 7, "UIDL n"); a number
    // may name another message than it did in the listing.
    std::expected<QString, TransferError> uidlOf(int number);
    // Logs in and asks nothing else (NOOP): whether the server, its TLS and the account work.
    std::optional<TransferError> checkLogin();
    bool sentCredentialsInClear() const { return m_session.sentCredentialsInClear(); }
    // Ends the session; marked messages are deleted now.
    void close();

private:
    void prepare(const QString& path);
    static size_t collectReply(char* data, size_t size, size_t count, void* self);

    Account m_account;
    CurlSession m_session;
    QByteArray m_user;
    QByteArray m_password;
    QByteArray m_reply; // a one-line reply, as the header callback delivers it
};

struct MailboxPollHooks
{
    std::function<void(const QString&)> log;
    // An error met while the messages were handled, shown to the operator at the end.
    std::function<void(const QString&)> notice;
    // Set from another thread when the program ends: the poll stops within about a second and
    // leaves what it has not filed in the mailbox for the next run.
    const std::atomic<bool>* abort = nullptr;
};

// One poll of the e-mail-to-SMS mailbox: every message not handled before is fetched, its
// request processed, the e-mail filed with the outcome and then deleted from the mailbox.
// An e-mail larger than maxEmailBytes is filed as not sent and deleted without being fetched.
inline constexpr qint64 kDefaultMaxEmailBytes = 1024 * 1024;
void ProcessWebMailToSMSMailbox(const store::GatewaySettings& settings, const store::Database& db,
                                const store::Clock& clock, const MailboxPollHooks& hooks, int timeoutMs = 10000,
                                qint64 maxEmailBytes = kDefaultMaxEmailBytes);

// What the activity log shows each time a mailbox login went out without TLS.
QString unencryptedPop3LoginWarning(const QString& host, int port);

// Why the mailbox is not checked when its stored port is no port number.
QString pop3PortRefusedLine(const QString& port);

// "**ERROR** WebMail - To - SMS Error While Checking For Your Emails." and the error.
QString pop3ErrorLine(const TransferError& error);

} // namespace mail
