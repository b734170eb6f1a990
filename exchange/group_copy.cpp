#include "exchange/group_copy.h"

#include "common/message.h"
#include "common/message_bus.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "platform/platform.h"

#include <algorithm>

namespace zavek {

namespace {
constexpr std::size_t kAbandonedKept = 8;
} // namespace

IOfficerPicker::~IOfficerPicker() = default;

GroupCopy::GroupCopy(DocumentServices services, GroupRules& rules, const OfficerExchange& exchange,
                     IOfficerPicker& picker)
    : services_(std::move(services)), rules_(rules), exchange_(exchange), picker_(picker) {}

void GroupCopy::status(const QString& text) const {
    services_.shared.shell.SetStatusText(text);
}

bool GroupCopy::available() const {
    return messageId_.isEmpty() && exchange_.officerShown();
}

void GroupCopy::CopyGroupsFrom() {
    DocumentState& s = services_.state;
    trapped(services_.trap, "CopyGroupsFrom", [&] {
        if (!messageId_.isEmpty()) {
            status(tr("Still waiting for the security groups of %1; copy again once they are "
                      "shown")
                       .arg(source_.name));
            return;
        }
        if (!exchange_.officerShown()) {
            status(tr("Select an officer first: security groups are copied to the "
                      "officer shown"));
            return;
        }
        const std::optional<PickedOfficer> picked = picker_.pickOfficer(s.msOfficerName);
        if (!picked)
            return;
        if (picked->id.trimmed() == s.msInspId.trimmed()) {
            const QString text = tr("%1 is the officer shown. Pick another officer to "
                                    "copy security groups from.")
                                     .arg(picked->name);
            services_.platform.messageBox->Show(text, platform::BoxStyle::OkInformation,
                                                s.msWindowCaption);
            status(text);
            return;
        }
        // The picker's own loop may have let another officer's answer in.
        if (!exchange_.officerShown())
            return;
        const KelbMessage message = retrievalRequest(services_, picked->id);
        const QString id = message.MessageId();
        source_ = *picked;
        if (const auto failure = attempt([&] { services_.shared.bus.send(message.data()); })) {
            report(tr("Requesting the security groups of %1 failed: %2")
                       .arg(source_.name, failure->description()));
            return;
        }
        messageId_ = id;
        targetId_ = s.msInspId;
        targetMessageId_ = s.msMessageId;
        services_.platform.pointer->SetShape(platform::PointerHourglass);
        status(tr("%1 to copy to %2")
                   .arg(QStringLiteral("Requesting Security Group for ") + source_.name,
                        s.msOfficerName));
    });
}

bool GroupCopy::takeReply(const QString& recipient) {
    const DocumentState& s = services_.state;
    if (recipient.trimmed() != s.documentIdentity.trimmed())
        return false;
    const MessageData* reply = services_.shared.replies.announcing();
    if (!reply || reply->replyTo.trimmed() != s.documentIdentity.trimmed())
        return false;
    const auto late = std::find(abandoned_.begin(), abandoned_.end(), reply->messageId);
    if (late != abandoned_.end()) {
        abandoned_.erase(late);
        return true;
    }
    if (messageId_.isEmpty() || reply->messageId != messageId_)
        return false;
    const bool done = trapped(services_.trap, "CopyGroupsFrom", [&] {
        std::int16_t enabled = -1;
        services_.shared.shell.SetShellEnabled(enabled);
        finish(services_.shared.checker.GetReplyError(
            s.documentIdentity, QStringLiteral("ZAVEK_Security.CopyGroupsFrom"), messageId_));
    });
    messageId_.clear();
    // The failure is in the error log; the administrator still has to hear of it.
    if (!done)
        trapped(services_.trap, "CopyGroupsFrom",
                [&] { report(tr("Reading the security groups of %1 failed.").arg(source_.name)); });
    services_.platform.pointer->SetShape(platform::PointerDefault);
    return true;
}

bool GroupCopy::takeTimeout(const QVariant& messageId) {
    const QString id = messageId.toString();
    if (std::find(abandoned_.begin(), abandoned_.end(), id) != abandoned_.end())
        return true;
    if (messageId_.isEmpty() || id != messageId_)
        return false;
    abandon();
    trapped(services_.trap, "CopyGroupsFrom", [&] {
        report(tr("Requesting the security groups of %1 got no answer. Check the connection "
                  "and copy again.")
                   .arg(source_.name));
    });
    services_.platform.pointer->SetShape(platform::PointerDefault);
    return true;
}

void GroupCopy::abandon() {
    if (messageId_.isEmpty())
        return;
    abandoned_.push_back(messageId_);
    while (abandoned_.size() > kAbandonedKept)
        abandoned_.pop_front();
    messageId_.clear();
}

void GroupCopy::report(const QString& what) {
    services_.platform.messageBox->Show(
        tr("%1\r\n\r\nNothing was copied; the lists are unchanged.").arg(what),
        platform::BoxStyle::OkCritical, services_.state.msWindowCaption);
    status(
        tr("Copying the security groups of %1 failed; the lists are unchanged").arg(source_.name));
}

void GroupCopy::finish(const QString& error) {
    DocumentState& s = services_.state;
    const QString id = messageId_;
    messageId_.clear();
    if (!error.isEmpty()) {
        report(error);
        return;
    }
    if (s.msInspId != targetId_ || s.msMessageId != targetMessageId_ || !exchange_.officerShown()) {
        status(tr("The copy from %1 was dropped: the screen shows another officer now")
                   .arg(source_.name));
        return;
    }
    std::vector<QString> codes;
    if (std::unique_ptr<RecordTable> table = services_.shared.replies.GetTable(
            QStringLiteral("OFFICERGROUP"), s.documentIdentity, id)) {
        for (table->MoveFirst(); !table->isEof(); table->MoveNext())
            if (table->field(QStringLiteral("INSP_ID")).TextOrEmpty().trimmed() ==
                source_.id.trimmed())
                codes.push_back(table->field(QStringLiteral("GRP_CD")).Text());
    }
    const GroupListModel& groups = rules_.list(CheckList::Groups);
    const auto held = std::count_if(codes.begin(), codes.end(), [&](const QString& code) {
        return groups.firstIndexOf(code) >= 0;
    });
    services_.platform.pointer->SetShape(platform::PointerDefault);
    const QString from = source_.name;
    const QString to = s.msOfficerName;
    const int answer = services_.platform.messageBox->Show(
        tr("Copy the security groups of %1 to %2?\r\n\r\n"
           "Add to the current groups: the %3 security groups of %1 are ticked as "
           "well; the agency stays.\r\n"
           "Replace the current groups: exactly the security groups and the agency "
           "of %1.\r\n\r\n"
           "Nothing is stored until you press Save.")
            .arg(from, to, QString::number(held)),
        platform::BoxStyle::AddReplaceCancelQuestion, s.msWindowCaption);
    // While the box was open, only replies could change the screen.
    if (s.msInspId != targetId_ || !exchange_.officerShown())
        status(tr("The copy from %1 was dropped: the screen shows another officer now").arg(from));
    else if (answer == platform::AnswerAdd)
        lay(Mode::Add, codes);
    else if (answer == platform::AnswerReplace)
        lay(Mode::Replace, codes);
    else
        status(tr("Nothing was copied from %1").arg(from));
}

void GroupCopy::lay(Mode mode, const std::vector<QString>& codes) {
    const std::vector<bool> before = rules_.checks();
    std::vector<bool> wanted = before;
    if (mode == Mode::Replace)
        std::fill(wanted.begin(), wanted.end(), false);
    const GroupListModel& groups = rules_.list(CheckList::Groups);
    const GroupListModel& agencies = rules_.list(CheckList::Agencies);
    for (const QString& code : codes) {
        // A code is a security group when the group list has it, as when an officer is shown.
        if (const int row = groups.firstIndexOf(code); row >= 0)
            wanted[static_cast<std::size_t>(row)] = true;
        else if (const int agency = agencies.firstIndexOf(code);
                 agency >= 0 && mode == Mode::Replace)
            wanted[static_cast<std::size_t>(groups.count() + agency)] = true;
    }
    // On the stored state, as after a refused save: what the copy asks for is laid on top and
    // is pending until Save.
    const std::vector<bool> stored = rules_.tags();
    rules_.CheckGroups(CheckMode::Restore);
    rules_.layEdits(rules_.editsBetween(stored, wanted));

    int changed = 0;
    for (std::size_t i = 0; i < before.size(); ++i)
        changed += before[i] != wanted[i] ? 1 : 0;
    int ticked = 0;
    for (int row = 0; row < agencies.count(); ++row)
        ticked += agencies.isChecked(row) ? 1 : 0;
    rules_.enableSave(rules_.hasChanges());

    const QString from = source_.name;
    const QString to = services_.state.msOfficerName;
    QString text;
    if (changed == 0)
        text = mode == Mode::Add ? tr("The lists already hold every security group of %1; nothing "
                                      "changed")
                                       .arg(from)
                                 : tr("The lists already show the security groups and agency of "
                                      "%1; nothing changed")
                                       .arg(from);
    else if (changed == 1)
        text = (mode == Mode::Add ? tr("Added the security groups of %1 to %2: 1 tick changed; "
                                       "press Save to store them")
                                  : tr("Replaced the security groups and agency of %2 with those "
                                       "of %1: 1 tick changed; press Save to store them"))
                   .arg(from, to);
    else
        text = (mode == Mode::Add ? tr("Added the security groups of %1 to %2: %3 ticks changed; "
                                       "press Save to store them")
                                  : tr("Replaced the security groups and agency of %2 with those "
                                       "of %1: %3 ticks changed; press Save to store them"))
                   .arg(from, to, QString::number(changed));
    if (ticked != 1)
        text = tr("%1; tick exactly one agency before saving").arg(text);
    status(text);
}

} // namespace zavek
