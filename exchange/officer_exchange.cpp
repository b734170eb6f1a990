#include "exchange/officer_exchange.h"

#include "common/message.h"
#include "common/message_bus.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "platform/platform.h"

#include <algorithm>

namespace zavek {

namespace {
const QString kPromptStart = QStringLiteral("Security groups have been changed for ");
const QString kPromptEnd = QStringLiteral(".\r\n Would you like to save your changes ?");
const QString kCaptionPrefix = QStringLiteral("Current Officer : ");
const QString kSavingPrefix = QStringLiteral("Saving Security Group for ");
constexpr std::size_t kTrackedSaves = 32;
constexpr std::size_t kSettledKept = 16;

// In the texts below, %1 is the fixed "Saving Security Group for " and the officer's name.
QString stillPending(const QString& name) {
    return OfficerExchange::tr("%1 failed; your changes are still pending")
        .arg(kSavingPrefix + name);
}

QString noAnswer(const QString& name) {
    return OfficerExchange::tr("%1 got no answer; your changes are still pending. Check the "
                               "connection and save again.")
        .arg(kSavingPrefix + name);
}
} // namespace

void addressRequest(KelbMessage& message, const DocumentServices& services, std::int32_t type,
                    const QString& replyTo) {
    message.ReplyTo(replyTo);
    message.ClientVersion(platform::versionText(*services.platform.component));
    message.MessageType(type);
    QString sessionId;
    services.shared.session.SessionId(sessionId);
    message.SessionId(sessionId);
}

KelbMessage officerRequest(const DocumentServices& services, std::int32_t type,
                           const QString& officerId, const QString& replyTo) {
    KelbMessage message;
    addressRequest(message, services, type, replyTo);
    KelbCriteria criteria;
    criteria.SystemName(QStringLiteral("QUILLMOR"));
    criteria.FieldName(QStringLiteral("key:INSP_ID"));
    criteria.Operator(QStringLiteral("="));
    criteria.Value(officerId.trimmed());
    message.AddCriteria(criteria);
    return message;
}

KelbMessage retrievalRequest(const DocumentServices& services, const QString& officerId) {
    return officerRequest(services, message_types::kRetrieval, officerId,
                          services.state.documentIdentity);
}

OfficerExchange::OfficerExchange(DocumentServices services, GroupRules& rules)
    : services_(std::move(services)), rules_(rules) {}

void OfficerExchange::status(const QString& text) const {
    services_.shared.shell.SetStatusText(text);
}

void OfficerExchange::showBox(const QString& text, platform::BoxStyle style) const {
    services_.platform.messageBox->Show(text, style, services_.state.msWindowCaption);
}

int OfficerExchange::askToSave() const {
    const DocumentState& s = services_.state;
    return services_.platform.messageBox->Show(kPromptStart + s.msOfficerName + kPromptEnd,
                                               platform::BoxStyle::YesNoCancelQuestion,
                                               s.msWindowCaption);
}

void OfficerExchange::clearForm(const char* procedure) {
    trapped(services_.trap, procedure, [&] {
        const bool hadOfficer = !services_.state.msInspId.isEmpty();
        rules_.CheckGroups(CheckMode::Clear);
        services_.form.setCaption(kCaptionPrefix);
        services_.state.msInspId.clear();
        loadedId_.clear();
        // With no officer there is nothing a save could be for.
        if (hadOfficer)
            rules_.enableSave(false);
    });
}

void OfficerExchange::ZAVEK_OfficerSelect1_Searching() {
    clearForm("ZAVEK_OfficerSelect1_Searching");
}

void OfficerExchange::ZAVEK_OfficerSelect1_ClearForm() {
    clearForm("ZAVEK_OfficerSelect1_ClearForm");
}

void OfficerExchange::ZAVEK_OfficerSelect1_OfficerSelected(const QString& officerId) {
    DocumentState& s = services_.state;
    trapped(services_.trap, "ZAVEK_OfficerSelect1_OfficerSelected", [&] {
        if (officerId.trimmed() == s.msInspId) {
            rules_.LoadOfficerGroups();
            return;
        }
        if (rules_.DataChanged()) {
            const int answer = askToSave();
            if (answer == platform::AnswerYes) {
                // A save that never left keeps the officer on screen with the edits, as
                // Cancel does: switching now would drop them.
                if (!SendData()) {
                    reportSendFailure(s.msOfficerName);
                    return;
                }
            } else if (answer == platform::AnswerCancel) {
                return;
            }
        }
        services_.platform.pointer->SetShape(platform::PointerHourglass);
        s.msOfficerName = services_.form.selectedOfficerName();
        rules_.CheckGroups(CheckMode::Store);
        s.msInspId = officerId;
        loadedId_.clear();
        status(header(QStringLiteral("Requesting Security Group for ")));
        rules_.enableSave(false);

        const KelbMessage message = retrievalRequest(services_, s.msInspId);
        s.msMessageId = message.MessageId();
        if (const auto failure = attempt([&] { services_.shared.bus.send(message.data()); })) {
            logFailure(services_.trap, "ZAVEK_OfficerSelect1_OfficerSelected", *failure);
            retrievalFailed();
            services_.form.setResetPasswordValue(0);
            services_.platform.pointer->SetShape(platform::PointerDefault);
            status(tr("%1: %2", "a failed status and why")
                       .arg(QStringLiteral("Search was not successful"), failure->description()));
            return;
        }

        s.sent(DocumentState::Sent::Retrieval);
    });
}

void OfficerExchange::retrievalFailed() {
    // The lists still show the previous officer: a tick and Save would write them to the one
    // just picked. No officer is shown until one is picked again.
    DocumentState& s = services_.state;
    failedId_ = s.msMessageId;
    rules_.CheckGroups(CheckMode::Clear);
    services_.form.setCaption(kCaptionPrefix);
    s.msInspId.clear();
    loadedId_.clear();
    rules_.enableSave(false);
}

void OfficerExchange::moKelbMessage_DataReady(const QString& recipient) {
    DocumentState& s = services_.state;
    // Another document's reply: nothing of this document is touched, not even its box.
    if (recipient.trimmed() != s.documentIdentity.trimmed())
        return;
    const bool ok = trapped(services_.trap, "moKelbMessage_DataReady", [&] {
        std::int16_t enabled = -1;
        services_.shared.shell.SetShellEnabled(enabled);
        services_.form.setResetPasswordValue(0);
        services_.platform.pointer->SetShape(platform::PointerHourglass);
        const QString error = services_.shared.checker.GetReplyError(
            s.documentIdentity, QStringLiteral("ZAVEK_Security.moKelbMessage_DataReady"),
            s.msMessageId);
        s.answered();
        const MessageData* reply = services_.shared.replies.announcing();
        if (reply && reply->replyTo.trimmed() != s.documentIdentity.trimmed())
            reply = nullptr;
        if (SentSave* save = saveAnsweredBy(reply)) {
            settleSave(*save, error);
            return;
        }
        // The answer to a retrieval of an officer picked before the current one, or a late
        // answer to one that already failed.
        if (reply && reply->messageId != s.msMessageId)
            return;
        if (!failedId_.isEmpty() && failedId_ == s.msMessageId)
            return;
        if (!error.isEmpty()) {
            // Only a retrieval not yet shown fails here; the lists are then no officer's.
            if (loadedId_ != s.msMessageId && !s.msInspId.isEmpty())
                retrievalFailed();
            showBox(error, platform::BoxStyle::OkCritical);
            if (!s.mbTimedOut) {
                s.failed();
                status(QStringLiteral("Search was not successful"));
            } else {
                status(QStringLiteral("Search timed"));
            }
            return;
        }
        if (s.mbRetrievalRequest) {
            rules_.LoadOfficerGroups();
            loadedId_ = s.msMessageId;
        }
        status(header(QStringLiteral("Displaying Security Group for ")));
        reshowUnsaved();
    });
    if (!ok)
        rules_.CheckGroups(CheckMode::Clear);
    // Always: the default pointer, also after a failure.
    services_.platform.pointer->SetShape(platform::PointerDefault);
}

void OfficerExchange::moKelbMessage_MsgTimeout(const QVariant& argument) {
    DocumentState& s = services_.state;
    trapped(services_.trap, "moKelbMessage_MsgTimeout", [&] {
        const QString id = argument.toString();
        std::vector<SaveTicket> unanswered;
        // Newest first: two saves under one identifier give their tags back in reverse.
        for (auto it = saves_.rbegin(); it != saves_.rend(); ++it)
            if (it->messageId == id && it->outcome == SaveOutcome::Outstanding)
                unanswered.push_back(it->ticket);
        // Other documents' requests, and requests this one has moved on from, are not ours
        // to report.
        if (id != s.msMessageId && unanswered.empty())
            return;
        if (id == s.msMessageId)
            s.timedOut();
        for (SaveTicket ticket : unanswered)
            giveUp(ticket);
    });
}

void OfficerExchange::SaveData() {
    DocumentState& s = services_.state;
    trapped(
        services_.trap, "SaveData",
        [&] {
            // The lists still show the officer before: nothing on them is this officer's.
            if (!s.msInspId.isEmpty() && !officerShown()) {
                rules_.showWaitForOfficer();
                return;
            }
            if (!rules_.DataChanged()) {
                status(QStringLiteral("Data did not change.  Save request cancelled. "));
                return;
            }
            int agencies = 0;
            const GroupListModel& agencyList = rules_.list(CheckList::Agencies);
            for (int row = 0; row < agencyList.count(); ++row)
                agencies += agencyList.isChecked(row) ? 1 : 0;
            if (agencies > 1) {
                showBox(QStringLiteral("Can not select more than one Agency."),
                        platform::BoxStyle::OkCritical);
                return;
            }
            if (agencies == 0) {
                showBox(QStringLiteral("Please select an Agency."), platform::BoxStyle::OkCritical);
                return;
            }
            if (!sendSave(DocumentState::Sent::SaveFromButton)) {
                reportSendFailure(s.msOfficerName);
                return;
            }
            rules_.enableSave(false);
        },
        [&] {
            std::int16_t enabled = -1;
            services_.shared.shell.SetShellEnabled(enabled);
            services_.platform.pointer->SetShape(platform::PointerDefault);
        });
}

bool OfficerExchange::SendData() {
    return sendSave(DocumentState::Sent::Save);
}

bool OfficerExchange::sendSave(DocumentState::Sent how) {
    DocumentState& s = services_.state;
    building_.clear();
    bool reset = false;
    bool handedOver = false;
    const auto failure = attempt([&] {
        status(header(kSavingPrefix));
        KelbMessage message;
        addressRequest(message, services_, message_types::kSave, s.documentIdentity);
        message.MessageId(s.msMessageId);

        RecordTable changes;
        changes.Source(QStringLiteral("OFFICERGROUP"));
        changes.Open();
        for (CheckList which : kCheckLists)
            SetRecordSet(changes, which);
        message.AddTable(changes, QStringLiteral("OFFICERGROUP"));

        if (services_.form.resetPasswordValue() == 1) {
            RecordTable setup;
            setup.Source(QStringLiteral("SETUP"));
            setup.Open();
            setup.AddNew();
            setup.field(QStringLiteral("INSP_ID")).SetValue(s.msInspId);
            setup.field(QStringLiteral("INITIAL")).SetValue(QStringLiteral("Y"));
            setup.field(QStringLiteral("ACTION")).SetValue(QStringLiteral("RESET"));
            setup.Update();
            message.AddTable(setup, QStringLiteral("SETUP"));
            reset = true;
        }
        services_.shared.bus.send(message.data());
        handedOver = true;
        s.sent(how);
    });
    if (failure) {
        logFailure(services_.trap, "SendData", *failure);
        sendFailure_ = failure->description();
    }
    if (const auto late =
            attempt([&] { services_.platform.pointer->SetShape(platform::PointerDefault); }))
        logFailure(services_.trap, "SendData", *late);

    if (!handedOver) {
        // Nothing reached the back end: the edits must stay pending so a second save sends them.
        for (auto it = building_.rbegin(); it != building_.rend(); ++it)
            rules_.list(it->list).setTag(it->row, !it->add);
        building_.clear();
        return false;
    }
    SentSave save;
    save.ticket = ++lastTicket_;
    save.messageId = s.msMessageId;
    save.officerId = s.msInspId;
    save.officerName = s.msOfficerName;
    save.rows = std::move(building_);
    save.reset = reset;
    building_.clear();
    saves_.push_back(std::move(save));
    while (saves_.size() > kTrackedSaves)
        forget(saves_.front().ticket);
    return !failure;
}

void OfficerExchange::SetRecordSet(RecordTable& table, CheckList which) {
    trapped(services_.trap, "SetRecordSet", [&] {
        GroupListModel& list = rules_.list(which);
        for (int row = 0; row < list.count(); ++row) {
            if (list.tag(row) == list.isChecked(row))
                continue;
            const bool add = list.isChecked(row);
            const QString code = list.code(row);
            table.AddNew();
            table.field(QStringLiteral("GRP_CD")).SetValue(code);
            table.field(QStringLiteral("INSP_ID")).SetValue(services_.state.msInspId);
            table.field(QStringLiteral("ACTION"))
                .SetValue(add ? QStringLiteral("ADD") : QStringLiteral("DEL"));
            table.Update();
            // Advanced only once its row is written, so that a row that failed stays pending.
            list.setTag(row, add);
            building_.push_back(SentRow{which, row, code, add});
        }
    });
}

// ---- what became of a save ----------------------------------------------------------------

OfficerExchange::SaveOutcome OfficerExchange::outcome(SaveTicket ticket) const {
    for (const SentSave& save : saves_)
        if (save.ticket == ticket)
            return save.outcome;
    for (const auto& [settled, result] : settled_)
        if (settled == ticket)
            return result;
    return SaveOutcome::Unanswered;
}

void OfficerExchange::forget(SaveTicket ticket) {
    const auto it = std::find_if(saves_.begin(), saves_.end(),
                                 [&](const SentSave& s) { return s.ticket == ticket; });
    if (it == saves_.end())
        return;
    settled_.emplace_back(ticket, it->outcome);
    while (settled_.size() > kSettledKept)
        settled_.pop_front();
    saves_.erase(it);
}

bool OfficerExchange::stillShown(const SentSave& save) const {
    // The lists still hold this save's edits while no other retrieval has replaced them.
    return save.messageId == services_.state.msMessageId &&
           save.officerId == services_.state.msInspId;
}

OfficerExchange::SentSave* OfficerExchange::saveAnsweredBy(const MessageData* reply) {
    const QString id = reply ? reply->messageId : services_.state.msMessageId;
    if (reply && reply->messageType == message_types::kRetrieval)
        return nullptr;
    // Saves under one identifier are answered in the order they were sent; one that timed out
    // may still be answered late.
    for (SentSave& save : saves_)
        if (save.messageId == id &&
            (save.outcome == SaveOutcome::Outstanding || save.outcome == SaveOutcome::Unanswered))
            return &save;
    return nullptr;
}

void OfficerExchange::putBack(SentSave& save) {
    if (save.pendingAgain)
        return;
    for (auto it = save.rows.rbegin(); it != save.rows.rend(); ++it) {
        GroupListModel& list = rules_.list(it->list);
        if (it->row < list.count() && list.code(it->row) == it->code)
            list.setTag(it->row, !it->add);
    }
    save.pendingAgain = true;
}

void OfficerExchange::settleSave(SentSave& save, const QString& error) {
    DocumentState& s = services_.state;
    const SaveTicket ticket = save.ticket;
    if (error.isEmpty()) {
        save.outcome = SaveOutcome::Stored;
        if (stillShown(save)) {
            const bool wasPending = save.pendingAgain;
            // A late answer after a time-out: the rows are stored after all.
            if (wasPending)
                for (const SentRow& r : save.rows) {
                    GroupListModel& list = rules_.list(r.list);
                    if (r.row < list.count() && list.code(r.row) == r.code)
                        list.setTag(r.row, r.add);
                }
            // Edits made while the save was out are no part of it: kept on the stored state.
            const bool newer = rules_.hasChanges();
            if (s.mbRetrievalRequest)
                newer ? void(showStoredWithEdits()) : rules_.LoadOfficerGroups();
            status(header(QStringLiteral("Displaying Security Group for ")));
            if (wasPending || newer)
                rules_.enableSave(rules_.hasChanges());
        }
        forget(ticket);
        return;
    }
    s.failed();
    save.outcome = SaveOutcome::Refused;
    // Already reported when it went unanswered: kept for the officer's next showing, or put
    // back on the lists, whose edits the administrator has dealt with since.
    if (save.awaitingReshow)
        return;
    if (save.pendingAgain && !stillShown(save)) {
        forget(ticket);
        return;
    }
    if (!stillShown(save)) {
        keepForReshow(save, error);
        return;
    }
    putBack(save);
    const bool storeMoved = showStoredWithEdits();
    // The reply cleared the box as every reply does; the reset it asked for was not made.
    if (save.reset)
        services_.form.setResetPasswordValue(1);
    const QString name = save.officerName;
    forget(ticket);
    rules_.enableSave(rules_.hasChanges());
    showBox(error, platform::BoxStyle::OkCritical);
    status(storeMoved ? tr("%1 failed; your changes are still pending; the lists show what is "
                           "stored now with your changes ticked again")
                            .arg(kSavingPrefix + name)
                      : stillPending(name));
}

bool OfficerExchange::showStoredWithEdits() {
    DocumentState& s = services_.state;
    if (!services_.shared.replies.GetTable(QStringLiteral("OFFICERGROUP"), s.documentIdentity,
                                           s.msMessageId))
        return false;
    // The refusal carries what is stored now, which another administrator may have changed
    // since the lists were filled: shown as the stored state, with this save's rows on top.
    const std::vector<bool> before = rules_.tags();
    const std::vector<bool> wanted = rules_.checks();
    rules_.LoadOfficerGroups();
    const bool moved = rules_.tags() != before;
    rules_.layEdits(rules_.editsBetween(before, wanted));
    return moved;
}

void OfficerExchange::giveUp(SaveTicket ticket) {
    const auto it = std::find_if(saves_.begin(), saves_.end(),
                                 [&](const SentSave& s) { return s.ticket == ticket; });
    if (it == saves_.end() || it->outcome != SaveOutcome::Outstanding)
        return;
    SentSave& save = *it;
    save.outcome = SaveOutcome::Unanswered;
    if (!stillShown(save)) {
        keepForReshow(save, QString());
        return;
    }
    // Kept: a late answer still tells whether the rows were stored.
    putBack(save);
    rules_.enableSave(rules_.hasChanges());
    status(noAnswer(save.officerName));
}

void OfficerExchange::keepForReshow(SentSave& save, const QString& error) {
    const QString name = save.officerName;
    save.awaitingReshow = !save.rows.empty() || save.reset;
    if (!save.awaitingReshow)
        forget(save.ticket);
    // A box, not only the status line: the new officer's reply may replace the status.
    const bool refused = !error.isEmpty();
    showBox(refused ? tr("%1\r\n\r\nThe changes for %2 were not saved. Select %2 again to get "
                         "them back, then save again.")
                          .arg(error, name)
                    : tr("%1 got no answer.\r\n\r\nThe changes for %2 may not have been saved. "
                         "Select %2 again to get them back, then save again.")
                          .arg(kSavingPrefix + name, name),
            platform::BoxStyle::OkCritical);
    status((refused ? tr("%1 failed; select %2 again to get your changes back and save them")
                    : tr("%1 got no answer; select %2 again to get your changes back and save "
                         "them"))
               .arg(kSavingPrefix + name, name));
    // The officer may be on screen again already.
    reshowUnsaved();
}

void OfficerExchange::reshowUnsaved() {
    DocumentState& s = services_.state;
    if (s.msInspId.isEmpty() || loadedId_ != s.msMessageId)
        return;
    bool any = false;
    for (auto it = saves_.begin(); it != saves_.end();) {
        if (!it->awaitingReshow || it->officerId.trimmed() != s.msInspId.trimmed()) {
            ++it;
            continue;
        }
        // On the stored state just loaded: the rows that failed count as changes again.
        std::vector<PendingEdit> edits;
        for (const SentRow& r : it->rows)
            if (const int row = rules_.list(r.list).firstIndexOf(r.code); row >= 0)
                edits.push_back({r.list, row, r.add});
        rules_.layEdits(edits);
        if (it->reset)
            services_.form.setResetPasswordValue(1);
        settled_.emplace_back(it->ticket, it->outcome);
        it = saves_.erase(it);
        any = true;
    }
    while (settled_.size() > kSettledKept)
        settled_.pop_front();
    if (!any)
        return;
    rules_.enableSave(rules_.hasChanges());
    status(tr("%1; the changes that were not saved are ticked again, press Save to store them")
               .arg(header(QStringLiteral("Displaying Security Group for "))));
}

void OfficerExchange::reportSendFailure(const QString& officerName) {
    rules_.enableSave(rules_.hasChanges());
    showBox(tr("%1 failed: %2\r\nYour changes are still pending; save again once the problem "
               "is solved.")
                .arg(kSavingPrefix + officerName, sendFailure_),
            platform::BoxStyle::OkCritical);
    status(stillPending(officerName));
}

} // namespace zavek
