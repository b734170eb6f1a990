#pragma once
// The procedures of the two lists: the catalogue load, the change test and the sweeps, the
// click handlers, and showing an officer's groups.

#include "groups/document_state.h"
#include "groups/group_list_model.h"

#include <QCoreApplication>

#include <cstdint>
#include <functional>
#include <vector>

namespace zavek {

// The two lists, numbered as the form and the list procedures number them.
enum class CheckList : std::int32_t { Groups = 0, Agencies = 1 };
inline constexpr CheckList kCheckLists[] = {CheckList::Groups, CheckList::Agencies};

// How CheckGroups sweeps the lists: Store ticks what is ticked, Clear empties both, Restore
// ticks what is stored.
enum class CheckMode : std::int32_t { Store = 0, Clear = 1, Restore = 2 };
// The modes' numbers by name, for callers of the procedure that speak numbers.
inline constexpr std::int32_t Store = static_cast<std::int32_t>(CheckMode::Store);
inline constexpr std::int32_t Clear = static_cast<std::int32_t>(CheckMode::Clear);
inline constexpr std::int32_t Restore = static_cast<std::int32_t>(CheckMode::Restore);

class IListGeometry {
public:
    virtual ~IListGeometry();
    virtual int listWidthTwips(CheckList list) = 0;
    virtual void setColumnWidthTwips(CheckList list, int column, int twips) = 0; // column 1 or 2
};

// An item of a list to be shown ticked or not, on top of what the list stores.
struct PendingEdit {
    CheckList list;
    int row;
    bool checked;
};

class GroupRules {
    Q_DECLARE_TR_FUNCTIONS(zavek::GroupRules)

public:
    GroupRules(DocumentServices services, GroupListModel& groups, GroupListModel& agencies,
               IListGeometry& geometry);

    GroupListModel& list(CheckList which);
    // The list by its number; a number that names no list fails.
    GroupListModel& list(int index);

    void InitializeListView();
    bool DataChanged();
    // The change test without its status text, for callers that report something else.
    bool hasChanges() const;
    void CheckGroups(CheckMode mode);
    // The procedure by the mode's number: a number that names no mode changes nothing.
    void CheckGroups(std::int32_t mode);
    void chkResetPassword_Click();
    void lvOfficerGroups_Click(std::int16_t index);
    void LoadOfficerGroups();
    bool SetChecked(const QString& code, CheckList which);

    // Lays edits on the lists as pending changes over the stored state: each item is shown
    // ticked or not, and counts as a change where that differs from what is stored. Returns how
    // many were laid on; a row the list no longer holds is passed over.
    int layEdits(const std::vector<PendingEdit>& edits);
    // One flag per item, the group list's then the agency list's: their tags, or their checks.
    std::vector<bool> tags() const;
    std::vector<bool> checks() const;
    // The edits of the items whose wanted check differs from the one seen, both vectors in the
    // order tags() gives: laid on lists that show a stored state, they keep the others stored.
    std::vector<PendingEdit> editsBetween(const std::vector<bool>& seen,
                                          const std::vector<bool>& wanted) const;

    // The Save button of this document's window.
    void enableSave(bool enabled);

    // Whether the lists show the stored state of the officer picked last, or still the marks
    // of the one before while the request is out; without it an officer picked counts as shown.
    void setOfficerShown(std::function<bool()> shown) { officerShown_ = std::move(shown); }
    // The status that says so.
    void showWaitForOfficer();

private:
    DocumentServices services_;
    GroupListModel* lists_[2];
    IListGeometry& geometry_;
    std::function<bool()> officerShown_;

    // An officer is picked but the lists show another's marks: a click there is undone.
    bool awaitingOfficer() const;
};

} // namespace zavek
