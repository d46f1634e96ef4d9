#pragma once

#include "AtParsers.h"
#include "Clock.h"
#include "Database.h"

#include <QObject>

#include <optional>

namespace modem {

// Notices incoming voice calls from the lines the modem sends on its own: logs each ring,
// records the call at its first caller number, identifies the caller's country, and tells
// when a call from a mobile number ended unanswered. The gateway never answers a call; what
// to do about a missed one is the engine's business.
class CallHandler final : public QObject
{
    Q_OBJECT

public:
    CallHandler(const store::Database& db, const store::Clock& clock, QObject* parent = nullptr);

    // A line from AtLink::unsolicitedLine.
    void onUnsolicitedLine(const QString& line);

    void IdentifyCallerNumber(const QString& number);
    void RecordIncomingCall(const QString& number);
    // The number of the last caller when the call-state answer of this tick says their call is
    // over unanswered and they called from a mobile number; nothing otherwise. It stays the
    // missed call until forgetMissedCall(), so a reply that could not be queued is tried again.
    std::optional<QString> missedCallOver(const QString& callStateAnswer) const;
    void forgetMissedCall();
    // A call-state query found no call: the ringing is over.
    void callEnded();
    // The call-state answer of a ring that named no caller (no +CLIP line: caller
    // identification off, or a modem that does not send it) supplies the number instead.
    void takeCallerFromCallList(const QString& clccAnswer);

    // The settings screen or a modem search is open: the caller is not identified then.
    bool IsSetupWindowOpen = false;

    int RingCounter = 1;
    int CLIPFoundCounter = 0;
    QString LastCallerNumber;
    QString LastCallStatus;
    bool IsLastCallerNumberMobile = false;
    QString CountryID = QStringLiteral("0");
    QString CountryCode = QStringLiteral("0");
    QString MobileNumber = QStringLiteral("0");
    bool callRinging() const { return m_callRinging; }

Q_SIGNALS:
    void logLine(const QString& message);
    void notice(const QString& text);
    // The caller hung up before anyone could answer: the timers may run again.
    void callerHungUp();
    void callerIdentified();
    // Each ring, for its sound.
    void rang();
    // A call started or ended ringing: the link reads "NO CARRIER" as the caller hanging up
    // while it rings.
    void ringingChanged(bool ringing);

private:
    void onRing();
    void onCallerNumber(const QString& line);
    void setCallRinging(bool ringing);

    const store::Database& m_db;
    const store::Clock& m_clock;
    bool m_callRinging = false;
};

} // namespace modem
