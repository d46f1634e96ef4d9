#include "DeliveryOptions.h"

#include "TextRules.h"

#include <utility>

using namespace Qt::StringLiterals;

namespace store {

namespace {

template <typename Value, std::size_t N> using Words = std::pair<Value, const char16_t*>[N];

const Words<DeliveryMedia, 3> kDeliveryMedia = {
    {DeliveryMedia::Modem, u"MODEM"},
    {DeliveryMedia::SmtpGateway, u"SMTPSMSGATEWAY"},
    {DeliveryMedia::MixMode, u"MIXMODE"},
};
const Words<SimDeliveryMode, 2> kSimDeliveryModes = {
    {SimDeliveryMode::StoreAndDeliver, u"STORE AND DELIVER"},
    {SimDeliveryMode::DirectDeliver, u"DIRECT DELIVER"},
};
const Words<MixModeRoute, 2> kMixModeRoutes = {
    {MixModeRoute::Modem, u"MODEM"},
    {MixModeRoute::SmtpGateway, u"SMTPSMSGATEWAY"},
};

template <typename Value, std::size_t N> std::optional<Value> parse(const Words<Value, N>& words, const QString& stored)
{
    // Blanks only: a tab or line break makes it another word.
    const QString word = trimBlanks(stored);
    if (word.isEmpty())
        return Value::None;
    for (const auto& [value, text] : words) {
        if (word.compare(QString::fromUtf16(text), Qt::CaseInsensitive) == 0)
            return value;
    }
    return std::nullopt;
}

template <typename Value, std::size_t N> QString textOf(const Words<Value, N>& words, Value value)
{
    for (const auto& [candidate, text] : words) {
        if (candidate == value)
            return QString::fromUtf16(text);
    }
    return {};
}

} // namespace

std::optional<DeliveryMedia> parseDeliveryMedia(const QString& stored)
{
    return parse(kDeliveryMedia, stored);
}

std::optional<SimDeliveryMode> parseSimDeliveryMode(const QString& stored)
{
    return parse(kSimDeliveryModes, stored);
}

std::optional<MixModeRoute> parseMixModeRoute(const QString& stored)
{
    return parse(kMixModeRoutes, stored);
}

QString storedText(DeliveryMedia media)
{
    return textOf(kDeliveryMedia, media);
}

QString storedText(SimDeliveryMode mode)
{
    return textOf(kSimDeliveryModes, mode);
}

QString storedText(MixModeRoute route)
{
    return textOf(kMixModeRoutes, route);
}

} // namespace store
