#include "exchange/history_revert.h"

#include "common/shell_services.h"

#include <QCoreApplication>

#include <optional>
#include <set>

namespace zavek {

namespace {
// The first row of a code with its stored tag.
struct StoredItem {
    int row;
    bool tag;
};

// The code's item, or nothing when the catalogue no longer has it.
std::optional<StoredItem> stored(GroupRules& rules, CheckList list, const QString& code) {
    const int row = rules.list(list).firstIndexOf(code);
    if (row < 0)
        return std::nullopt;
    return StoredItem{row, rules.list(list).tag(row)};
}
} // namespace

RevertPlan revertPlan(GroupRules& rules, const HistoryEntry& entry) {
    RevertPlan plan;
    std::vector<const HistoryChange*> agencyChanges;
    for (const HistoryChange& c : entry.changes) {
        if (c.agency) {
            agencyChanges.push_back(&c);
            continue;
        }
        const std::optional<StoredItem> item = stored(rules, CheckList::Groups, c.code);
        if (!item)
            plan.leftOut << QCoreApplication::translate("zavek::HistoryRevert",
                                                        "%1 (no longer in the catalogue)")
                                .arg(c.description);
        else if (item->tag != c.added)
            plan.leftOut << (c.added ? QCoreApplication::translate("zavek::HistoryRevert",
                                                                   "%1 (removed since)")
                                     : QCoreApplication::translate("zavek::HistoryRevert",
                                                                   "%1 (added again since)"))
                                .arg(c.description);
        else
            plan.edits.push_back({CheckList::Groups, item->row, !c.added});
    }
    if (!agencyChanges.empty()) {
        // The agencies the officer would hold after the inverse, from what is stored now.
        GroupListModel& agencies = rules.list(CheckList::Agencies);
        std::set<QString> held;
        bool editedOnScreen = false;
        for (int row = 0; row < agencies.count(); ++row) {
            if (agencies.tag(row))
                held.insert(agencies.code(row));
            editedOnScreen = editedOnScreen || agencies.tag(row) != agencies.isChecked(row);
        }
        bool stillApplies = true;
        bool known = true;
        std::vector<PendingEdit> edits;
        for (const HistoryChange* c : agencyChanges) {
            const std::optional<StoredItem> item = stored(rules, CheckList::Agencies, c->code);
            known = known && item.has_value();
            stillApplies = stillApplies && (held.count(c->code) > 0) == c->added;
            if (c->added)
                held.erase(c->code);
            else
                held.insert(c->code);
            if (item)
                edits.push_back({CheckList::Agencies, item->row, !c->added});
        }
        if (!known)
            plan.leftOut << QCoreApplication::translate("zavek::HistoryRevert",
                                                        "the agency (no longer in the catalogue)");
        else if (!stillApplies)
            plan.leftOut << QCoreApplication::translate("zavek::HistoryRevert",
                                                        "the agency (changed since)");
        else if (editedOnScreen)
            plan.leftOut << QCoreApplication::translate(
                "zavek::HistoryRevert", "the agency (you changed it on the screen)");
        else if (held.size() != 1)
            plan.leftOut << QCoreApplication::translate(
                "zavek::HistoryRevert", "the agency (an officer keeps exactly one)");
        else
            plan.edits.insert(plan.edits.end(), edits.begin(), edits.end());
    }
    if (entry.reset)
        plan.leftOut << QCoreApplication::translate("zavek::HistoryRevert",
                                                    "the password reset (it cannot be undone)");
    return plan;
}

void revertOnLists(GroupRules& rules, ShellServices& shell, const HistoryEntry& entry,
                   const QString& officerName) {
    const RevertPlan plan = revertPlan(rules, entry);
    const int laid = rules.layEdits(plan.edits);
    rules.enableSave(rules.hasChanges());
    const QString save = QCoreApplication::translate("zavek::HistoryRevert", "the save of %1 by %2")
                             .arg(historyTime(entry.when), entry.administrator);
    const QString left = plan.leftOut.join(QStringLiteral(", "));
    QString text;
    if (laid > 0)
        text = plan.leftOut.isEmpty()
                   ? QCoreApplication::translate("zavek::HistoryRevert",
                                                 "Reverting %1 for %2: press Save to store it")
                         .arg(save, officerName)
                   : QCoreApplication::translate(
                         "zavek::HistoryRevert",
                         "Reverting %1 for %2: press Save to store it; left out: %3")
                         .arg(save, officerName, left);
    else
        text = plan.leftOut.isEmpty()
                   ? QCoreApplication::translate("zavek::HistoryRevert",
                                                 "Nothing of %1 can be reverted for %2")
                         .arg(save, officerName)
                   : QCoreApplication::translate("zavek::HistoryRevert",
                                                 "Nothing of %1 can be reverted for %2: %3")
                         .arg(save, officerName, left);
    shell.SetStatusText(text);
}

} // namespace zavek
