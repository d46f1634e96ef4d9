#pragma once

#include "MailServers.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace testing_support {

// The POP3 mailbox of the test servers, filled by dropping message files into its Maildir.
class TestMailbox
{
public:
    explicit TestMailbox(const MailServers& servers) : m_servers(servers) {}

    QString maildir() const { return QFileInfo(m_servers.value(QStringLiteral("MAILDIR_NEW"))).path(); }

    void empty() const
    {
        for (const char* sub : {"new", "cur"}) {
            QDir dir(maildir() + u'/' + QLatin1String(sub));
            for (const QString& name : dir.entryList(QDir::Files))
                dir.remove(name);
        }
    }

    int count() const
    {
        int n = 0;
        for (const char* sub : {"new", "cur"})
            n += int(QDir(maildir() + u'/' + QLatin1String(sub)).entryList(QDir::Files).size());
        return n;
    }

    // POP3 numbers follow the file names' order, so each message gets a later name.
    bool deliver(const QByteArray& mail) const
    {
        static int serial = 0;
        ++serial;
        const QString name = QStringLiteral("%1.%2.tarvogate-test").arg(1700000000 + serial).arg(serial);
        QFile file(m_servers.value(QStringLiteral("MAILDIR_NEW")) + u'/' + name);
        if (!file.open(QIODevice::WriteOnly))
            return false;
        file.write(mail);
        file.close();
        // A message file only root can read makes the server's fetch fail.
        return file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);
    }

    // A request e-mail as a registered user writes it.
    static QByteArray request(const QString& user, const QString& password, const QString& numbers, const QString& text,
                              const QString& date = QStringLiteral("Sun, 06 Dec 2026 16:02:48 +0530"))
    {
        QString mail = QStringLiteral("From: =?UTF-8?Q?Ren=C3=A9?= <rene@example.org>\r\nTo: sms@localhost\r\n"
                                      "Subject: SMS please\r\n");
        if (!date.isEmpty())
            mail += QStringLiteral("Date: ") + date + QStringLiteral("\r\n");
        mail += QStringLiteral("Content-Type: text/plain; charset=utf-8\r\n\r\nHello gateway,\r\n<smsusername>") +
                user + QStringLiteral("</smsusername>\r\n<smspassword>") + password +
                QStringLiteral("</smspassword>\r\n<tomobilenumbers>") + numbers +
                QStringLiteral("</tomobilenumbers>\r\n<message>") + text + QStringLiteral("</message>\r\nRegards\r\n");
        return mail.toUtf8();
    }

private:
    const MailServers& m_servers;
};

} // namespace testing_support
