#pragma once

#include "Clock.h"
#include "Database.h"

#include <QString>
#include <QStringList>

#include <expected>
#include <functional>

namespace mail {

// The four elements of an e-mail request; each empty when missing or out of order.
struct RequestTags
{
    QString userName;
    QString password;
    QString numbers;
    QString message;
};

RequestTags extractRequestTags(const QString& body);

// The text between "<tagName>" and "</tagName>", both found as their first occurrence in the
// whole body, case ignored; blanks are trimmed, tabs and line breaks are kept.
QString tagValue(const QString& body, const QString& tagName);

// One entry of the numbers list as it is queued: dashes, dots and all white space removed.
QString cleanMobileNumber(const QString& entry);

// The numbers element split on commas and line breaks, each entry cleaned; empty entries are
// dropped, and entries that are no number an SMS can go to are set apart, as typed but trimmed.
struct RequestNumbers
{
    QStringList sendable;
    QStringList skipped;
};
RequestNumbers splitRequestNumbers(const QString& numbers);

// Checks the request, authenticates the account, queues one outbox row per sendable number and
// charges one credit per row. Returns the outcome text, which also goes to `log` with one
// line per queued row; `skipped` receives the entries that were not numbers. Rows and charge are written together or
// not at all: a store failure leaves no trace of the request and comes back as the error.
std::expected<QString, store::StoreError> ProcessWebMailToSMSEmail(const store::Database& db, const store::Clock& clock,
                                                                   const QString& body,
                                                                   const std::function<void(const QString&)>& log,
                                                                   QStringList* skipped = nullptr);

} // namespace mail
