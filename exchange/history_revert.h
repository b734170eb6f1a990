#pragma once
// Revert from the history: the inverse of one save laid on the lists as pending edits, as far
// as it still applies to what they store. Nothing is written until Save.

#include "common/officer_history.h"
#include "groups/group_rules.h"

#include <QStringList>

#include <vector>

namespace zavek {

struct RevertPlan {
    std::vector<PendingEdit> edits;
    QStringList leftOut; // what of the save no longer applies, and why
};

// A removed group ticked again, an added one unticked, the agency set back; the agency only
// when the officer still has the one the save gave and the result is exactly one agency.
RevertPlan revertPlan(GroupRules& rules, const HistoryEntry& entry);

// Lays the plan on the lists, enables Save when anything is pending, and says on the status
// line what was laid on and what was left out.
void revertOnLists(GroupRules& rules, ShellServices& shell, const HistoryEntry& entry,
                   const QString& officerName);

} // namespace zavek
