#pragma once

#include "AtParsers.h"
#include "SmsPdu.h"

#include <QDateTime>
#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace modem {

class AtLink;
struct AtAnswer;

// One message of a SIM listing, decoded from its PDU.
struct SimEntry
{
    int index = 0;
    int status = 0;     // 0 REC UNREAD, 1 REC READ, 2 STO UNSENT, 3 STO SENT
    QString statusName; // as the screens show it
    QString pdu;        // as listed, so a message is known again by it
    std::optional<SmsPdu> message;
    QString problem; // why the PDU could not be read, when it could not
};

struct SimListing
{
    bool listed = false;          // the modem gave a whole listing
    bool callInProgress = false;  // the call-state query said a call is on: nothing was listed
    std::vector<SimEntry> entries;
    QStringList problems;         // framing errors, one log line each
    int count() const { return int(entries.size()); }
};

// What a delete by status did with each message its listing found.
struct SimDeletion
{
    SimListing listing;
    std::vector<int> deleted; // slots the modem confirmed as deleted
    std::vector<int> failed;  // slots the modem would not delete
    std::vector<int> kept;    // slots left alone because keep() said so
};

// How a send ended, as far as the row in the outbox is concerned.
enum class SendOutcome
{
    Sent,        // every part confirmed by the modem
    NotSent,     // nothing of the last part can have gone out: the row may be tried again
    Unconfirmed, // a text went to the modem without a confirmation: it may have been sent
};

struct SendResult
{
    SendOutcome outcome = SendOutcome::NotSent;
    int partsConfirmed = 0; // parts of the whole text the modem confirmed, earlier runs' included
    QString answer;         // the modem's last answer, for the log
};

// What a send is told from outside: where to resume, where to note each confirmed part, and
// when to stop between parts.
struct SendControl
{
    int firstPart = 0;
    std::function<void(int partsConfirmed)> partConfirmed;
    std::function<bool()> stopRequested;
};

// The SIM's messages through the modem: listing (in PDU mode, so that no message text can be
// read as the modem's own words), deleting, sending directly or storing and sending from the
// SIM (in text mode).
class SimCommands
{
public:
    // delayFactor is read at every call, so a changed setting applies at once.
    SimCommands(AtLink& link, std::function<double()> delayFactor, std::function<void(const QString&)> log);

    // status: "REC UNREAD", "REC READ", "STO UNSENT", "STO SENT" or "ALL".
    SimListing ListSimMessages(const QString& status, int waitMs);
    // Deletes the messages a listing of the status finds, except those keep() holds on to;
    // only the slots of this listing are touched.
    SimDeletion DeleteSimMessagesByStatus(const QString& status, const std::function<bool(const SimEntry&)>& keep = {});
    // True when the modem confirmed the delete.
    bool DeleteSimMessage(int index);

    SendResult SendMessageStoreAndDeliver(const QString& number, const QString& text, const SendControl& control = {});
    SendResult SendMessageDirect(const QString& number, const QString& text, const SendControl& control = {});

    // The call state ("Active", "Incoming", ..., "ERROR" or the plain answer), and the answer
    // it was read from.
    QString GetCallState(AtAnswer* answer = nullptr);

    // How long a text that went out may still take to be confirmed: a network can be slow,
    // but a gateway must not hang on a modem that never answers.
    void setConfirmWaitMs(int ms) { m_confirmWaitMs = ms; }

private:
    int wait(double multiplierMs) const;
    // The prompt for a text, the text, and its confirmation: one part through +CMGS or +CMGW.
    struct PartResult
    {
        SendOutcome outcome = SendOutcome::NotSent;
        QString info; // "+CMGS: 12" / "+CMGW: 3"
        QString answer;
    };
    PartResult submitText(const QString& commandLine, const QString& text, int promptWait, int promptRetries,
                          int textWait, int textRetries, const QString& confirmation, int confirmWaitMs);
    // An answer that lacks its final result is waited for up to confirmWaitMs; one that never
    // completes leaves the part unconfirmed and the line escaped.
    PartResult judgeConfirmation(AtAnswer answer, const QString& confirmation, int confirmWaitMs);
    PartResult sendStored(int slot);
    SendResult sendParts(const QString& text, const SendControl& control,
                         const std::function<PartResult(const QString& part)>& sendPart);

    AtLink& m_link;
    std::function<double()> m_delayFactor;
    std::function<void(const QString&)> m_log;
    int m_confirmWaitMs = 60000;
};

// The PDU-mode status number of a status name ("ALL" is 4); -1 for an unknown name.
int pduListingStatus(const QString& statusName);

} // namespace modem
