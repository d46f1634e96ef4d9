#pragma once

#include "Dialogs.h"

#include <QStringList>

#include <deque>

namespace testing_support {

// Records every message and answers questions from a script (Yes when none is left).
class FakeDialogs final : public ui::Dialogs
{
public:
    void information(QWidget*, const QString& text) override { texts << text; }
    void error(QWidget*, const QString& text) override { texts << text; }
    Answer question(QWidget*, const QString& text) override
    {
        texts << text;
        if (m_answers.empty())
            return Yes;
        const Answer answer = m_answers.front();
        m_answers.pop_front();
        return answer;
    }

    void answerNext(Answer answer) { m_answers.push_back(answer); }
    QString lastText() const { return texts.isEmpty() ? QString() : texts.last(); }

    QStringList texts;

private:
    std::deque<Answer> m_answers;
};

} // namespace testing_support
