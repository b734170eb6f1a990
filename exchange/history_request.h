#pragma once
// Loads the shown officer's history into a model through the message bus, as a retrieval is
// loaded, under an address of its own so that the document's replies are never confused with
// it.

#include "exchange/history_model.h"
#include "groups/document_state.h"

#include <QCoreApplication>
#include <QString>
#include <QVariant>

#include <functional>

namespace zavek {

class HistoryRequest {
    Q_DECLARE_TR_FUNCTIONS(zavek::HistoryRequest)

public:
    enum class State { NoOfficer, Loading, Shown, Failed };

    HistoryRequest(DocumentServices services, HistoryModel& model);

    // Asks for the history of the officer shown now; with none, the model is emptied.
    void load();
    void clear();
    void moKelbMessage_DataReady(const QString& recipient);
    void moKelbMessage_MsgTimeout(const QVariant& argument);

    State state() const { return state_; }
    // What the view says above the table.
    QString message() const { return message_; }
    // The officer whose history the model holds or is loading.
    QString officerId() const { return officerId_; }
    QString recipient() const;
    // Called whenever the state or the message changes.
    void setChanged(std::function<void()> changed) { changed_ = std::move(changed); }

private:
    void settle(State state, QString message);

    DocumentServices services_;
    HistoryModel& model_;
    State state_ = State::NoOfficer;
    QString message_;
    QString officerId_;
    QString officerName_;
    QString messageId_;
    std::function<void()> changed_;
};

} // namespace zavek
