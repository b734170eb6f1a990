#pragma once
// The procedures of the two lists: the catalogue load, the change test and the sweeps, the
// click handlers, and showing an officer's groups.

#include "groups/document_state.h"
#include "groups/group_list_model.h"

#include <cstdint>
#include <vector>

namespace zavek {

enum CheckGroupsMode : std::int32_t { Store = 0, Clear = 1, Restore = 2 };

class IListGeometry {
public:
    virtual ~IListGeometry();
    virtual int listWidthTwips(int list) = 0;
    virtual void setColumnWidthTwips(int list, int column, int twips) = 0; // column 1 or 2
};

// An item of a list to be shown ticked or not, on top of what the list stores.
struct PendingEdit {
    int list;
    QString code;
    bool checked;
};

class GroupRules {
public:
    GroupRules(DocumentServices services, GroupListModel& groups, GroupListModel& agencies,
               IListGeometry& geometry);

    GroupListModel& list(int index);

    void InitializeListView();
    bool DataChanged();
    // The change test without its status text, for callers that report something else.
    bool hasChanges() const;
    void CheckGroups(std::int32_t mode);
    void chkResetPassword_Click();
    void lvOfficerGroups_Click(std::int16_t index);
    void LoadOfficerGroups();
    bool SetChecked(const QString& code, std::int32_t listIndex);

    // Lays edits on the lists as pending changes over the stored state: the first item with the
    // code is shown ticked or not, and counts as a change where that differs from what is
    // stored. Returns how many were laid on; a code the list does not hold is passed over.
    int layEdits(const std::vector<PendingEdit>& edits);
    // One flag per item, the group list's then the agency list's: their tags, or their checks.
    std::vector<bool> tags() const;
    std::vector<bool> checks() const;
    // The administrator's edits laid on lists that show a stored state: each item whose wanted
    // check differs from what the administrator was shown as stored (seen) takes the wanted
    // check; the others keep the stored state. Both vectors are in the order tags() gives.
    void layEdits(const std::vector<bool>& seen, const std::vector<bool>& wanted);

    // Toolbar button 7 of this document's window.
    void enableSave(bool enabled);

private:
    DocumentServices services_;
    GroupListModel* lists_[2];
    IListGeometry& geometry_;
};

} // namespace zavek
