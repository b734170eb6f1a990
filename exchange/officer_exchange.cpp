#include "exchange/officer_exchange.h"

#include "common/message.h"
#include "common/message_bus.h"
#include "common/record_table.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "platform/platform.h"

namespace zavek {

namespace {
const QString kPromptStart = QStringLiteral("Security groups have been changed for ");
const QString kPromptEnd = QStringLiteral(".\r\n Would you like to save your changes ?");
const QString kCaptionPrefix = QStringLiteral("Current Officer : ");
constexpr std::int32_t kSaveButton = 7;
constexpr std::int32_t kRetrievalType = 2;
constexpr std::int32_t kSaveType = 3;
} // namespace

OfficerExchange::OfficerExchange(DocumentServices services, GroupRules& rules)
    : services_(std::move(services)), rules_(rules) {}

void OfficerExchange::enableSave(bool enabled) {
    std::int32_t button = kSaveButton;
    std::int32_t flag = enabled ? -1 : 0;
    ShellServices::Instance().EnableToolbarButton(button, flag,
                                                  ComponentGlobals::Instance().gsWindowTag);
}

void OfficerExchange::clearForm(const char* procedure) {
    trapped(services_.trap, procedure, [&] {
        rules_.CheckGroups(Clear);
        services_.form.setCaption(kCaptionPrefix);
        services_.state.msInspId.clear();
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
            const int answer = services_.platform.messageBox->Show(
                kPromptStart + s.msOfficerName + kPromptEnd, platform::YesNoCancelQuestion,
                ComponentGlobals::Instance().gsWindowCaption);
            if (answer == platform::AnswerYes)
                SendData();
            else if (answer == platform::AnswerCancel)
                return;
        }
        services_.platform.pointer->SetShape(platform::PointerHourglass);
        s.msOfficerName = services_.form.selectedOfficerName();
        rules_.CheckGroups(Store);
        s.msInspId = officerId;
        ShellServices::Instance().SetStatusText(
            header(QStringLiteral("Requesting Security Group for ")));
        enableSave(false);

        KelbMessage message;
        message.ReplyTo(s.documentIdentity);
        message.ClientVersion(platform::versionText(*services_.platform.component));
        message.MessageType(kRetrievalType);
        QString sessionId;
        SessionInfo::Instance().SessionId(sessionId);
        message.SessionId(sessionId);
        s.msMessageId = message.MessageId();
        KelbCriteria criteria;
        criteria.SystemName(QStringLiteral("QUILLMOR"));
        criteria.FieldName(QStringLiteral("key:INSP_ID"));
        criteria.Operator(QStringLiteral("="));
        criteria.Value(s.msInspId.trimmed());
        message.AddCriteria(criteria);
        message.Send();

        s.mbRetrievalRequest = true;
        s.mbTimedOut = false;
    });
}

void OfficerExchange::moKelbMessage_DataReady(const QString& recipient) {
    DocumentState& s = services_.state;
    const bool ok = trapped(services_.trap, "moKelbMessage_DataReady", [&] {
        std::int16_t enabled = -1;
        ShellServices::Instance().SetShellEnabled(enabled);
        services_.form.setResetPasswordValue(0);
        if (recipient.trimmed() != s.documentIdentity.trimmed())
            return;
        services_.platform.pointer->SetShape(platform::PointerHourglass);
        const QString error = ReplyChecker::Instance().GetReplyError(
            s.documentIdentity, QStringLiteral("ZAVEK_Security.moKelbMessage_DataReady"),
            s.msMessageId);
        if (!error.isEmpty()) {
            services_.platform.messageBox->Show(error, platform::OkCritical,
                                                ComponentGlobals::Instance().gsWindowCaption);
            s.mbReplyReceived = true;
            if (!s.mbTimedOut) {
                s.mbReplyFailed = true;
                ShellServices::Instance().SetStatusText(
                    QStringLiteral("Search was not successful"));
            } else {
                ShellServices::Instance().SetStatusText(QStringLiteral("Search timed"));
            }
            return;
        }
        s.mbReplyReceived = true;
        if (s.mbRetrievalRequest)
            rules_.LoadOfficerGroups();
        ShellServices::Instance().SetStatusText(
            header(QStringLiteral("Displaying Security Group for ")));
    });
    if (!ok)
        rules_.CheckGroups(Clear);
    // Always: the default pointer, also after a failure.
    services_.platform.pointer->SetShape(platform::PointerDefault);
}

