#pragma once

#include "Gateway.h"

#include <QWidget>

#include <array>

class QCheckBox;
class QPushButton;
class QTreeWidget;

namespace ui {

class Dialogs;

// "Manage Messages": the messages on the SIM card by status, shown, deleted one by one or by
// status. Everything that talks to the modem runs on the engine's thread; the screen asks,
// shows the busy cursor meanwhile and takes the rows from the engine's signals, so it stays
// live and can be closed at any time. Only answers to its own latest request are taken.
class SimMessagesWindow final : public QWidget
{
    Q_OBJECT

public:
    static inline const QString kNotCommunicating =
        QStringLiteral("Computer is not communicating with the modem. Please select the option 'Listen To Modem' "
                       "before executing any modem commands.");

    // The list's columns; the last one, hidden, holds the SIM index.
    enum Column
    {
        MessageColumn,
        StatusColumn,
        NumberColumn,
        IndexColumn
    };

    // modemConnected: the modem's state as the screen opens; it follows the engine afterwards.
    SimMessagesWindow(engine::Gateway* gateway, Dialogs& dialogs, bool modemConnected, QWidget* parent = nullptr);
    ~SimMessagesWindow() override;

    // A request of this screen is running on the engine.
    bool isBusy() const { return m_request != 0; }

private:
    enum class Request
    {
        Listing,
        RowDelete,
        StatusDelete
    };

    void showMessages();
    void deleteSelected();
    void deleteByStatus();
    void onListed(int request, const QString& status, const QList<engine::SimMessageRow>& rows);
    void onFinished(int request, engine::SimRequestOutcome outcome);
    // False, with the operator told, when the modem is not connected.
    bool modemReady();
    void startRequest(int request, Request kind);
    void setBusy(bool busy);
    // The screen as it opens: nothing listed, nothing ticked.
    void reopen();

    engine::Gateway* m_gateway;
    Dialogs& m_dialogs;
    bool m_modemConnected;
    int m_request = 0;
    Request m_requestKind = Request::Listing;

    std::array<QCheckBox*, 5> m_readStatuses{};
    std::array<QCheckBox*, 5> m_deleteStatuses{};
    QTreeWidget* m_list = nullptr;
    QCheckBox* m_selectAll = nullptr;
    QPushButton* m_show = nullptr;
    QPushButton* m_deleteSelected = nullptr;
    QPushButton* m_delete = nullptr;
};

} // namespace ui
