#include "MailMessage.h"
#include "TestSupport.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

QByteArray mailFile(const QString& name)
{
    QFile file(QStringLiteral(TARVOGATE_TEST_DATA) + u"/mail/"_s + name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QDateTime at(int y, int m, int d, int hh, int mm, int ss, int offsetSeconds)
{
    return QDateTime(QDate(y, m, d), QTime(hh, mm, ss), Qt::OffsetFromUTC, offsetSeconds);
}

} // namespace

TEST(ParseMail, DecodesNamesSubjectAndThePlainAlternative)
{
    const auto mail = mail::parseMail(mailFile(u"alternative-latin1.eml"_s));
    EXPECT_EQ(mail.fromName, u"Jürgen Müller"_s);
    EXPECT_EQ(mail.fromAddress, u"juergen@example.org"_s);
    EXPECT_EQ(mail.subject, u"Grüße"_s);
    EXPECT_EQ(mail.contentType, u"multipart/alternative"_s);
    EXPECT_TRUE(mail.textBody.startsWith(u"<smsusername>jürgen</smsusername>"_s)) << mail.textBody.toStdString();
    EXPECT_FALSE(mail.textBody.contains(u"html"_s));
    // Any zone, stored as the same moment in local time.
    EXPECT_EQ(mail.date, at(2026, 12, 6, 16, 2, 48, 19800).toLocalTime());
}

TEST(ParseMail, HtmlOnlyHasNoText)
{
    const auto mail = mail::parseMail(mailFile(u"html-only.eml"_s));
    EXPECT_TRUE(mail.textBody.isEmpty());
    EXPECT_EQ(mail.contentType, u"text/html"_s);
    EXPECT_EQ(mail.date, at(2026, 12, 7, 8, 0, 0, -8 * 3600).toLocalTime()); // a negative zone
}

TEST(ParseMail, DateCases)
{
    EXPECT_FALSE(mail::parseMail(mailFile(u"no-date.eml"_s)).date.isValid());
    EXPECT_EQ(mail::parseMail(mailFile(u"named-zone.eml"_s)).date, at(2026, 12, 7, 8, 0, 0, -5 * 3600).toLocalTime());
    const auto garbage = mail::parseMail(mailFile(u"unreadable-date.eml"_s));
    EXPECT_FALSE(garbage.date.isValid());
    EXPECT_EQ(garbage.textBody.trimmed(), u"body"_s); // still read and fileable
}

TEST(ParseMail, AttachmentsAreNotTheRequest)
{
    const auto mail = mail::parseMail(mailFile(u"attachment-first.eml"_s));
    EXPECT_EQ(mail.textBody.trimmed(), u"the request"_s);
}

TEST(ParseMail, NotAnEmailAtAll)
{
    const auto mail = mail::parseMail(QByteArray("\x00\x01 binary", 9));
    EXPECT_TRUE(mail.textBody.isEmpty());
    EXPECT_FALSE(mail.date.isValid());
}

TEST(BuildMail, MimeAndUuencodedBodiesReadBackTheSame)
{
    const QString body = u"Grüße, it's 5 € — line one\r\nline two"_s;
    for (const auto encode : {mail::EncodeType::Mime, mail::EncodeType::UuEncode}) {
        mail::OutgoingMail out;
        out.from = u"Office@sms.example.org"_s;
        out.to = u"+4915112345678@sms.example.org"_s;
        out.body = body;
        out.encodeType = encode;
        const QByteArray wire = mail::buildMail(out);
        EXPECT_FALSE(wire.contains("\n") && wire.count('\n') != wire.count("\r\n")) << "bare LF in the message";
        EXPECT_TRUE(wire.contains("Subject: \r\n") || wire.contains("Subject:\r\n")) << wire.toStdString();
        EXPECT_TRUE(wire.contains("To: +4915112345678@sms.example.org")) << wire.toStdString();
        if (encode == mail::EncodeType::UuEncode) {
            EXPECT_TRUE(wire.contains("Content-Transfer-Encoding: x-uuencode")) << wire.toStdString();
            EXPECT_TRUE(wire.contains("begin 0"));
        } else {
            EXPECT_TRUE(wire.contains("charset=utf-8")) << wire.toStdString();
            // UTF-8 on the wire, in whichever transfer encoding was chosen, never Latin-1.
            EXPECT_TRUE(wire.contains("Gr=C3=BC=C3=9Fe") || wire.contains("R3LDvMOfZS")) << wire.toStdString();
        }
        const auto back = mail::parseMail(wire);
        EXPECT_EQ(back.fromAddress, u"Office@sms.example.org"_s);
        QString text = back.textBody;
        text.replace(u"\r\n"_s, u"\n"_s);
        EXPECT_EQ(text.trimmed(), QString(body).replace(u"\r\n"_s, u"\n"_s)) << int(encode);
    }
}
