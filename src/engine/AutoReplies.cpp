#include "AutoReplies.h"

#include "OutboxTable.h"
#include "TextRules.h"

using namespace Qt::StringLiterals;

namespace engine {

std::optional<store::AutoReplyRow> matchKeyword(const QString& messageText,
                                                const std::vector<store::AutoReplyRow>& rows)
{
    QString text = messageText.trimmed();
    text.remove(u"\r\n"_s);
    text.remove(u'\r');
    text = text.toUpper().trimmed();
    for (const store::AutoReplyRow& row : rows) {
        // A command is looked for as typed: one saved with a trailing blank wants a blank after
        // it. A blank command would answer every message.
        const QString command = row.command.toUpper();
        if (!command.trimmed().isEmpty() && text.contains(command))
            return row;
    }
    return std::nullopt;
}

std::expected<bool, store::StoreError> AutoReplies::queueKeywordReply(const QString& sender, const QString& text,
                                                                      const QDateTime& now)
{
    store::AutoReplyTable replies(m_db);
    auto on = replies.isSwitchedOn();
    if (!on)
        return std::unexpected(on.error());
    if (!*on)
        return false;
    auto rows = replies.all();
    if (!rows)
        return std::unexpected(rows.error());
    const auto match = matchKeyword(text, *rows);
    if (!match)
        return false;
    m_log(u"Sending AutoReply to SMS."_s);
    if (auto queued = store::OutboxTable(m_db).insert(sender, store::trimBlanks(match->reply), now); !queued)
        return std::unexpected(queued.error());
    return true;
}

std::expected<void, store::StoreError> AutoReplies::queueMissedCallReply(const QString& caller, const QString& text,
                                                                         const QDateTime& now)
{
    if (auto queued = store::OutboxTable(m_db).insert(caller.trimmed(), text, now); !queued)
        return std::unexpected(queued.error());
    return {};
}

} // namespace engine