void OfficerExchange::moKelbMessage_MsgTimeout(const QVariant& argument) {
    Q_UNUSED(argument);
    trapped(services_.trap, "moKelbMessage_MsgTimeout", [&] { services_.state.mbTimedOut = true; });
}

void OfficerExchange::SaveData() {
    DocumentState& s = services_.state;
    trapped(
        services_.trap, "SaveData",
        [&] {
            if (!rules_.DataChanged()) {
                ShellServices::Instance().SetStatusText(
                    QStringLiteral("Data did not change.  Save request cancelled. "));
                return;
            }
            int agencies = 0;
            const GroupListModel& agencyList = rules_.list(1);
            for (int row = 0; row < agencyList.count(); ++row)
                agencies += agencyList.item(row).checked ? 1 : 0;
            if (agencies > 1) {
                services_.platform.messageBox->Show(
                    QStringLiteral("Can not select more than one Agency."), platform::OkCritical,
                    ComponentGlobals::Instance().gsWindowCaption);
                return;
            }
            if (agencies == 0) {
                services_.platform.messageBox->Show(QStringLiteral("Please select an Agency."),
                                                    platform::OkCritical,
                                                    ComponentGlobals::Instance().gsWindowCaption);
                return;
            }
            SendData();
            s.mbTimedOut = false;
            s.mbRetrievalRequest = false;
            enableSave(false);
        },
        [&] {
            std::int16_t enabled = -1;
            ShellServices::Instance().SetShellEnabled(enabled);
            services_.platform.pointer->SetShape(platform::PointerDefault);
        });
}

bool OfficerExchange::SendData() {
    DocumentState& s = services_.state;
    bool result = true;
    bool handedOver = false;
    advanced_.clear();
    const bool ok = trapped(
        services_.trap, "SendData",
        [&] {
            ShellServices::Instance().SetStatusText(
                header(QStringLiteral("Saving Security Group for ")));
            KelbMessage message;
            message.ReplyTo(s.documentIdentity);
            message.ClientVersion(platform::versionText(*services_.platform.component));
            message.MessageType(kSaveType);
            QString sessionId;
            SessionInfo::Instance().SessionId(sessionId);
            message.SessionId(sessionId);
            message.MessageId(s.msMessageId);

            RecordTable changes;
            changes.Source(QStringLiteral("OFFICERGROUP"));
            changes.Open();
            SetRecordSet(changes, 0);
            SetRecordSet(changes, 1);
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
            }
            message.Send();
            handedOver = true;
            s.mbTimedOut = false;
        },
        [&] { services_.platform.pointer->SetShape(platform::PointerDefault); });
    if (!ok) {
        result = false;
        // Nothing reached the back end: the edits must stay pending so a second save sends them.
        if (!handedOver) {
            restoreTags(advanced_);
            advanced_.clear();
        }
    }
    return result;
}

void OfficerExchange::restoreTags(const std::vector<TagChange>& changes) {
    for (auto it = changes.rbegin(); it != changes.rend(); ++it)
        rules_.list(it->list).setTag(it->row, it->before);
}

void OfficerExchange::SetRecordSet(RecordTable& table, std::int32_t listIndex) {
    trapped(services_.trap, "SetRecordSet", [&] {
        GroupListModel& list = rules_.list(listIndex);
        for (int row = 0; row < list.count(); ++row) {
            const GroupListModel::Item& item = list.item(row);
            if (item.tag == item.checked)
                continue;
            advanced_.push_back(TagChange{static_cast<int>(listIndex), row, item.tag});
            list.setTag(row, item.checked);
            table.AddNew();
            table.field(QStringLiteral("GRP_CD")).SetValue(list.item(row).code);
            table.field(QStringLiteral("INSP_ID")).SetValue(services_.state.msInspId);
            table.field(QStringLiteral("ACTION"))
                .SetValue(list.item(row).checked ? QStringLiteral("ADD") : QStringLiteral("DEL"));
            table.Update();
        }
    });
}

} // namespace zavek
