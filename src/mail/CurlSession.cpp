#include "CurlSession.h"

#include <curl/curl.h>

#include <mutex>
#include <optional>

using namespace Qt::StringLiterals;

namespace mail {

namespace {

void ensureCurl()
{
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

// Any non-zero answer makes libcurl end the transfer with CURLE_ABORTED_BY_CALLBACK.
int abortWhenAsked(void* self, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const CurlSession*>(self)->isAborting() ? 1 : 0;
}

} // namespace

QString transferCancelledText()
{
    return u"The transfer was cancelled because the program is ending."_s;
}

Protection protectionFor(int port, int implicitTlsPort, bool sendsCredentials, bool plainLoginAllowed)
{
    if (port == implicitTlsPort)
        return Protection::ImplicitTls;
    return sendsCredentials && !plainLoginAllowed ? Protection::RequiredStartTls : Protection::OptionalStartTls;
}

QString recordedCommand(QStringView sentLine, bool& inAuthExchange)
{
    if (inAuthExchange)
        return u"***"_s;
    const QStringView word = sentLine.left(sentLine.indexOf(u' ') < 0 ? sentLine.size() : sentLine.indexOf(u' '));
    if (word.compare(u"AUTH"_s, Qt::CaseInsensitive) == 0) {
        inAuthExchange = true;
        return u"AUTH"_s;
    }
    // APOP's digest is no password, but it can be attacked offline like one.
    if (word.compare(u"PASS"_s, Qt::CaseInsensitive) == 0 || word.compare(u"APOP"_s, Qt::CaseInsensitive) == 0)
        return word.toString().toUpper();
    return sentLine.toString();
}

void noteServerLine(QStringView serverLine, bool& inAuthExchange)
{
    // RFC 4954 4 (SMTP "334 challenge") and RFC 5034 4 (POP3 "+ challenge"); "+OK" is an answer.
    const bool challenge = serverLine.startsWith(u"334"_s) || serverLine == u"+"_s || serverLine.startsWith(u"+ "_s);
    if (!challenge)
        inAuthExchange = false;
}

QString urlHost(const QString& host)
{
    return host.contains(u':') && !host.startsWith(u'[') ? u"["_s + host + u"]"_s : host;
}

QByteArray serverUrl(const QString& plainScheme, Protection protection, const QString& host, int port,
                     const QString& path)
{
    const QString scheme = protection == Protection::ImplicitTls ? plainScheme + u"s"_s : plainScheme;
    return (scheme + u"://"_s + urlHost(host) + u":"_s + QString::number(port) + u"/"_s + path).toUtf8();
}

QString keyChangedText(const QString& host, int port)
{
    return u"The certificate of %1:%2 is not the one that was trusted: the server shows another key, so the "
           u"connection was refused and nothing was sent. If the server's certificate was replaced on purpose, check "
           u"it with 'Test connection' in the settings and trust it again."_s.arg(host)
        .arg(port);
}

CurlSession::CurlSession()
{
    ensureCurl();
    m_curl = curl_easy_init();
}

CurlSession::~CurlSession()
{
    curl_easy_cleanup(m_curl);
}

void CurlSession::close()
{
    curl_easy_cleanup(m_curl);
    m_curl = curl_easy_init();
}

void CurlSession::reset()
{
    curl_easy_reset(m_curl);
    body.clear();
    serverLines.clear();
    commandsSent.clear();
    upload.clear();
    onUpload = nullptr;
    m_uploadOffset = 0;
    m_errorBuffer[0] = '\0';
    m_inAuthExchange = false;
    m_tls = false;
    m_awaitingTls = false;
    m_credentialsInClear = false;
    m_noTlsAdvice.clear();
    m_pinnedKey.clear();
    m_keyChangedText.clear();
    m_probingCertificate = false;
    m_peerCertificate.clear();
    // The engine runs on a thread of its own: no signals for time-outs.
    curl_easy_setopt(m_curl, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(m_curl, CURLOPT_ERRORBUFFER, m_errorBuffer);
    curl_easy_setopt(m_curl, CURLOPT_WRITEFUNCTION, &CurlSession::writeBody);
    curl_easy_setopt(m_curl, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_READFUNCTION, &CurlSession::readUpload);
    curl_easy_setopt(m_curl, CURLOPT_READDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGFUNCTION, &CurlSession::debug);
    curl_easy_setopt(m_curl, CURLOPT_DEBUGDATA, this);
    curl_easy_setopt(m_curl, CURLOPT_VERBOSE, 1L);
    if (m_abort != nullptr) {
        curl_easy_setopt(m_curl, CURLOPT_XFERINFOFUNCTION, &abortWhenAsked);
        curl_easy_setopt(m_curl, CURLOPT_XFERINFODATA, this);
        curl_easy_setopt(m_curl, CURLOPT_NOPROGRESS, 0L);
    }
}

void CurlSession::setProtection(Protection protection, const QString& advice)
{
    m_tls = protection == Protection::ImplicitTls;
    m_noTlsAdvice = protection == Protection::RequiredStartTls ? advice : QString();
    if (protection != Protection::ImplicitTls)
        curl_easy_setopt(m_curl, CURLOPT_USE_SSL,
                         long(protection == Protection::RequiredStartTls ? CURLUSESSL_ALL : CURLUSESSL_TRY));
}

void CurlSession::setPinnedKey(const QString& pin, const QString& keyChangedText)
{
    if (pin.isEmpty())
        return;
    m_pinnedKey = pin.toLatin1();
    m_keyChangedText = keyChangedText;
    // The pin is the whole trust: the operator accepted this key for this host and port, and a
    // self-signed appliance rarely names itself as it is reached.
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(m_curl, CURLOPT_PINNEDPUBLICKEY, m_pinnedKey.constData());
}

void CurlSession::setCertificateProbe()
{
    m_probingCertificate = true;
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(m_curl, CURLOPT_SSL_VERIFYHOST, 0L);
    curl_easy_setopt(m_curl, CURLOPT_CERTINFO, 1L);
    // The handshake is all it is for: no command goes out once the session is set up.
    curl_easy_setopt(m_curl, CURLOPT_CONNECT_ONLY, 1L);
}

void CurlSession::setIdleTimeout(int timeoutMs)
{
    // Until the session is ready (greeting, TLS, login) the connect time-out bounds it; after that
    // a transfer fails only when less than a byte a second arrives for the whole time-out, and a
    // server that does not answer a command fails on the response time-out.
    const long seconds = std::max(1L, long((std::max(timeoutMs, 0) + 999) / 1000));
    curl_easy_setopt(m_curl, CURLOPT_CONNECTTIMEOUT_MS, long(std::max(timeoutMs, 1)));
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_LIMIT, 1L);
    curl_easy_setopt(m_curl, CURLOPT_LOW_SPEED_TIME, seconds);
    curl_easy_setopt(m_curl, CURLOPT_SERVER_RESPONSE_TIMEOUT, seconds);
}

std::optional<TransferError> CurlSession::perform()
{
    // A stop that came between two transfers does not open another connection.
    if (isAborting())
        return TransferError{int(CURLE_ABORTED_BY_CALLBACK), transferCancelledText(), int(CURLE_ABORTED_BY_CALLBACK)};
    const CURLcode result = curl_easy_perform(m_curl);
    if (m_probingCertificate) {
        curl_certinfo* chain = nullptr;
        if (curl_easy_getinfo(m_curl, CURLINFO_CERTINFO, &chain) == CURLE_OK && chain != nullptr &&
            chain->num_of_certs > 0) {
            // The server's own certificate comes first; its "Cert:" field holds the PEM.
            for (curl_slist* field = chain->certinfo[0]; field != nullptr; field = field->next) {
                const QByteArray text(field->data);
                if (text.startsWith("Cert:"))
                    m_peerCertificate = text.mid(5);
            }
        }
    }
    if (result == CURLE_OK)
        return std::nullopt;
    if (result == CURLE_ABORTED_BY_CALLBACK && isAborting())
        return TransferError{int(result), transferCancelledText(), int(result)};
    if (result == CURLE_USE_SSL_FAILED && !m_noTlsAdvice.isEmpty())
        return TransferError{int(result), m_noTlsAdvice, int(result)};
    if (result == CURLE_SSL_PINNEDPUBKEYNOTMATCH && !m_keyChangedText.isEmpty())
        return TransferError{int(result), m_keyChangedText, int(result)};
    long replyCode = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &replyCode);
    if (replyCode >= 400) {
        // The server refused: its own code and words ("550 5.1.1 <x>: Recipient address rejected").
        const QString code = QString::number(replyCode);
        for (auto line = serverLines.crbegin(); line != serverLines.crend(); ++line) {
            if (line->startsWith(code))
                return TransferError{int(replyCode), line->mid(code.size() + 1).trimmed(), int(result)};
        }
    }
    const QString detail = QString::fromUtf8(m_errorBuffer).trimmed();
    return TransferError{int(result), detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(result)) : detail,
                         int(result)};
}

