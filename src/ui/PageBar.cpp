#include "PageBar.h"

#include "Dialogs.h"
#include "ScreenParts.h"

#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>

#include <utility>

using namespace Qt::StringLiterals;

namespace ui {

bool acceptPageText(Dialogs& dialogs, QWidget* parent, QLineEdit* box, const QString& text, int page)
{
    static const QRegularExpression digits(u"^[0-9]+$"_s);
    if (text.isEmpty() || digits.match(text.trimmed()).hasMatch())
        return true;
    dialogs.information(parent, u"Please enter numeric value."_s);
    box->setText(QString::number(page));
    return false;
}

std::optional<int> enteredPage(Dialogs& dialogs, QWidget* parent, QLineEdit* box, int page, int pageCount)
{
    bool ok = false;
    const int typed = box->text().trimmed().toInt(&ok);
    if (ok && typed >= 1 && typed <= pageCount)
        return typed;
    dialogs.information(parent, u"This page does not exist."_s);
    box->setText(QString::number(page));
    return std::nullopt;
}

PageBar::PageBar(Dialogs& dialogs, Caption caption, int pageSize, QWidget* parent)
    : QWidget(parent), m_dialogs(dialogs), m_caption(caption), m_pageSize(std::max(pageSize, 1))
{
    m_previous = named(new QPushButton(u"<< Pre&vious"_s, this), u"cmdPrevious"_s);
    m_pageBox = named(new QLineEdit(u"1"_s, this), u"txtPages"_s);
    m_pageBox->setMaximumWidth(60);
    m_pagesCaption = named(new QLabel(this), u"lblPages"_s);
    m_next = named(new QPushButton(u"&Next >>"_s, this), u"cmdNext"_s);
    m_previous->setEnabled(false);
    m_next->setEnabled(false);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(m_previous);
    layout->addWidget(m_pageBox);
    layout->addWidget(m_pagesCaption);
    layout->addStretch();
    layout->addWidget(m_next);

    connect(m_next, &QPushButton::clicked, this, [this] {
        ++m_page;
        m_after = m_lastShown;
        Q_EMIT pageChosen();
    });
    connect(m_previous, &QPushButton::clicked, this, [this] {
        if (m_page > 1) {
            --m_page;
            m_before = m_firstShown;
        }
        Q_EMIT pageChosen();
    });
    connect(m_pageBox, &QLineEdit::textEdited, this, &PageBar::onEdited);
    // Enter in the page box is for the box alone: passed on, it would also press the dialog's
    // default button, and "&Show" would take the report back to page 1.
    m_pageBox->installEventFilter(this);
}

bool PageBar::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pageBox && event->type() == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Return || key == Qt::Key_Enter) {
            onEntered();
            return true;
        }
    }
    return QWidget::eventFilter(watched, event);
}

store::ReportPaging PageBar::paging(const QString& list)
{
    store::ReportPaging paging;
    paging.page = m_page;
    paging.pageSize = m_pageSize;
    paging.after = std::exchange(m_after, std::nullopt);
    paging.before = std::exchange(m_before, std::nullopt);
    if (list != m_list) {
        paging.after.reset();
        paging.before.reset();
    }
    m_list = list;
    m_firstShown.reset();
    m_lastShown.reset();
    m_pageBox->setText(QString::number(m_page));
    return paging;
}

void PageBar::shown(qint64 total, const std::optional<store::ReportKey>& first,
                    const std::optional<store::ReportKey>& last)
{
    m_firstShown = first;
    m_lastShown = last;
    if (total <= 0) {
        m_pageCount = 0;
        m_pagesCaption->clear();
    } else {
        const qint64 whole = total / m_pageSize;
        const bool full = total % m_pageSize == 0;
        m_pageCount = int(full ? whole : whole + 1);
        if (m_caption == Caption::RecordsWithPages)
            m_pagesCaption->setText(u"of %1 Pages. Total Records : %2"_s.arg(m_pageCount).arg(total));
        else if (full)
            m_pagesCaption->setText(u"of %1 Total records: %2"_s.arg(m_pageCount).arg(total));
        else
            m_pagesCaption->setText(u"of %1 Pages. Total records: %2"_s.arg(m_pageCount).arg(total));
    }
    m_next->setEnabled(m_pageCount > m_page);
    m_previous->setEnabled(m_page > 1);
    // A report of one page has nowhere to go.
    if (m_caption == Caption::RecordsWithPages && m_pageCount == 1) {
        m_next->setEnabled(false);
        m_previous->setEnabled(false);
    }
}

void PageBar::failed()
{
    m_pageCount = 0;
    m_next->setEnabled(false);
    m_previous->setEnabled(m_page > 1);
}

void PageBar::onEdited(const QString& text)
{
    acceptPageText(m_dialogs, this, m_pageBox, text, m_page);
}

void PageBar::onEntered()
{
    if (const auto typed = enteredPage(m_dialogs, this, m_pageBox, m_page, m_pageCount)) {
        m_page = *typed;
        Q_EMIT pageChosen();
    }
}

} // namespace ui
