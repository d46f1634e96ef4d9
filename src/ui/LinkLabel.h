#pragma once

#include <QLabel>

namespace ui {

// A label that acts like a hyperlink: underlined and clickable while enabled.
class LinkLabel final : public QLabel
{
    Q_OBJECT

public:
    explicit LinkLabel(const QString& text, QWidget* parent = nullptr);

    void setUnderlined(bool underlined);
    bool isUnderlined() const { return font().underline(); }
    // Clicks as a person would make them; also what tests use.
    void click();

Q_SIGNALS:
    void clicked();

protected:
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;
};

} // namespace ui
