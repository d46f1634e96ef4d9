#pragma once

#include <QDir>
#include <QFile>
#include <QHash>
#include <QString>

#include <gtest/gtest.h>

namespace testing_support {

// The loopback POP3 and SMTP servers the test scripts started, as their servers.env file
// describes them (KEY=VALUE lines). SMTP_PLAIN_AUTH_PORT offers AUTH without STARTTLS; the
// postfix log (POSTFIX_LOG) shows which logins reached the server.
class MailServers
{
public:
    static const MailServers& instance()
    {
        static const MailServers servers;
        return servers;
    }

    bool available() const { return !m_values.isEmpty(); }
    QString value(const QString& key) const { return m_values.value(key); }
    int port(const QString& key) const { return m_values.value(key).toInt(); }

    // The messages the SMTP server delivered, oldest first.
    QStringList delivered() const
    {
        QDir dir(value(QStringLiteral("DELIVERED_DIR")) + QStringLiteral("/new"));
        return dir.entryList(QDir::Files, QDir::Time | QDir::Reversed);
    }
    QByteArray deliveredMessage(const QString& name) const
    {
        QFile file(value(QStringLiteral("DELIVERED_DIR")) + QStringLiteral("/new/") + name);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

private:
    MailServers()
    {
        QFile env(qEnvironmentVariableIsSet("TARVOGATE_MAIL_SERVERS_ENV")
                      ? qEnvironmentVariable("TARVOGATE_MAIL_SERVERS_ENV")
                      : QStringLiteral(TARVOGATE_MAIL_SERVERS_ENV));
        if (!env.open(QIODevice::ReadOnly))
            return;
        for (const QByteArray& line : env.readAll().split('\n')) {
            const qsizetype eq = line.indexOf('=');
            if (eq > 0) {
                QString value = QString::fromUtf8(line.mid(eq + 1)).trimmed();
                if (value.size() >= 2 && (value.startsWith(u'"') || value.startsWith(u'\'')))
                    value = value.mid(1, value.size() - 2);
                m_values.insert(QString::fromUtf8(line.left(eq)).trimmed(), value);
            }
        }
    }

    QHash<QString, QString> m_values;
};

} // namespace testing_support
