#pragma once

#include <QDateTime>

namespace store {

// The one source of "now" for everything that stamps rows or log lines, so tests can set it.
class Clock
{
public:
    virtual ~Clock() = default;
    virtual QDateTime now() const = 0;
};

class SystemClock final : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

} // namespace store
