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

QString urlHost(const QString& host)
{
    return host.contains(u':') && !host.startsWith(u'[') ? u"["_s + host + u"]"_s : host;
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

std::optional<TransferError> CurlSession::perform()
{
    // A stop that came between two transfers does not open another connection.
    if (isAborting())
        return TransferError{int(CURLE_ABORTED_BY_CALLBACK), transferCancelledText()};
    const CURLcode result = curl_easy_perform(m_curl);
    if (result == CURLE_OK)
        return std::nullopt;
    if (result == CURLE_ABORTED_BY_CALLBACK && isAborting())
        return TransferError{int(result), transferCancelledText()};
    long replyCode = 0;
    curl_easy_getinfo(m_curl, CURLINFO_RESPONSE_CODE, &replyCode);
    if (replyCode >= 400) {
        // The server refused: its own code and words ("550 5.1.1 <x>: Recipient address rejected").
        const QString code = QString::number(replyCode);
        for (auto line = serverLines.crbegin(); line != serverLines.crend(); ++line) {
            if (line->startsWith(code))
                return TransferError{int(replyCode), line->mid(code.size() + 1).trimmed()};
        }
    }
    const QString detail = QString::fromUtf8(m_errorBuffer).trimmed();
    return TransferError{int(result), detail.isEmpty() ? QString::fromUtf8(curl_easy_strerror(result)) : detail};
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
            if (session->m_readingEhlo && line.startsWith(u"250"_s)) {
                session->capabilities << line.mid(4).trimmed();
                session->m_readingEhlo = line.size() > 3 && line.at(3) == u'-';
            }
        }
    } else if (type == CURLINFO_HEADER_OUT) {
        if (text.startsWith(u"EHLO"_s)) {
            session->capabilities.clear();
            session->m_readingEhlo = true;
        }
        // Never keep a password: an AUTH line and whatever follows it carry credentials.
        const bool credentials = text.startsWith(u"AUTH"_s) || text.startsWith(u"PASS"_s) ||
                                 (!session->commandsSent.isEmpty() &&
                                  session->commandsSent.last().startsWith(u"AUTH"_s) && !text.contains(u' '));
        session->commandsSent << (credentials ? text.section(u' ', 0, 1) + u" ***"_s : text);
    }
    return 0;
}

} // namespace mail
