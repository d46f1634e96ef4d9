#pragma once

#include <QString>

namespace modem {

class AtLink;

// Puts the modem into text mode with the configured flow control, character set and caller
// identification. On success ModemInitialised is set; a failing step closes the port and the
// later steps are not tried.
bool InitialiseModem(AtLink& link, const QString& flowControl, const QString& characterSet, bool callerIdOn,
                     double delayFactor);

} // namespace modem
