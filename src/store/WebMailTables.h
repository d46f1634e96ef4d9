#pragma once

#include "Database.h"

#include <QDateTime>

namespace store {

// One fetched e-mail as filed with the outcome of its request.
struct ReceivedMailRow
{
    qint64 id = 0;
    QString EmailFromName;
    QString EmailFromAddress;
    QString EmailSubject;
    QString EmailDateTime; // ISO text; Null when the e-mail had no readable date
    QString EmailContentType;
    QString EmailTextMessage;
    QString MessageReceivedOn;
    bool IsEmailSentToSMS = false;
    QString ReasonForNotSendingSMS;
};

// WebMailToSMS_MessagesReceived, and the record of which mailbox messages were handled.
class WebMailTables
{
public:
    explicit WebMailTables(const Database& db) : m_db(db) {}

    std::expected<qint64, StoreError> file(const ReceivedMailRow& row);
    std::expected<std::vector<ReceivedMailRow>, StoreError> all() const;

    // A mailbox is named by mailboxKey(); a message by the server's UIDL.
    enum class Handled
    {
        No,
        Filed,
        KeptOnServer
    };
    std::expected<Handled, StoreError> handled(const QString& mailbox, const QString& uidl) const;
    // keepOnServer: the message was not filed and stays in the mailbox (earlier versions did
    // this with e-mails that held no text). Marking again replaces an earlier mark.
    std::expected<void, StoreError> markHandled(const QString& mailbox, const QString& uidl, const QDateTime& when,
                                                bool keepOnServer = false);
    // Forgets ids the server no longer lists, so the record does not grow for ever.
    std::expected<void, StoreError> keepOnly(const QString& mailbox, const QStringList& uidls);

private:
    const Database& m_db;
};

} // namespace store
