#pragma once

#include "Clock.h"
#include "Database.h"

#include <QWidget>

class QComboBox;
class QDateEdit;
class QLineEdit;
class QPlainTextEdit;
class QTreeWidget;
class QTreeWidgetItem;

namespace ui {

class Dialogs;
class PageBar;

// "POP3 InBox for Web - To SMS Account": the e-mails the mailbox poll filed, which of them
// became SMS and why the others did not, filtered and paged newest first, with the text of the
// e-mail chosen. Deleting here removes only the filed copy.
class MailRequestInboxWindow final : public QWidget
{
    Q_OBJECT

public:
    MailRequestInboxWindow(const store::Database& db, Dialogs& dialogs, const store::Clock& clock, int pageSize,
                           QWidget* parent = nullptr);

    void fillList();
    void deleteSelected();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void showText(QTreeWidgetItem* item);

    const store::Database& m_db;
    Dialogs& m_dialogs;
    QComboBox* m_filter;
    QLineEdit* m_sender;
    QDateEdit* m_from;
    QDateEdit* m_to;
    QLineEdit* m_user;
    QTreeWidget* m_list;
    PageBar* m_pages;
    QPlainTextEdit* m_text;
};

} // namespace ui
