#pragma once
// The document's side of the back-end exchange: officer selection, the retrieval request and
// its replies and time-outs, and the save request with its change rows.

#include "common/message.h"
#include "groups/document_state.h"
#include "groups/group_rules.h"

#include <QCoreApplication>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <deque>
#include <utility>
#include <vector>

namespace zavek {

class RecordTable;
struct MessageData;

// Addresses a request of the document's: its replies come back to replyTo, with the client's
// version and the session it was signed in with.
void addressRequest(KelbMessage& message, const DocumentServices& services, std::int32_t type,
                    const QString& replyTo);
// A request about one officer by key, addressed as above; not yet sent.
KelbMessage officerRequest(const DocumentServices& services, std::int32_t type,
                           const QString& officerId, const QString& replyTo);
// A retrieval of one officer, answered to the document.
KelbMessage retrievalRequest(const DocumentServices& services, const QString& officerId);

class OfficerExchange {
    Q_DECLARE_TR_FUNCTIONS(zavek::OfficerExchange)

public:
    OfficerExchange(DocumentServices services, GroupRules& rules);

    void ZAVEK_OfficerSelect1_Searching();
    void ZAVEK_OfficerSelect1_ClearForm();
    void ZAVEK_OfficerSelect1_OfficerSelected(const QString& officerId);
    void moKelbMessage_DataReady(const QString& recipient);
    // The argument is the identifier of the request that went unanswered.
    void moKelbMessage_MsgTimeout(const QVariant& argument);

    // The question asked before the shown officer's changes could be lost, on a switch of
    // officer, on close and when the host asks: Yes, No or Cancel.
    int askToSave() const;
    void SaveData();
    // True when the request was built and handed over.
    bool SendData();
    void SetRecordSet(RecordTable& table, CheckList which);

    // What became of a save SendData handed over, as far as this document knows. A save that
    // is refused or never answered has its edits pending again.
    enum class SaveOutcome { Outstanding, Stored, Refused, Unanswered };
    using SaveTicket = std::uint64_t;
    // The save SendData handed over last; 0 before any.
    SaveTicket lastSave() const { return lastTicket_; }
    SaveOutcome outcome(SaveTicket ticket) const;
    // A caller stops waiting for the save's reply: treated as a time-out.
    void giveUp(SaveTicket ticket);
    // An officer's stored state is on the lists: picked and answered, not merely requested.
    bool officerShown() const {
        return !services_.state.msInspId.isEmpty() && loadedId_ == services_.state.msMessageId;
    }

private:
    // One change row as sent: the item it came from and the tag it was advanced to.
    struct SentRow {
        CheckList list;
        int row;
        QString code;
        bool add;
    };
    struct SentSave {
        SaveTicket ticket = 0;
        QString messageId;
        QString officerId;
        QString officerName;
        std::vector<SentRow> rows;
        bool reset = false;
        SaveOutcome outcome = SaveOutcome::Outstanding;
        // The rows' tags were put back, so the edits count as changes again.
        bool pendingAgain = false;
        // Failed after the screen moved to another officer: laid on the lists again when this
        // officer is shown next.
        bool awaitingReshow = false;
    };

    // SendData, with what the save's answer does with the lists.
    bool sendSave(DocumentState::Sent how);
    void clearForm(const char* procedure);
    void retrievalFailed();
    QString header(const QString& prefix) const { return prefix + services_.state.msOfficerName; }
    void showBox(const QString& text, platform::BoxStyle style) const;
    void status(const QString& text) const;
    bool stillShown(const SentSave& save) const;
    SentSave* saveAnsweredBy(const MessageData* reply);
    void settleSave(SentSave& save, const QString& error);
    void saveUnanswered(SentSave& save);
    void putBack(SentSave& save);
    // True when the stored state differs from the one the lists showed.
    bool showStoredWithEdits();
    void keepForReshow(SentSave& save, const QString& why);
    void reshowUnsaved();
    void reportSendFailure(const QString& officerName);
    void forget(SaveTicket ticket);

    DocumentServices services_;
    GroupRules& rules_;
    std::deque<SentSave> saves_;
    std::vector<SentRow> building_;
    SaveTicket lastTicket_ = 0;
    // How the most recent saves that are no longer tracked ended.
    std::deque<std::pair<SaveTicket, SaveOutcome>> settled_;
    QString sendFailure_;
    // The retrieval whose answer the lists show; empty while none is.
    QString loadedId_;
    // The retrieval that failed: a late answer to it is not shown.
    QString failedId_;
};

} // namespace zavek
