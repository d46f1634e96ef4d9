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
// other ports switch to TLS (STLS) when the server offers it.
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
    };
    struct Entry
    {
        int number = 0; // the server's message number, from 1
        QString uidl;   // the server's unique id, stable across sessions
    };

    explicit Pop3Mailbox(Account account);
    ~Pop3Mailbox();

    std::expected<std::vector<Entry>, TransferError> list();
    std::expected<QByteArray, TransferError> retrieve(int number);
    std::optional<TransferError> remove(int number);
    // Ends the session; marked messages are deleted now.
    void close();

private:
    void prepare(const QString& path);

    Account m_account;
    CurlSession m_session;
    QByteArray m_user;
    QByteArray m_password;
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
void ProcessWebMailToSMSMailbox(const store::GatewaySettings& settings, const store::Database& db,
                                const store::Clock& clock, const MailboxPollHooks& hooks, int timeoutMs = 10000);

// "**ERROR** WebMail - To - SMS Error While Checking For Your Emails." and the error.
QString pop3ErrorLine(const TransferError& error);

} // namespace mail
