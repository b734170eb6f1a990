#include "groups/group_rules.h"

#include "common/bulk_read.h"
#include "common/catalogue_query.h"
#include "common/message_bus.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "common/shell_services.h"

#include <iterator>

namespace zavek {

namespace {
constexpr std::size_t at(CheckList which) {
    return static_cast<std::size_t>(which);
}

// A null catalogue field ends the load as reading it as text would.
void required(const TextCell& cell, const char* field) {
    if (cell.null)
        fail(codes::kNullValue, QStringLiteral("Invalid use of Null: field \"%1\" holds no value.")
                                    .arg(QLatin1String(field)));
}
std::string_view bytesOf(const TextCell& cell) {
    return cell.null ? std::string_view() : cell.bytes();
}
const QString kCaptionPrefix = QStringLiteral("Current Officer : ");
} // namespace

IListGeometry::~IListGeometry() = default;

GroupRules::GroupRules(DocumentServices services, GroupListModel& groups, GroupListModel& agencies,
                       IListGeometry& geometry)
    : services_(std::move(services)), lists_{&groups, &agencies}, geometry_(geometry) {}

GroupListModel& GroupRules::list(CheckList which) {
    return *lists_[at(which)];
}

GroupListModel& GroupRules::list(int index) {
    for (CheckList which : kCheckLists)
        if (index == static_cast<int>(which))
            return list(which);
    fail(codes::kInvalidArgument, QStringLiteral("There is no list %1.").arg(index));
}

void GroupRules::enableSave(bool enabled) {
    std::int32_t button = static_cast<std::int32_t>(ToolbarButton::Save);
    std::int32_t flag = enabled ? -1 : 0;
    services_.shared.shell.EnableToolbarButton(button, flag, services_.state.msWindowTag);
}

std::vector<bool> GroupRules::tags() const {
    std::vector<bool> out;
    for (const GroupListModel* l : lists_)
        for (int row = 0; row < l->count(); ++row)
            out.push_back(l->tag(row));
    return out;
}

std::vector<bool> GroupRules::checks() const {
    std::vector<bool> out;
    for (const GroupListModel* l : lists_)
        for (int row = 0; row < l->count(); ++row)
            out.push_back(l->isChecked(row));
    return out;
}

std::vector<PendingEdit> GroupRules::editsBetween(const std::vector<bool>& seen,
                                                  const std::vector<bool>& wanted) const {
    std::vector<PendingEdit> edits;
    std::size_t i = 0;
    for (CheckList which : kCheckLists)
        for (int row = 0; row < lists_[at(which)]->count() && i < seen.size() && i < wanted.size();
             ++row, ++i)
            if (wanted[i] != seen[i])
                edits.push_back({which, row, wanted[i]});
    return edits;
}

void GroupRules::InitializeListView() {
    const auto failure = attempt([&] {
        for (CheckList which : kCheckLists) {
            geometry_.setColumnWidthTwips(which, 1, geometry_.listWidthTwips(which));
            geometry_.setColumnWidthTwips(which, 2, 0);
        }
        QString region;
        services_.shared.session.Region(region);
        region = region.trimmed().toUpper();

        // The rows go into fresh lists, shown only once the whole catalogue is read, so that
        // a show that fails midway keeps the catalogue already on screen. On the first show
        // there is none, and the items read before the failure are shown.
        GroupListModel::Items read[std::size(kCheckLists)];
        const auto show = [&] {
            for (CheckList which : kCheckLists)
                list(which).replaceItems(std::move(read[at(which)]));
        };
        const auto stopped = attempt([&] {
            readQueryRows(
                catalogueQuery(region),
                {QStringLiteral("GRP_TYP_CD"), QStringLiteral("GRP_DES"), QStringLiteral("GRP_CD")},
                [&](const TextCell* cell) {
                    const std::string_view type =
                        cell[0].null ? std::string_view() : cell[0].bytes();
                    GroupListModel::Items* target = type == "A"   ? &read[at(CheckList::Agencies)]
                                                    : type == "P" ? &read[at(CheckList::Groups)]
                                                                  : nullptr;
                    if (!target)
                        return;
                    // The item is there before its fields are: after a null one, it keeps
                    // those read before it.
                    const TextCell& text = cell[1];
                    const TextCell& code = cell[2];
                    target->append(bytesOf(text), text.null ? std::string_view() : bytesOf(code));
                    required(text, "GRP_DES");
                    required(code, "GRP_CD");
                });
        });
        if (stopped) {
            if (stopped->code() == codes::kNullValue && list(CheckList::Groups).count() == 0 &&
                list(CheckList::Agencies).count() == 0)
                show();
            throw *stopped;
        }
        show();
    });
    if (failure && failure->code() != codes::kStop)
        logFailure(services_.trap, "InitializeListView", *failure);
}

bool GroupRules::DataChanged() {
    return trappedOr(services_.trap, "DataChanged", false, [&] {
        services_.shared.shell.SetStatusText(QStringLiteral("Checking for data changes"));
        return hasChanges();
    });
}

bool GroupRules::hasChanges() const {
    if (services_.form.resetPasswordValue() == 1)
        return true;
    for (CheckList which : {CheckList::Agencies, CheckList::Groups}) {
        const GroupListModel& l = *lists_[at(which)];
        for (int row = 0; row < l.count(); ++row)
            if (l.tag(row) != l.isChecked(row))
                return true;
    }
    return false;
}

void GroupRules::CheckGroups(CheckMode mode) {
    trapped(services_.trap, "CheckGroups", [&] {
        const GroupListModel::CheckChanges groups(list(CheckList::Groups)),
            agencies(list(CheckList::Agencies));
        for (GroupListModel* l : lists_) {
            for (int row = 0; row < l->count(); ++row) {
                switch (mode) {
                case CheckMode::Store:
                    l->setTag(row, l->isChecked(row));
                    break;
                case CheckMode::Clear:
                    l->setChecked(row, false);
                    l->setTag(row, false);
                    break;
                case CheckMode::Restore:
                    l->setChecked(row, l->tag(row));
                    break;
                }
            }
        }
    });
}

void GroupRules::CheckGroups(std::int32_t mode) {
    if (mode == Store || mode == Clear || mode == Restore)
        CheckGroups(static_cast<CheckMode>(mode));
}

bool GroupRules::awaitingOfficer() const {
    return !services_.state.msInspId.isEmpty() && officerShown_ && !officerShown_();
}

void GroupRules::chkResetPassword_Click() {
    trapped(services_.trap, "chkResetPassword_Click", [&] {
        const bool awaiting = awaitingOfficer();
        if (services_.state.msInspId.isEmpty() || awaiting) {
            // Setting the box back raises this handler again; the nested run finds it clear.
            services_.form.setResetPasswordValue(0);
            enableSave(false);
        }
        if (awaiting)
            showWaitForOfficer();
        else if (!services_.state.msInspId.isEmpty())
            enableSave(DataChanged());
    });
}

void GroupRules::lvOfficerGroups_Click(std::int16_t index) {
    Q_UNUSED(index);
    trapped(services_.trap, "lvOfficerGroups_Click", [&] {
        const bool awaiting = awaitingOfficer();
        if (services_.state.msInspId.isEmpty() || awaiting) {
            CheckGroups(CheckMode::Restore);
            enableSave(false);
        }
        if (awaiting)
            showWaitForOfficer();
        else if (!services_.state.msInspId.isEmpty())
            enableSave(DataChanged());
    });
}

void GroupRules::showWaitForOfficer() {
    services_.shared.shell.SetStatusText(
        tr("Wait until the security groups of %1 are shown; if they do not come, search and "
           "pick the officer again.")
            .arg(services_.state.msOfficerName));
}

void GroupRules::LoadOfficerGroups() {
    DocumentState& s = services_.state;
    trapped(
        services_.trap, "LoadOfficerGroups",
        [&] {
            const GroupListModel::CheckChanges groups(list(CheckList::Groups)),
                agencies(list(CheckList::Agencies));
            std::unique_ptr<RecordTable> table = services_.shared.replies.GetTable(
                QStringLiteral("OFFICERGROUP"), s.documentIdentity, s.msMessageId);
            CheckGroups(CheckMode::Clear);
            if (!table)
                return;
            table->MoveFirst();
            while (!table->isEof()) {
                const QString officer =
                    table->field(QStringLiteral("INSP_ID")).TextOrEmpty().trimmed();
                if (officer == s.msInspId) {
                    const QString code = table->field(QStringLiteral("GRP_CD")).Text();
                    if (!SetChecked(code, CheckList::Groups))
                        SetChecked(code, CheckList::Agencies);
                }
                table->MoveNext();
            }
        },
        [&] { services_.form.setCaption(kCaptionPrefix + s.msOfficerName); });
}

bool GroupRules::SetChecked(const QString& code, CheckList which) {
    return trappedOr(services_.trap, "SetChecked", false, [&] {
        GroupListModel& l = list(which);
        const int row = l.firstIndexOf(code);
        if (row < 0)
            return false;
        l.setChecked(row, true);
        l.setTag(row, true);
        return true;
    });
}

int GroupRules::layEdits(const std::vector<PendingEdit>& edits) {
    int laid = 0;
    for (const PendingEdit& edit : edits) {
        GroupListModel& l = list(edit.list);
        if (edit.row < 0 || edit.row >= l.count())
            continue;
        l.setChecked(edit.row, edit.checked);
        ++laid;
    }
    return laid;
}

} // namespace zavek
