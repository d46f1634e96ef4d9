#pragma once

#include "ReportQueries.h"

#include <QWidget>

#include <optional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace ui {

class Dialogs;

// The page box's two checks, shared by every paged screen. A typed text that is no number is
// refused at once and the page shown put back; true when the text may stand.
bool acceptPageText(Dialogs& dialogs, QWidget* parent, QLineEdit* box, const QString& text, int page);
// Enter in the page box: the page typed, if there is one of that number; otherwise the refusal
// is shown and the page shown put back.
std::optional<int> enteredPage(Dialogs& dialogs, QWidget* parent, QLineEdit* box, int page, int pageCount);

// "<< Previous", the page box, the page caption and "Next >>" of a paged report, with the
// page shown and the keys of its first and last rows, so Next and Previous read on from there.
class PageBar final : public QWidget
{
    Q_OBJECT

public:
    enum class Caption
    {
        // "of 3 Pages. Total records: 250", or "of 2 Total records: 200" when the pages are full.
        Records,
        // "of 3 Pages. Total Records : 1200", full pages or not.
        RecordsWithPages,
    };

    PageBar(Dialogs& dialogs, Caption caption, int pageSize, QWidget* parent = nullptr);

    int page() const { return m_page; }
    void setPage(int page) { m_page = std::max(page, 1); }
    int pageCount() const { return m_pageCount; }
    int pageSize() const { return m_pageSize; }

    // The page to read for the list `list` (its filters and sort, in one text): the keys that
    // Next or Previous left are used once, and only for the list they were shown from.
    store::ReportPaging paging(const QString& list);
    // What the fill found: the caption, the page count and the buttons follow it. An empty
    // result clears the caption and the page count, so Next is never offered into nothing.
    void shown(qint64 total, const std::optional<store::ReportKey>& first, const std::optional<store::ReportKey>& last);
    void failed();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

Q_SIGNALS:
    // Next, Previous or a page typed into the box: the screen fills the page now in page().
    void pageChosen();

private:
    void onEdited(const QString& text);
    void onEntered();

    Dialogs& m_dialogs;
    Caption m_caption;
    int m_pageSize;
    int m_page = 1;
    int m_pageCount = 0;
    QString m_list;
    std::optional<store::ReportKey> m_firstShown;
    std::optional<store::ReportKey> m_lastShown;
    std::optional<store::ReportKey> m_after;
    std::optional<store::ReportKey> m_before;

    QPushButton* m_previous;
    QLineEdit* m_pageBox;
    QLabel* m_pagesCaption;
    QPushButton* m_next;
};

} // namespace ui
