#include "WebMailRequest.h"

#include "GatewaySettings.h"
#include "OutboxTable.h"
#include "UserAccountTable.h"

#include <QRegularExpression>
#include <QStringList>

#include <optional>

using namespace Qt::StringLiterals;

namespace mail {

namespace {

// The first failing check's reply; the order decides which reply a sender sees when several
// elements are missing.
std::optional<QString> syntaxFault(const RequestTags& tags)
{
    if (tags.userName.isEmpty())
        return u"SMSUserName does not exist"_s;
    if (tags.password.isEmpty())
        return u"SMSPassword does not exist"_s;
    if (tags.numbers.isEmpty() || tags.message.isEmpty())
        return u"Incoming email is not in valid syntax"_s;
    return std::nullopt;
}

} // namespace

QString tagValue(const QString& body, const QString& tagName)
{
    const QString opening = u"<"_s + tagName + u">"_s;
    const QString closing = u"</"_s + tagName + u">"_s;
    // Both tags are searched from the start: a stray closing tag ahead of the element voids it
    // rather than the next closing tag being taken.
    const qsizetype open = body.indexOf(opening, 0, Qt::CaseInsensitive);
    const qsizetype close = body.indexOf(closing, 0, Qt::CaseInsensitive);
    if (open < 0 || close < 0)
        return {};
    const qsizetype valueStart = open + opening.size();
    if (close < valueStart)
        return {};
    return store::trimBlanks(body.mid(valueStart, close - valueStart));
}

RequestTags extractRequestTags(const QString& body)
{
    return {tagValue(body, u"smsusername"_s), tagValue(body, u"smspassword"_s), tagValue(body, u"tomobilenumbers"_s),
            tagValue(body, u"message"_s)};
}

QString cleanMobileNumber(const QString& entry)
{
    QString number;
    for (const QChar c : entry) {
        if (c != u'-' && c != u'.' && !c.isSpace())
            number += c;
    }
    return number;
}

RequestNumbers splitRequestNumbers(const QString& numbers)
{
    static const QRegularExpression separators(u"[,\\r\\n]"_s);
    RequestNumbers result;
    for (const QString& entry : numbers.split(separators)) {
        const QString number = cleanMobileNumber(entry);
        if (number.isEmpty())
            continue;
        if (store::isSendableNumber(number))
            result.sendable << number;
        else
            result.skipped << entry.trimmed();
    }
    return result;
}

std::expected<QString, store::StoreError> ProcessWebMailToSMSEmail(const store::Database& db, const store::Clock& clock,
                                                                   const QString& body,
                                                                   const std::function<void(const QString&)>& log,
                                                                   QStringList* skipped)
{
    const RequestTags tags = extractRequestTags(body);
    const RequestNumbers numbers = splitRequestNumbers(tags.numbers);
    if (skipped != nullptr)
        *skipped = numbers.skipped;
    if (const auto fault = syntaxFault(tags)) {
        log(*fault);
        return *fault;
    }
    for (const QString& entry : numbers.skipped)
        log(u"**WARNING** '"_s + entry + u"' is not a mobile number: no SMS is queued for it."_s);
    // Nothing that can be sent, so nothing to authenticate or charge.
    if (numbers.sendable.isEmpty()) {
        const QString fault = u"Incoming email is not in valid syntax"_s;
        log(fault);
        return fault;
    }

    // The balance is read inside the same write transaction that stores it back, so a request
    // handled at the same time, or the accounts screen, cannot be overwritten by a stale value.
    store::Transaction transaction(db);
    if (!transaction.started())
        return std::unexpected(transaction.started().error());

    store::UserAccountTable accounts(db);
    const auto account = accounts.findByLogin(tags.userName, tags.password);
    if (!account)
        return std::unexpected(account.error());
    if (!*account) {
        const QString outcome =
            u"**WARNING** SMS user authentication failed for SMSUserName '"_s + tags.userName + u"'"_s;
        log(outcome);
        return outcome;
    }

    // Outbox rows of e-mail requests carry a from-name, if only an empty one; Null marks rows
    // queued any other way.
    QString fromName = store::trimBlanks((*account)->fromName);
    if (fromName.isNull())
        fromName = u""_s;

    const QDateTime now = clock.now();
    qint64 balance = (*account)->balanceCredits.value_or(0);
    QString outcome = u"Success"_s;
    QStringList queued;
    store::OutboxTable outbox(db);
    for (const QString& number : numbers.sendable) {
        if (balance < 1) {
            outcome = u"**WARNING** SMSUserName '"_s + tags.userName +
                      u"' does not have enough balance credits to send SMS"_s;
            break;
        }
        if (auto id = outbox.insert(number, tags.message, now, fromName); !id)
            return std::unexpected(id.error());
        --balance;
        queued << u"Webmail-To-SMS sent to Outbox from SMS Account: '"_s + tags.userName + u"' to mobile number '"_s +
                      number + u"'"_s;
    }

    // Written back even when nothing could be charged, so the date tells when the account last
    // sent a request.
    if (auto r = accounts.setBalance((*account)->userId, balance, now); !r)
        return std::unexpected(r.error());
    if (auto r = transaction.commit(); !r)
        return std::unexpected(r.error());

    // Logged only now, so the log never names a row that a failed commit took back.
    for (const QString& line : queued)
        log(line);
    log(outcome);
    return outcome;
}

} // namespace mail
