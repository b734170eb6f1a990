#include "exchange/history_request.h"

#include "common/message.h"
#include "common/message_bus.h"
#include "exchange/officer_exchange.h"

namespace zavek {

HistoryRequest::HistoryRequest(DocumentServices services, HistoryModel& model)
    : services_(std::move(services)), model_(model) {
    message_ = tr("Select an officer to see the history of their security groups.");
}

QString HistoryRequest::recipient() const {
    return services_.state.documentIdentity + QStringLiteral("/history");
}

void HistoryRequest::settle(State state, QString message) {
    state_ = state;
    message_ = std::move(message);
    if (changed_)
        changed_();
}

void HistoryRequest::clear() {
    messageId_.clear();
    officerId_.clear();
    model_.clear();
    settle(State::NoOfficer, tr("Select an officer to see the history of their security groups."));
}

void HistoryRequest::load() {
    const DocumentState& s = services_.state;
    if (s.msInspId.trimmed().isEmpty()) {
        clear();
        return;
    }
    officerId_ = s.msInspId.trimmed();
    officerName_ = s.msOfficerName;
    model_.clear();
    const KelbMessage message =
        officerRequest(services_, message_types::kHistory, officerId_, recipient());
    messageId_ = message.MessageId();
    settle(State::Loading, tr("Loading the history of %1…").arg(officerName_));
    if (const auto failure = attempt([&] { services_.shared.bus.send(message.data()); })) {
        messageId_.clear();
        settle(State::Failed, tr("The history of %1 could not be requested: %2 "
                                 "Open the history again once the problem is solved.")
                                  .arg(officerName_, failure->description()));
    }
}

void HistoryRequest::moKelbMessage_DataReady(const QString& recipient) {
    if (recipient.trimmed() != this->recipient() || messageId_.isEmpty())
        return;
    const MessageData* reply = services_.shared.replies.find(recipient, messageId_);
    // An answer to an earlier request of this view.
    if (!reply)
        return;
    messageId_.clear();
    if (!reply->errorText.isEmpty()) {
        settle(State::Failed,
               tr("The history of %1 could not be loaded: %2").arg(officerName_, reply->errorText));
        return;
    }
    std::vector<HistoryEntry> entries;
    const auto failure = attempt([&] { entries = historyEntries(*reply); });
    if (failure) {
        settle(State::Failed, tr("The history of %1 could not be read: %2")
                                  .arg(officerName_, failure->description()));
        return;
    }
    const std::size_t count = entries.size();
    model_.setEntries(std::move(entries));
    settle(State::Shown, count == 0   ? tr("No saves of %1 are recorded.").arg(officerName_)
                         : count == 1 ? tr("History of %1: 1 save.").arg(officerName_)
                                      : tr("History of %1: %2 saves, newest first.")
                                            .arg(officerName_, QString::number(count)));
}

void HistoryRequest::moKelbMessage_MsgTimeout(const QVariant& argument) {
    if (messageId_.isEmpty() || argument.toString() != messageId_)
        return;
    messageId_.clear();
    settle(State::Failed, tr("The history of %1 got no answer in time. Check the "
                             "connection and open the history again.")
                              .arg(officerName_));
}

} // namespace zavek
