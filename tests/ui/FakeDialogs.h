#pragma once

#include "Dialogs.h"

#include <QDialog>
#include <QHash>
#include <QStringList>

#include <algorithm>
#include <deque>
#include <functional>

namespace testing_support {

// Records every message and answers questions from a script (Yes when none is left).
class FakeDialogs final : public ui::Dialogs
{
public:
    void information(QWidget*, const QString& text) override { shown(text); }
    void error(QWidget*, const QString& text) override { shown(text); }
    Answer question(QWidget*, const QString& text) override
    {
        shown(text);
        if (m_answers.empty())
            return Yes;
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    Answer offer(QWidget* parent, const QString& text, const QString&) override { return question(parent, text); }

    // A sub-dialog is answered by the handler set for its object name, which accepts or rejects
    // it (showing it first if it must run, as a search does); without one it is rejected unseen.
    int run(QDialog& dialog) override
    {
        opened << dialog.objectName();
        const auto handler = onDialog.find(dialog.objectName());
        if (handler == onDialog.end()) {
            dialog.reject();
            return QDialog::Rejected;
        }
        (*handler)(dialog);
        return dialog.result();
    }

    // Answered from saveFileNames in order; cancelled (a null string) when none is left.
    QString saveFileName(QWidget*, const QString&, const QString& suggested, const QString& filter) override
    {
        saveDialogs << suggested + u'|' + filter;
        if (saveFileNames.empty())
            return {};
        const QString name = saveFileNames.front();
        saveFileNames.pop_front();
        return name;
    }

    void answerNext(Answer answer) { m_answers.push_back(answer); }
    QString lastText() const { return texts.isEmpty() ? QString() : texts.last(); }

    QStringList texts;
    // The object names of the sub-dialogs run, in order, and how each is answered.
    QStringList opened;
    QHash<QString, std::function<void(QDialog&)>> onDialog;
    // The paths the save-file dialogs give, and what each was offered ("suggested|filter").
    std::deque<QString> saveFileNames;
    QStringList saveDialogs;
    // Runs while the outermost box is open, as the signals a real box's own event loop would
    // deliver meanwhile; a box opened from in here counts as nested.
    std::function<void(const QString& text)> whileOpen;
    // The most boxes that were open at once: 1 when none was ever opened inside another.
    int deepestNesting = 0;

private:
    void shown(const QString& text)
    {
        texts << text;
        ++m_open;
        deepestNesting = std::max(deepestNesting, m_open);
        if (whileOpen && m_open == 1)
            whileOpen(text);
        --m_open;
    }

    std::deque<Answer> m_answers;
    int m_open = 0;
};

} // namespace testing_support
