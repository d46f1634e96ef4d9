#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <optional>

typedef void CURL;

namespace mail {

// What a failed transfer tells the operator: the server's reply code and text when the server
// refused, otherwise libcurl's own code and message.
struct TransferError
{
    int code = 0;
    QString description;
    // libcurl's own result, also where code is the server's reply code.
    int transferCode = 0;
};

// How a connection to a mail server is protected. Port 465 (SMTP) and 995 (POP3) are TLS from
// the first byte (RFC 8314); elsewhere the client switches to TLS with STARTTLS or STLS, and must
// do so before credentials go out unless the operator allowed an unencrypted login for that
// server.
enum class Protection
{
    ImplicitTls,
    RequiredStartTls,
    OptionalStartTls,
};
Protection protectionFor(int port, int implicitTlsPort, bool sendsCredentials, bool plainLoginAllowed);

// What may be kept of a line the client sent: PASS, APOP and AUTH keep only their command word,
// and every line of an AUTH exchange after it (the base64 user name and password of AUTH LOGIN,
// the PLAIN blob) becomes "***". inAuthExchange carries the state from line to line.
QString recordedCommand(QStringView sentLine, bool& inAuthExchange);
// A server line ends an AUTH exchange unless it is a challenge ("334 " in SMTP, "+ " in POP3).
void noteServerLine(QStringView serverLine, bool& inAuthExchange);

// One libcurl easy handle, reused from transfer to transfer so a POP3 session (and its
// deletes, which take effect at QUIT) spans several requests. Records the server's reply lines
// for error texts and for what the server offered.
class CurlSession
{
public:
    CurlSession();
    ~CurlSession();
    CurlSession(const CurlSession&) = delete;
    CurlSession& operator=(const CurlSession&) = delete;

    CURL* handle() const { return m_curl; }
    // Resets every option (the connection stays cached) and installs the recorders.
    void reset();
    // Runs the transfer; on failure returns the error in the operator's terms.
    std::optional<TransferError> perform();
    // A flag another thread may set to end every transfer of this session within about a second
    // (libcurl calls back at least once a second, also while a server stays silent). It outlives
    // a reset; null means transfers run until they finish or time out.
    void setAbortFlag(const std::atomic<bool>* flag) { m_abort = flag; }
    bool isAborting() const { return m_abort != nullptr && m_abort->load(); }
    // Ends the session (QUIT) and starts a fresh handle.
    void close();
    // After reset(): how this transfer's connection is protected. advice is the error text when
    // TLS is required and the server cannot do it: what the operator can change.
    void setProtection(Protection protection, const QString& advice);
    // After reset(): every wait ends after timeoutMs without a byte from the server (at the
    // granularity of whole seconds once connected); a long transfer that keeps moving is never
    // cut short.
    void setIdleTimeout(int timeoutMs);
    // After reset(): the server's certificate is accepted when its public key is this pin
    // ("sha256//…", one the operator trusted) and refused with keyChangedText when it is not,
    // whoever issued it. An empty pin leaves the system's trust store in charge.
    void setPinnedKey(const QString& pin, const QString& keyChangedText);
    // After reset(): the handshake accepts any certificate and keeps the server's, so the
    // operator can look at one the system does not trust. Never with credentials.
    void setCertificateProbe();
    // The server's certificate (PEM) from the last transfer under setCertificateProbe().
    const QByteArray& peerCertificate() const { return m_peerCertificate; }
    // The last transfer sent a password, or what stands for one, over a connection without TLS.
    bool sentCredentialsInClear() const { return m_credentialsInClear; }
    // Called once per transfer, at the moment credentials go out without TLS; outlives a reset.
    std::function<void()> onCredentialsInClear;

    QByteArray body;         // what the transfer downloaded
    QStringList serverLines; // every reply line the server sent in this transfer, in order
    // What the server offered in its last EHLO reply (RFC 5321 4.1.1.1). It outlives a reset,
    // because a reused connection is not greeted again.
    QStringList capabilities;
    QStringList commandsSent;       // the protocol commands we sent (credentials masked)
    std::function<bool()> onUpload; // return false to abort before the message data goes out
    QByteArray upload;

private:
    static size_t writeBody(char* data, size_t size, size_t count, void* self);
    static size_t readUpload(char* buffer, size_t size, size_t count, void* self);
    static int debug(CURL*, int type, char* data, size_t size, void* self);

    CURL* m_curl = nullptr;
    const std::atomic<bool>* m_abort = nullptr;
    qsizetype m_uploadOffset = 0;
    bool m_readingEhlo = false;
    bool m_inAuthExchange = false;
    bool m_tls = false;
    bool m_awaitingTls = false;
    bool m_credentialsInClear = false;
    QString m_noTlsAdvice;
    QByteArray m_pinnedKey;
    QString m_keyChangedText;
    bool m_probingCertificate = false;
    QByteArray m_peerCertificate;
    char m_errorBuffer[256] = {};
};

// What an aborted transfer reports: the program is ending, not the server failing.
QString transferCancelledText();

// "host" as a URL authority, with brackets around an IPv6 address.
QString urlHost(const QString& host);

// "pop3://host:port/path", with the TLS scheme ("pop3s", "smtps") under implicit TLS.
QByteArray serverUrl(const QString& plainScheme, Protection protection, const QString& host, int port,
                     const QString& path = {});

// Why a connection to a server whose pinned key no longer matches was refused.
QString keyChangedText(const QString& host, int port);

} // namespace mail
