#pragma once

#include "Clock.h"

#include <QWidget>

class QLabel;
class QPushButton;

namespace ui {

// Where the engine's notices go that nobody waits for: those of the timers' runs, and any that
// arrive while a notice box is already up. A modal box for each would stack one inside the
// other on an unattended gateway until the program ran out of stack; this one window is updated
// in place instead, is never modal and never takes the focus from what the operator is doing.
class NoticeWindow final : public QWidget
{
    Q_OBJECT

public:
    explicit NoticeWindow(const store::Clock& clock, QWidget* parent = nullptr);

    // Shows the text as the latest notice and counts it among those not yet looked at.
    void addNotice(const QString& text);
    // The operator has looked: the count starts again and the window goes away.
    void dismiss();

    int unseenCount() const { return m_unseen; }
    QString latestText() const;
    QString countText() const;

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void resetCount();

    const store::Clock& m_clock;
    int m_unseen = 0;
    QLabel* m_text = nullptr;
    QLabel* m_time = nullptr;
    QLabel* m_count = nullptr;
    QPushButton* m_dismiss = nullptr;
};

} // namespace ui
