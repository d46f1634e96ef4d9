#pragma once

#include <QString>

#include <optional>

namespace store {

// How the outbox is sent (Timer_Setting.SMSDeliveryMedia).
enum class DeliveryMedia
{
    None, // nothing chosen yet, or a stored word this version does not know
    Modem,
    SmtpGateway,
    MixMode,
};

// What the modem is asked to do with a sent SMS (Timer_Setting.SIMCardDeliveryMode).
enum class SimDeliveryMode
{
    None,
    StoreAndDeliver,
    DirectDeliver,
};

// Where Mix Mode sends the numbers that match its prefixes (Timer_Setting.MixModeDeliveryMedia).
enum class MixModeRoute
{
    None,
    Modem,
    SmtpGateway,
};

// The words the store keeps, one table per setting. Reading ignores case and surrounding
// blanks; an empty text is None; a word the table does not hold is nullopt, so the caller can
// say so instead of guessing.
std::optional<DeliveryMedia> parseDeliveryMedia(const QString& stored);
std::optional<SimDeliveryMode> parseSimDeliveryMode(const QString& stored);
std::optional<MixModeRoute> parseMixModeRoute(const QString& stored);
// The stored word; the empty text for None.
QString storedText(DeliveryMedia media);
QString storedText(SimDeliveryMode mode);
QString storedText(MixModeRoute route);

// The outbox can go out while no modem is connected (some or all of it by e-mail).
inline bool sendsWithoutModem(DeliveryMedia media)
{
    return media == DeliveryMedia::SmtpGateway || media == DeliveryMedia::MixMode;
}

} // namespace store
