#pragma once

#include "ModemSettings.h"

#include <QByteArray>

namespace modemsim {

// How a command ended: the final result code it leads to, or a "> " prompt that waits for a message text.
struct Outcome
{
    enum Kind
    {
        Ok,
        Error,
        CmsError,
        CmeError,
        NoCarrier,
        Prompt,
        Silent
    };
    Kind kind = Ok;
    int code = 0; // the error number of a CmsError or CmeError
};

inline Outcome ok()
{
    return {};
}

inline Outcome error()
{
    return {Outcome::Error, 0};
}

inline Outcome cms(int code)
{
    return {Outcome::CmsError, code};
}

inline Outcome cme(int code)
{
    return {Outcome::CmeError, code};
}

// A line of information text, or an unsolicited result code, as ATV frames it.
QByteArray informationText(const ModemSettings& settings, const QByteArray& text);
// The final result code; nothing under ATQ1, and errors as +CMEE asks for them.
QByteArray resultCode(const ModemSettings& settings, const Outcome& outcome);

} // namespace modemsim