size_t CurlSession::writeBody(char* data, size_t size, size_t count, void* self)
{
    static_cast<CurlSession*>(self)->body.append(data, qsizetype(size * count));
    return size * count;
}

size_t CurlSession::readUpload(char* buffer, size_t size, size_t count, void* self)
{
    auto* session = static_cast<CurlSession*>(self);
    if (session->m_uploadOffset == 0 && session->onUpload && !session->onUpload())
        return CURL_READFUNC_ABORT;
    const qsizetype left = session->upload.size() - session->m_uploadOffset;
    const qsizetype chunk = std::min<qsizetype>(left, qsizetype(size * count));
    memcpy(buffer, session->upload.constData() + session->m_uploadOffset, size_t(chunk));
    session->m_uploadOffset += chunk;
    return size_t(chunk);
}

int CurlSession::debug(CURL*, int type, char* data, size_t size, void* self)
{
    auto* session = static_cast<CurlSession*>(self);
    const QString text = QString::fromUtf8(data, qsizetype(size)).trimmed();
    if (type == CURLINFO_HEADER_IN) {
        for (const QString& raw : text.split(u"\r\n"_s, Qt::SkipEmptyParts)) {
            const QString line = raw.trimmed();
            session->serverLines << line;
            noteServerLine(line, session->m_inAuthExchange);
            // Where TLS is only tried, a refused STARTTLS lets the login go on in clear; a failed
            // handshake after an accepted one ends the transfer.
            if (session->m_awaitingTls) {
                session->m_tls = line.startsWith(u"220"_s) || line.startsWith(u"+OK"_s);
                session->m_awaitingTls = false;
            }
            if (session->m_readingEhlo && line.startsWith(u"250"_s)) {
                session->capabilities << line.mid(4).trimmed();
                session->m_readingEhlo = line.size() > 3 && line.at(3) == u'-';
            }
        }
    } else if (type == CURLINFO_HEADER_OUT) {
        for (const QString& raw : text.split(u"\r\n"_s, Qt::SkipEmptyParts)) {
            const QString line = raw.trimmed();
            if (line.startsWith(u"EHLO"_s)) {
                session->capabilities.clear();
                session->m_readingEhlo = true;
            }
            if (line == u"STARTTLS"_s || line == u"STLS"_s)
                session->m_awaitingTls = true;
            const QString recorded = recordedCommand(line, session->m_inAuthExchange);
            if (recorded != line && !session->m_tls && !session->m_credentialsInClear) {
                session->m_credentialsInClear = true;
                if (session->onCredentialsInClear)
                    session->onCredentialsInClear();
            }
            session->commandsSent << recorded;
        }
    }
    return 0;
}

} // namespace mail
