#pragma once

#include "Database.h"
#include "DateText.h"

#include <QtEndian>

#include <cstddef>
#include <limits>
#include <optional>
#include <span>

namespace store {

// The e-mail inbox keeps, for each day, its e-mails' senders and their SMS user names (as the
// row numbers of their kept values in WebMailToSMS_Senders and WebMailToSMS_UserNames), each
// with the e-mail's outcome, packed two or four bytes an e-mail in one blob a day and kind
// (WebMailToSMS_Days). A search that matches a large share of the e-mails counts them there
// instead of reading each e-mail's row or key: at a million e-mails both the matches and the
// others are too many to read on every page. A search by one kind reads that kind's blobs only.
//
// Packing a day on every insert would rewrite its blob each time, so triggers only note the day
// of an e-mail that comes, goes or changes (WebMailToSMS_StaleDays); the engine's tick packs such
// days again a few at a time, and until then a search counts a noted day from its rows. A value's
// row number stays with it while any e-mail holds it, so a packed day never names a value that
// has since gone or been renumbered. E-mails whose date is not in the store's own form belong to
// no day; the store counts them (the row of Day ''), and no search uses the days while any exist.

// Makes the tables and triggers (dropping any of an earlier make) and packs every day. Inside the
// caller's transaction.
std::expected<void, StoreError> installMailDays(const Database& db);

// The texts of one day (as "yyyy-MM-dd") in the store's form lie in [from, until): every date
// the days pack, and no other in the store while no e-mail is without a day.
inline DayRange packedDayTexts(const QString& day)
{
    return {day + QStringLiteral(" 00:00:00"), day + QStringLiteral("~")};
}

// How many noted days the engine packs on one tick: a day of a busy inbox takes a few ms.
inline constexpr int kMailDaysPerRefresh = 20;

// Packs up to `days` noted days, newest first, and returns how many were packed.
std::expected<int, StoreError> refreshMailDays(const Database& db, int days = kMailDaysPerRefresh);

// An e-mail's outcome as the inbox filters it: IsEmailSentToSMS = 0, <> 0, or NULL (neither).
enum class MailOutcome : quint8
{
    NotSent = 0,
    Sent = 1,
    Unknown = 2,
};

// The two kinds of value a day packs, as WebMailToSMS_Days.Kind holds them.
enum class PackedKind : int
{
    Senders = 0,
    UserNames = 1,
};

// A packed day's senders or user names, a word an e-mail (0 for an e-mail without the value)
// whose two top bits hold the e-mail's outcome. The words follow the e-mails' order in the list.
class PackedValues
{
public:
    // Nothing when the blob does not hold `mails` values as this version packs them.
    static std::optional<PackedValues> of(std::span<const std::byte> packed, qint64 mails)
    {
        if (packed.empty() || mails < 0)
            return std::nullopt;
        const auto width = std::size_t(packed.front());
        if ((width != 2 && width != 4) || packed.size() != 1 + std::size_t(mails) * width)
            return std::nullopt;
        return PackedValues(packed.subspan(1), int(width));
    }

    std::size_t size() const { return m_words.size() / std::size_t(m_width); }
    // Two bytes a word: small enough to be looked up in a table of every word.
    bool narrow() const { return m_width == 2; }
    quint32 word(std::size_t i) const
    {
        const std::byte* at = m_words.data() + i * std::size_t(m_width);
        return narrow() ? quint32(qFromLittleEndian<quint16>(at)) : qFromLittleEndian<quint32>(at);
    }
    // A word split into the value and the outcome.
    quint32 value(quint32 word) const { return word & ((quint32(1) << outcomeShift()) - 1); }
    MailOutcome outcome(quint32 word) const { return MailOutcome(word >> outcomeShift()); }

private:
    PackedValues(std::span<const std::byte> words, int width) : m_words(words), m_width(width) {}
    unsigned outcomeShift() const { return unsigned(m_width) * 8 - 2; }

    std::span<const std::byte> m_words;
    int m_width = 2;
};

} // namespace store
