#include "Outcome.h"

namespace modemsim {

namespace {

QByteArray cmeText(int code)
{
    switch (code) {
    case 3:
        return "operation not allowed";
    case 4:
        return "operation not supported";
    case 10:
        return "SIM not inserted";
    case 11:
        return "SIM PIN required";
    case 13:
        return "SIM failure";
    case 30:
        return "no network service";
    case 100:
        return "unknown";
    default:
        return {};
    }
}

} // namespace

QByteArray informationText(const ModemSettings& settings, const QByteArray& text)
{
    return settings.verbose ? "\r\n" + text + "\r\n" : text + "\r\n";
}

QByteArray resultCode(const ModemSettings& settings, const Outcome& outcome)
{
    if (settings.quiet || outcome.kind == Outcome::Silent)
        return {};
    const bool verbose = settings.verbose;
    switch (outcome.kind) {
    case Outcome::Ok:
        return verbose ? "\r\nOK\r\n" : "0\r";
    case Outcome::NoCarrier:
        return verbose ? "\r\nNO CARRIER\r\n" : "3\r";
    case Outcome::CmsError:
        if (settings.errorReports > 0)
            return informationText(settings, "+CMS ERROR: " + QByteArray::number(outcome.code));
        break;
    case Outcome::CmeError:
        if (settings.errorReports == 2 && !cmeText(outcome.code).isEmpty())
            return informationText(settings, "+CME ERROR: " + cmeText(outcome.code));
        if (settings.errorReports > 0)
            return informationText(settings, "+CME ERROR: " + QByteArray::number(outcome.code));
        break;
    case Outcome::Error:
    case Outcome::Prompt:
    case Outcome::Silent:
        break;
    }
    return verbose ? "\r\nERROR\r\n" : "4\r";
}

} // namespace modemsim
