#include "TrustedKeyTable.h"

#include "DateText.h"

using namespace Qt::StringLiterals;

namespace store {

namespace {

QString hostKey(const QString& host)
{
    return host.trimmed().toLower();
}

} // namespace

std::expected<std::optional<TrustedKeyRow>, StoreError> TrustedKeyTable::find(const QString& host, int port) const
{
    auto st = m_db.prepare(u"SELECT Host, Port, PublicKeyPin, Subject, Fingerprint, TrustedOn "
                           u"FROM MailServer_TrustedKeys WHERE Host=?1 AND Port=?2"_s);
    st.bind(1, hostKey(host));
    st.bind(2, qint64(port));
    auto found = st.next();
    if (!found)
        return std::unexpected(found.error());
    if (!*found)
        return std::optional<TrustedKeyRow>();
    return TrustedKeyRow{st.text(0), int(st.integer(1)), st.text(2), st.text(3), st.text(4), st.text(5)};
}

std::expected<void, StoreError> TrustedKeyTable::trust(const TrustedKeyRow& row, const QDateTime& when)
{
    auto st = m_db.prepare(u"INSERT OR REPLACE INTO MailServer_TrustedKeys (Host, Port, PublicKeyPin, Subject, "
                           u"Fingerprint, TrustedOn) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"_s);
    st.bind(1, hostKey(row.host));
    st.bind(2, qint64(row.port));
    st.bind(3, row.publicKeyPin);
    st.bind(4, row.subject);
    st.bind(5, row.fingerprint);
    st.bind(6, isoText(when));
    return st.run();
}

std::expected<void, StoreError> TrustedKeyTable::forget(const QString& host, int port)
{
    auto st = m_db.prepare(u"DELETE FROM MailServer_TrustedKeys WHERE Host=?1 AND Port=?2"_s);
    st.bind(1, hostKey(host));
    st.bind(2, qint64(port));
    return st.run();
}

} // namespace store
