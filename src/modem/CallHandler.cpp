#include "CallHandler.h"

#include "CallTable.h"

using namespace Qt::StringLiterals;

namespace modem {

CallHandler::CallHandler(const store::Database& db, const store::Clock& clock, QObject* parent)
    : QObject(parent), m_db(db), m_clock(clock)
{}

void CallHandler::setCallRinging(bool ringing)
{
    if (m_callRinging == ringing)
        return;
    m_callRinging = ringing;
    Q_EMIT ringingChanged(ringing);
}

void CallHandler::onUnsolicitedLine(const QString& line)
{
    if (line == u"RING"_s || line.startsWith(u"+CRING:"_s))
        onRing();
    else if (line.startsWith(u"+CLIP:"_s))
        onCallerNumber(line);
    else if (line == u"NO CARRIER"_s) {
        // The caller hung up.
        RingCounter = 1;
        setCallRinging(false);
        Q_EMIT callerHungUp();
    }
}

void CallHandler::onRing()
{
    Q_EMIT logLine(u"Incoming call detected."_s);
    setCallRinging(true);
    Q_EMIT rang();
    if (RingCounter == 1)
        CLIPFoundCounter = 0;
    ++RingCounter;
}

void CallHandler::onCallerNumber(const QString& line)
{
    const QString number = callerNumberIn(line);
    if (number.isEmpty())
        return;
    ++CLIPFoundCounter;
    LastCallerNumber = number;
    Q_EMIT logLine(u"ALERT : Incoming call detected from the number '"_s + number + u"'"_s);
    if (CLIPFoundCounter == 1) {
        // Nothing of the previous caller carries over to this one.
        IsLastCallerNumberMobile = false;
        RecordIncomingCall(number);
        LastCallStatus = u"RINGING"_s;
    }
    if (IsSetupWindowOpen)
        Q_EMIT notice(u"Please close all opened forms in application to disply Incomming Call."_s);
    else
        IdentifyCallerNumber(number);
}

void CallHandler::takeCallerFromCallList(const QString& clccAnswer)
{
    if (!m_callRinging || CLIPFoundCounter > 0 || !clccAnswer.contains(u"+CLCC:"_s))
        return;
    // The same steps as a caller number that came with the ring.
    onCallerNumber(clccAnswer);
}

void CallHandler::callEnded()
{
    if (m_callRinging) {
        RingCounter = 1;
        setCallRinging(false);
    }
}

void CallHandler::RecordIncomingCall(const QString& number)
{
    auto recorded = store::CallTable(m_db).insert(m_clock.now(), number.isEmpty() ? QString() : number, true);
    if (!recorded)
        Q_EMIT logLine(
            u"**ERROR** The call from '%1' could not be recorded: %2"_s.arg(number, recorded.error().message));
}

void CallHandler::IdentifyCallerNumber(const QString& number)
{
    Q_EMIT callerIdentified();
    std::vector<CountryCodeRow> countries;
    auto st = m_db.prepare(u"SELECT CountryId, CountryCode FROM Country ORDER BY CountryId"_s);
    while (st.next().value_or(false))
        countries.push_back({st.integer(0), st.text(1)});

    const CallerIdentity identity = identifyCaller(number, countries);
    CountryID = identity.countryId;
    CountryCode = identity.countryCode;
    // Decided afresh for every caller: a landline after a mobile caller gets no reply.
    IsLastCallerNumberMobile = identity.isMobile;
    MobileNumber = identity.isMobile ? identity.national : u"0"_s;
}

std::optional<QString> CallHandler::missedCallOver(const QString& callStateAnswer) const
{
    const auto mentionsACall = [](const QString& data) {
        return data.contains(u"CLCC"_s) || data.contains(u"CLIP"_s) || data.contains(u"RING"_s);
    };
    const QString& data = callStateAnswer;
    if (LastCallStatus.toUpper() != u"RINGING"_s || LastCallerNumber.size() <= 9 || mentionsACall(data) ||
        !IsLastCallerNumberMobile)
        return std::nullopt;
    // "OK" alone: the modem reports no call any more.
    if (!data.contains(u"OK"_s))
        return std::nullopt;
    return LastCallerNumber.trimmed();
}

void CallHandler::forgetMissedCall()
{
    LastCallStatus.clear();
    IsLastCallerNumberMobile = false;
    LastCallerNumber.clear();
}

} // namespace modem
