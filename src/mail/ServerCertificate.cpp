#include "ServerCertificate.h"

#include "Database.h"
#include "TrustedKeyTable.h"

#include <openssl/asn1.h>
#include <openssl/bio.h>
#include <openssl/evp.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

#include <memory>

using namespace Qt::StringLiterals;

namespace mail {

namespace {

template <auto Free> struct Deleter
{
    template <typename T> void operator()(T* p) const { Free(p); }
};
using X509Ptr = std::unique_ptr<X509, Deleter<&X509_free>>;
using BioPtr = std::unique_ptr<BIO, Deleter<&BIO_free>>;

QString nameText(const X509_NAME* name)
{
    BioPtr out(BIO_new(BIO_s_mem()));
    if (!out || X509_NAME_print_ex(out.get(), name, 0, XN_FLAG_RFC2253 & ~ASN1_STRFLGS_ESC_MSB) < 0)
        return {};
    char* data = nullptr;
    const long size = BIO_get_mem_data(out.get(), &data);
    return QString::fromUtf8(data, qsizetype(size));
}

QDateTime timeOf(const ASN1_TIME* time)
{
    struct tm parts = {};
    if (time == nullptr || ASN1_TIME_to_tm(time, &parts) != 1)
        return {};
    return QDateTime(QDate(parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday),
                     QTime(parts.tm_hour, parts.tm_min, parts.tm_sec), Qt::UTC);
}

QByteArray sha256(const unsigned char* data, int size)
{
    QByteArray digest(EVP_MAX_MD_SIZE, '\0');
    unsigned int length = 0;
    if (EVP_Digest(data, size_t(size), reinterpret_cast<unsigned char*>(digest.data()), &length, EVP_sha256(),
                   nullptr) != 1)
        return {};
    digest.truncate(int(length));
    return digest;
}

// The DER form of whatever i2d writes, for hashing.
template <typename T, typename Encode> QByteArray derOf(T* object, Encode encode)
{
    const int size = encode(object, nullptr);
    if (size <= 0)
        return {};
    QByteArray der(size, '\0');
    auto* out = reinterpret_cast<unsigned char*>(der.data());
    return encode(object, &out) == size ? der : QByteArray();
}

} // namespace

std::optional<CertificateDetails> describeCertificate(const QByteArray& pem)
{
    BioPtr in(BIO_new_mem_buf(pem.constData(), int(pem.size())));
    if (!in)
        return std::nullopt;
    X509Ptr certificate(PEM_read_bio_X509(in.get(), nullptr, nullptr, nullptr));
    if (!certificate)
        return std::nullopt;

    const QByteArray whole = derOf(certificate.get(), &i2d_X509);
    // libcurl pins the SubjectPublicKeyInfo, the same bytes HPKP hashed (RFC 7469 2.4).
    const QByteArray key = derOf(X509_get_X509_PUBKEY(certificate.get()), &i2d_X509_PUBKEY);
    if (whole.isEmpty() || key.isEmpty())
        return std::nullopt;
    const QByteArray fingerprint = sha256(reinterpret_cast<const unsigned char*>(whole.constData()), int(whole.size()));
    const QByteArray keyDigest = sha256(reinterpret_cast<const unsigned char*>(key.constData()), int(key.size()));

    CertificateDetails details;
    details.subject = nameText(X509_get_subject_name(certificate.get()));
    details.issuer = nameText(X509_get_issuer_name(certificate.get()));
    details.validFrom = timeOf(X509_get0_notBefore(certificate.get()));
    details.validUntil = timeOf(X509_get0_notAfter(certificate.get()));
    details.sha256Fingerprint = QString::fromLatin1(fingerprint.toHex(':').toUpper());
    details.publicKeyPin = u"sha256//"_s + QString::fromLatin1(keyDigest.toBase64());
    return details;
}

QString trustedKeyFor(const store::Database& db, const QString& host, int port)
{
    if (!db.isOpen())
        return {};
    auto row = store::TrustedKeyTable(db).find(host, port);
    return row && row->has_value() ? (*row)->publicKeyPin : QString();
}

QString certificateText(const CertificateDetails& details)
{
    const auto date = [](const QDateTime& when) {
        return when.isValid() ? when.toString(u"yyyy-MM-dd HH:mm 'UTC'"_s) : u"(not readable)"_s;
    };
    return u"Subject: %1\nIssued by: %2\nValid from %3 until %4\nSHA-256 fingerprint: %5"_s.arg(
        details.subject, details.issuer, date(details.validFrom), date(details.validUntil), details.sha256Fingerprint);
}

} // namespace mail
