#pragma once
// The document's side of the back-end exchange: officer selection, the retrieval request and
// its replies and time-outs, and the save request with its change rows.

#include "groups/document_state.h"
#include "groups/group_rules.h"

#include <QString>
#include <QVariant>

#include <cstdint>
#include <vector>

namespace zavek {

class RecordTable;

class OfficerExchange {
public:
    OfficerExchange(DocumentServices services, GroupRules& rules);

    void ZAVEK_OfficerSelect1_Searching();
    void ZAVEK_OfficerSelect1_ClearForm();
    void ZAVEK_OfficerSelect1_OfficerSelected(const QString& officerId);
    void moKelbMessage_DataReady(const QString& recipient);
    void moKelbMessage_MsgTimeout(const QVariant& argument);

    void SaveData();
    // True when the request was built and handed over.
    bool SendData();
    void SetRecordSet(RecordTable& table, std::int32_t listIndex);

    // The tags SendData advanced, so that a caller whose save went unconfirmed can put the
    // edits back to pending.
    struct TagChange {
        int list;
        int row;
        bool before;
    };
    const std::vector<TagChange>& lastAdvancedTags() const { return advanced_; }
    void restoreTags(const std::vector<TagChange>& changes);

private:
    void clearForm(const char* procedure);
    QString header(const QString& prefix) const { return prefix + services_.state.msOfficerName; }
    void enableSave(bool enabled);

    DocumentServices services_;
    GroupRules& rules_;
    std::vector<TagChange> advanced_;
};

} // namespace zavek
