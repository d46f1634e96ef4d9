#include "ModemStartUp.h"

#include "AtLink.h"
#include "AtParsers.h"

#include <vector>

using namespace Qt::StringLiterals;

namespace modem {

namespace {

// One step of the start-up sequence; the sequence is data, walked by one loop.
struct Step
{
    QString command; // without the trailing CR
    QString failure; // shown after three ERROR answers; empty: none
    bool mustSucceed = true;
    bool traceKeepsLineBreaks = false;
};

constexpr double kWaitMs = 50;
constexpr int kRetries = 5;

} // namespace

bool InitialiseModem(AtLink& link, const QString& flowControl, const QString& characterSet, bool callerIdOn,
                     double delayFactor)
{
    std::vector<Step> steps;
    bool ok = false;
    const int flow = flowControl.trimmed().toInt(&ok);
    if (ok && flow != 0)
        steps.push_back({u"AT+FLO="_s + flowControl, QString(), false, true});
    steps.push_back({u"ATE0"_s, u"Error occured while executing this command: ATE0"_s});
    steps.push_back(
        {u"AT+CSCS=\""_s + characterSet + u"\""_s, u"Error occured while executing this command: AT+CSCS"_s});
    if (callerIdOn)
        steps.push_back({u"AT+CLIP=1"_s, u"Your modem does not support 'CallerID' feature."_s});
    steps.push_back({u"AT+CMGF=1"_s, u"Error occured while executing this command: AT+CMGF=1"_s});

    const int wait = scaledWait(kWaitMs, delayFactor);
    for (const Step& step : steps) {
        const AtAnswer answer = link.SendCommand(step.command + u"\r"_s, wait, u"OK"_s, kRetries, step.failure);
        Q_EMIT link.logLine(u"Response for "_s + step.command + u" is '"_s +
                            (step.traceKeepsLineBreaks ? answer.text() : withoutCrLf(answer.text())) + u"'"_s);
        if (step.mustSucceed && !answer.succeeded) {
            link.ClosePort();
            return false;
        }
    }
    link.setCharacterSet(characterSet);
    link.setInitialised(true);
    return true;
}

} // namespace modem
