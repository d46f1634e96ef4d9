#pragma once

#include <QTimer>
#include <QWidget>

namespace ui {

// The splash picture: closes after its timer, on a click or on a key, whichever comes first.
class SplashScreen final : public QWidget
{
    Q_OBJECT

public:
    explicit SplashScreen(int closeAfterMs = 3000, QWidget* parent = nullptr);

    void closeSplash();

Q_SIGNALS:
    void closed();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    QTimer m_timer;
    bool m_closed = false;
};

} // namespace ui
