#pragma once

#include "Clock.h"
#include "Database.h"
#include "MessageListQuery.h"

#include <QPointer>
#include <QWidget>

#include <array>
#include <optional>

class QAction;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QTreeWidget;
class QTreeWidgetItem;

namespace engine {
class Gateway;
}

namespace ui {

class Dialogs;
class WaitDialog;

// The operator's view of the messages: the folder tree with its counts, a paged list of the
// folder chosen, a search by mobile number, the preview, and compose, send, receive, reply,
// forward and delete. What each folder lists, how and in which columns, is one table in the
// .cpp file; each row carries its store id in Qt::UserRole.
class MessageBoxWindow final : public QWidget
{
    Q_OBJECT

public:
    enum class Folder
    {
        None,
        Inbox,
        Outbox,
        Sent
    };
    // What a list column shows of a row.
    enum class Field
    {
        Number,
        Name, // no store table holds names: always empty
        Message,
        Date,
        Status
    };

    MessageBoxWindow(const store::Database& db, engine::Gateway* gateway, Dialogs& dialogs, const store::Clock& clock,
                     int pageSize, QWidget* parent = nullptr);
    ~MessageBoxWindow() override;

    // The opening steps: msgType "O" shows the Outbox, anything else the Inbox.
    void open(const QString& msgType);

    void fillTreeView();
    void fillListInbox();
    void fillListOutbox();
    void fillListSent();
    void DeleteSMS();

    Folder folder() const { return m_folder; }
    int currentPage() const { return m_page; }
    int pageCount() const { return m_pageCount; }
    // The ORDER BY key the folder's list is sorted by.
    QString sortKey(Folder folder) const;

Q_SIGNALS:
    // A message was queued through compose: the dashboard may count it at once.
    void outboxChanged();
    // "&Settings": the main window opens the settings on their timer tab.
    void settingsRequested();
    // "Auto Repl&y": the main window opens the keyword replies.
    void autoReplyRequested();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildToolBar();
    void selectFolder(Folder folder);
    void fill(Folder folder);
    void refillShown();
    void showColumns(Folder folder);
    void fitColumns();
    void addRow(const store::MessageListRow& row);
    // The column showing the field in the list as it stands, or -1.
    int columnOf(Field field) const;
    void setRowButtons(bool enabled);
    void onTreeClicked(QTreeWidgetItem* item);
    QTreeWidgetItem* folderNode(Folder folder) const;
    void onRowClicked(QTreeWidgetItem* item);
    void onHeaderClicked(int column);
    void onPageEdited(const QString& text);
    void onPageEntered();
    void compose(const QString& numbers, const QString& message);
    void reply();
    void forward();
    void receiveAll();
    void addStoredMessage(qint64 id, const QString& sender, const QString& text, const QDateTime& when);
    void emptyPreview();
    void showMessage(const QString& stored);
    QString searchText() const;

    const store::Database& m_db;
    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    const store::Clock& m_clock;
    int m_pageSize;

    Folder m_folder = Folder::None;
    // The folder whose columns the list shows: the Inbox's until a folder is listed.
    Folder m_columnsOf = Folder::None;
    int m_page = 1;
    int m_pageCount = 0;
    // Next and Previous read on from the rows shown rather than counting rows off again.
    std::optional<store::MessageListKey> m_firstShown;
    std::optional<store::MessageListKey> m_lastShown;
    std::optional<store::MessageListKey> m_after;
    std::optional<store::MessageListKey> m_before;
    // The folder, filter, search and sort the shown keys belong to: a key from another list
    // would find another page than the number says.
    QString m_shownList;
    // By folder, in the order of the Folder values after None.
    std::array<QString, 3> m_sortKeys;

    QAction* m_reply = nullptr;
    QAction* m_forward = nullptr;
    QAction* m_delete = nullptr;
    QTreeWidget* m_tree = nullptr;
    QRadioButton* m_all = nullptr;
    QRadioButton* m_unread = nullptr;
    QLineEdit* m_search = nullptr;
    QTreeWidget* m_list = nullptr;
    QPushButton* m_previous = nullptr;
    QPushButton* m_next = nullptr;
    QLineEdit* m_pageBox = nullptr;
    QLabel* m_pagesCaption = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_number = nullptr;
    QPlainTextEdit* m_message = nullptr;
    QPointer<WaitDialog> m_wait;
};

} // namespace ui
