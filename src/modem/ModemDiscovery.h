#pragma once

#include "AtLink.h"

#include <QList>
#include <QStringList>

#include <functional>

namespace modem {

// A device that answered the probe, with what it says of itself.
struct FoundModem
{
    QString port;
    QString manufacturer;
    QString model;

    friend bool operator==(const FoundModem&, const FoundModem&) = default;
};

// The most devices one search probes.
inline constexpr int kMaxProbedPorts = 20;

// The serial devices present, each under its stable /dev/serial/by-id/ name where it has one.
// Links in that folder whose device the system's port list does not show (a virtual port, a
// simulator) are listed too. byIdFolder is for tests.
QStringList serialPortCandidates(const QString& byIdFolder = QStringLiteral("/dev/serial/by-id"));

// The modem's manufacturer (AT+CGMI) and model (AT+CGMM) over an open link.
QString GetManufacturer(AtLink& link, double delayFactor);
QString GetModel(AtLink& link, double delayFactor);

struct DiscoveryHooks
{
    // done of total devices probed so far.
    std::function<void(int done, int total)> progress;
    // Read between steps; true ends the search without results.
    std::function<bool()> cancelled;
};

struct DiscoveryResult
{
    QList<FoundModem> modems;
    int searched = 0;
    bool cancelled = false;
};

// Probes each device (at most kMaxProbedPorts) with a plain AT at 115200,N,8,1, then asks every
// one that answered for its manufacturer and model. A device that does not open is skipped;
// any answer, an ERROR too, counts as a modem. The link is closed afterwards.
DiscoveryResult discoverModems(AtLink& link, const QStringList& ports, double delayFactor, const DiscoveryHooks& hooks);

} // namespace modem
