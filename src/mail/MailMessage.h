#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

namespace mail {

// What the mailbox poll reads from one e-mail. Headers are decoded (RFC 2047 words, any
// charset) and the text is UTF-8 whatever the e-mail used.
struct ParsedMail
{
    QString fromName;
    QString fromAddress;
    QString subject;
    QDateTime date;      // local time; invalid when the Date header is missing or unreadable
    QString contentType; // of the message itself, e.g. "multipart/alternative"
    QString textBody;    // the first text/plain part that is not an attachment; empty when none
};

ParsedMail parseMail(const QByteArray& raw);

enum class EncodeType
{
    Mime = 0,
    UuEncode = 1
};

struct OutgoingMail
{
    QString from;
    QString to;
    QString subject;
    QString body;
    EncodeType encodeType = EncodeType::Mime;
    QDateTime date;
};

// The message as it goes on the wire, lines ending in CR LF: a text/plain UTF-8 body, or the
// same text uuencoded.
QByteArray buildMail(const OutgoingMail& mail);

} // namespace mail
