#include "document/zavek_security.h"

#include "common/message_bus.h"
#include "common/officer_directory.h"
#include "common/session_info.h"
#include "common/shell_services.h"
#include "document/component_ids.h"
#include "document/history_dialog.h"
#include "exchange/history_revert.h"
#include "groups/twips.h"
#include "toolbox/officer_select.h"

#include <QCheckBox>
#include <QUuid>

#include <atomic>

namespace zavek {

namespace {
std::atomic<int> gAlive{0};
constexpr ToolbarButton kToolbarButtons[] = {ToolbarButton::Save, ToolbarButton::New,
                                             ToolbarButton::Delete, ToolbarButton::Print,
                                             ToolbarButton::Refresh};
constexpr int kWaitSleepMs = 500;

platform::Platform withDefaults(platform::Platform given, platform::IComponentInfo* component) {
    const platform::Platform qt = platform::qtPlatform(component);
    if (!given.messageBox)
        given.messageBox = qt.messageBox;
    if (!given.pointer)
        given.pointer = qt.pointer;
    if (!given.events)
        given.events = qt.events;
    if (!given.component)
        given.component = component;
    if (!given.dialogs)
        given.dialogs = qt.dialogs;
    return given;
}
} // namespace

int ZavekSecurity::aliveCount() {
    return gAlive.load();
}

ZavekSecurity::ZavekSecurity(const DocumentContext& context)
    : ZavekSecurity(context, MessageBus::Instance()) {}

// The thread's shared objects are looked up here only; the parts are handed them.
ZavekSecurity::ZavekSecurity(const DocumentContext& context, MessageBus& bus)
    : componentInfo_(ids::kMajorVersion, ids::kMinorVersion, QString::fromLatin1(kModuleBaseName)),
      platform_(withDefaults(context.platform, &componentInfo_)),
      shared_{bus,
              ReplyStore::Instance(),
              ReplyChecker::Instance(),
              SessionInfo::Instance(),
              ShellServices::Instance(),
              *KelbListener::Instance()},
      form_(std::make_unique<SecurityForm>()), directory_(sessionOfficerDirectory()),
      formControls_(*form_), listGeometry_(*form_),
      officerPicker_(*form_, directory_.get(), *platform_.dialogs, shared_.session),
      trap_{platform_.component->ExeName(), QStringLiteral("ZAVEK_Security.")} {
    ++gAlive;
    state_.documentIdentity =
        QStringLiteral("ZAVEK_Security/") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const DocumentServices services = this->services();
    rules_ = std::make_unique<GroupRules>(services, *form_->model(CheckList::Groups),
                                          *form_->model(CheckList::Agencies), listGeometry_);
    exchange_ = std::make_unique<OfficerExchange>(services, *rules_);
    rules_->setOfficerShown([this] { return exchange_->officerShown(); });
    history_ = std::make_unique<HistoryRequest>(services, historyModel_);
    history_->setChanged([this] {
        if (historyDialog_)
            historyDialog_->setMessage(history_->message());
    });
    copy_ = std::make_unique<GroupCopy>(services, *rules_, *exchange_, officerPicker_);
    form_->officerSelect()->setDirectory(directory_.get(), &shared_.session);
    connectControls();
}

ZavekSecurity::~ZavekSecurity() {
    // The form goes first, with its children (the history window among them): its controls
    // reach back into the procedures while they die.
    form_.reset();
    --gAlive;
}

void ZavekSecurity::connectControls() {
    // The box raises its click handling whenever its value changes, by the user or the program.
    connect(form_->resetPassword(), &QCheckBox::stateChanged, this,
            [this] { rules_->chkResetPassword_Click(); });
    for (CheckList which : kCheckLists)
        connect(form_->list(which), &GroupListView::listClicked, this,
                [this](std::int16_t index) { rules_->lvOfficerGroups_Click(index); });
    ZAVEK_OfficerSelect* select = form_->officerSelect();
    connect(select, &ZAVEK_OfficerSelect::Searching, this, [this] {
        exchange_->ZAVEK_OfficerSelect1_Searching();
        followOfficerInHistory();
    });
    connect(select, &ZAVEK_OfficerSelect::ClearForm, this, [this] {
        exchange_->ZAVEK_OfficerSelect1_ClearForm();
        followOfficerInHistory();
    });
    connect(select, &ZAVEK_OfficerSelect::OfficerSelected, this, [this](const QString& id) {
        exchange_->ZAVEK_OfficerSelect1_OfficerSelected(id);
        followOfficerInHistory();
    });
}

int ZavekSecurity::ScrollStepPixels(Qt::Orientation orientation) const {
    return twipsToPixels(SecurityForm::kScrollStepTwips,
                         orientation == Qt::Vertical ? Axis::Vertical : Axis::Horizontal,
                         form_.get());
}

// ---- the host window's texts -------------------------------------------------------------

QString ZavekSecurity::hostWindowText(const char* property) const {
    // The parent chain is looked up by name at run time: the host decides what it is.
    if (!container_)
        fail(codes::kNoSuchProperty, QStringLiteral("The document has no host container."));
    const QVariant parent = container_->property("Parent");
    QObject* window = parent.value<QObject*>();
    if (!window)
        fail(codes::kNoSuchProperty,
             QStringLiteral("Object doesn't support this property or method: Parent"));
    const QVariant value = window->property(property);
    if (!value.isValid())
        fail(codes::kNoSuchProperty,
             QStringLiteral("Object doesn't support this property or method: %1")
                 .arg(QLatin1String(property)));
    return value.toString();
}

void ZavekSecurity::attachListener() {
    if (moKelbMessage)
        return;
    moKelbMessage = &shared_.listener;
    // A copy's answer is not the shown officer's: it must not clear the box or load the lists.
    connect(moKelbMessage, &KelbListener::DataReady, this, [this](const QString& recipient) {
        if (copy_->takeReply(recipient))
            return;
        exchange_->moKelbMessage_DataReady(recipient);
        history_->moKelbMessage_DataReady(recipient);
        // A stored save of the officer whose history is open is a new entry of it.
        const MessageData* reply = shared_.replies.announcing();
        if (historyDialog_ && historyDialog_->isVisible() && reply &&
            reply->replyTo == state_.documentIdentity &&
            reply->messageType == message_types::kSave && reply->errorText.isEmpty() &&
            history_->officerId() == state_.msInspId.trimmed())
            history_->load();
    });
    connect(moKelbMessage, &KelbListener::MsgTimeout, this, [this](const QVariant& argument) {
        if (copy_->takeTimeout(argument))
            return;
        exchange_->moKelbMessage_MsgTimeout(argument);
        history_->moKelbMessage_MsgTimeout(argument);
    });
}

// ---- the officer's history -----------------------------------------------------------------

void ZavekSecurity::ShowHistory() {
    trapped(trap_, "ShowHistory", [&] {
        attachListener();
        if (!historyDialog_) {
            historyDialog_ = new HistoryDialog(historyModel_, form_.get());
            historyDialog_->setWindowFlag(Qt::Window);
            historyDialog_->setRevert([this](int row) { revertFromHistory(row); });
        }
        history_->load();
        historyDialog_->setMessage(history_->message());
        historyDialog_->show();
        historyDialog_->raise();
    });
}

void ZavekSecurity::followOfficerInHistory() {
    if (!historyDialog_ || !historyDialog_->isVisible())
        return;
    if (state_.msInspId.trimmed().isEmpty())
        history_->clear();
    else if (history_->officerId() != state_.msInspId.trimmed())
        history_->load();
}

void ZavekSecurity::revertFromHistory(int row) {
    trapped(trap_, "revertFromHistory", [&] {
        if (row < 0 || row >= historyModel_.count())
            return;
        if (history_->state() != HistoryRequest::State::Shown ||
            history_->officerId() != state_.msInspId.trimmed()) {
            shared_.shell.SetStatusText(
                tr("The history shown is not of the officer on screen; open the "
                   "history again and revert from there."));
            return;
        }
        revertOnLists(*rules_, shared_.shell, historyModel_.entry(row), state_.msOfficerName);
    });
}

// ---- start-up ----------------------------------------------------------------------------

void ZavekSecurity::UserDocument_Show() {
    const std::function<void()> steps[] = {
        [&] { state_.msWindowTag = hostWindowText("Tag"); },
        [&] { state_.msWindowCaption = hostWindowText("Caption"); },
        [&] { shared_.shell.SetStatusText(QStringLiteral("Loading information")); },
        [&] { ConfigureToolbar(0); },
        [&] { platform_.pointer->SetShape(platform::PointerHourglass); },
        [&] { attachListener(); },
        [&] { rules_->InitializeListView(); },
        [&] {
            std::int16_t enabled = -1;
            shared_.shell.SetShellEnabled(enabled);
        },
        [&] { platform_.pointer->SetShape(platform::PointerDefault); },
        [&] { shared_.shell.SetStatusText(QStringLiteral("Ready")); },
        [&] { exchange_->ZAVEK_OfficerSelect1_ClearForm(); },
        // The first stop of the keyboard order.
        [&] { form_->resetPassword()->setFocus(Qt::OtherFocusReason); },
    };
    // A failing step is passed over silently; only the stop code ends start-up.
    for (const auto& step : steps) {
        const auto failure = attempt(step);
        if (failure && failure->code() == codes::kStop)
            return;
    }
}

void ZavekSecurity::ConfigureToolbar(std::int32_t enabled) {
    trapped(trap_, "ConfigureToolbar", [&] {
        for (ToolbarButton id : kToolbarButtons) {
            std::int32_t button = static_cast<std::int32_t>(id);
            std::int32_t flag = enabled;
            shared_.shell.EnableToolbarButton(button, flag, state_.msWindowTag);
        }
    });
}

// ---- close, unload and save prompts ------------------------------------------------------

int ZavekSecurity::closeWaitPassLimit() const {
    // The message layer's time-out plus one pass: by then the reply or its time-out was due.
    const int timeout = shared_.bus.timeoutMs();
    return (timeout + kWaitSleepMs - 1) / kWaitSleepMs + 1;
}

void ZavekSecurity::waitForSave(OfficerExchange::SaveTicket ticket) {
    // A time-out does not end the wait: a late answer within the bound still counts.
    const auto answered = [&] {
        const auto outcome = exchange_->outcome(ticket);
        return outcome == OfficerExchange::SaveOutcome::Stored ||
               outcome == OfficerExchange::SaveOutcome::Refused;
    };
    const int limit = closeWaitPassLimit();
    for (int pass = 0; !answered() && pass < limit; ++pass) {
        platform_.events->ProcessEvents();
        platform_.events->Sleep(kWaitSleepMs);
        platform_.events->ProcessEvents();
    }
}

CloseAnswer ZavekSecurity::askClose() {
    if (!rules_->DataChanged())
        return CloseAnswer::NothingToSave;
    const int answer = exchange_->askToSave();
    if (answer == platform::AnswerYes)
        return CloseAnswer::Save;
    if (answer == platform::AnswerNo)
        return CloseAnswer::Discard;
    return CloseAnswer::Cancel;
}

bool ZavekSecurity::finishClose(CloseAnswer answer) {
    switch (answer) {
    case CloseAnswer::NothingToSave:
        ConfigureToolbar(-1);
        return true;
    case CloseAnswer::Save:
        // Until the back end has stored the changes the document may not close. A copy's
        // question must not come up while the close waits.
        copy_->abandon();
        // Trapped on its own: a failure from here on keeps the document open.
        return trappedOr(trap_, "CloseDocument", false, [&] { return saveBeforeClose(); });
    case CloseAnswer::Discard:
        rules_->CheckGroups(CheckMode::Clear);
        ConfigureToolbar(-1);
        return true;
    case CloseAnswer::Cancel:
        return false;
    }
    return false;
}

bool ZavekSecurity::saveBeforeClose() {
    if (!exchange_->SendData()) {
        shared_.shell.SetStatusText(QStringLiteral("Save failed"));
        ConfigureToolbar(-1);
        return false;
    }
    const OfficerExchange::SaveTicket ticket = exchange_->lastSave();
    waitForSave(ticket);
    // Unanswered within the bound: the edits go back to pending and the document stays.
    exchange_->giveUp(ticket);
    const bool stored = exchange_->outcome(ticket) == OfficerExchange::SaveOutcome::Stored;
    ConfigureToolbar(-1);
    // A click made during the wait was no part of that save: closing would drop it.
    if (stored && rules_->hasChanges()) {
        rules_->enableSave(true);
        shared_.shell.SetStatusText(
            tr("%1 done; the changes made since are still pending. Save them, then close again.")
                .arg(QStringLiteral("Saving Security Group for ") + state_.msOfficerName));
        return false;
    }
    return stored;
}

std::int16_t ZavekSecurity::CloseDocument() {
    const bool closes =
        trappedOr(trap_, "CloseDocument", true, [&] { return finishClose(askClose()); });
    return closes ? -1 : 0;
}

CloseAnswer ZavekSecurity::AskToClose() {
    // A failure before an answer lets the document close, as CloseDocument does.
    return trappedOr(trap_, "CloseDocument", CloseAnswer::NothingToSave,
                     [&] { return askClose(); });
}

std::int16_t ZavekSecurity::FinishClose(CloseAnswer answer) {
    const bool closes = trappedOr(trap_, "CloseDocument", answer != CloseAnswer::Cancel,
                                  [&] { return finishClose(answer); });
    return closes ? -1 : 0;
}

std::int16_t ZavekSecurity::NeedSave() {
    const bool handled = trappedOr(trap_, "NeedSave", false, [&] {
        if (!rules_->DataChanged())
            return false;
        const int answer = exchange_->askToSave();
        if (answer == platform::AnswerYes) {
            SaveData();
            return true;
        }
        if (answer == platform::AnswerCancel) {
            // The answer stands even if the pointer cannot be set back.
            trapped(trap_, "NeedSave",
                    [&] { platform_.pointer->SetShape(platform::PointerDefault); });
            return true;
        }
        return false;
    });
    return handled ? -1 : 0;
}

void ZavekSecurity::BeforeUnload() {
    trapped(trap_, "BeforeUnload", [&] {
        ConfigureToolbar(-1);
        std::int16_t enabled = -1;
        shared_.shell.SetShellEnabled(enabled);
    });
}

void ZavekSecurity::BeforeUnload_BackupForPersist() {}

void ZavekSecurity::SaveData() {
    exchange_->SaveData();
}

std::int32_t ZavekSecurity::Invoke(std::uint32_t dispatchId, std::int16_t* result) {
    switch (dispatchId) {
    case dispid::CloseDocument: {
        const std::int16_t r = CloseDocument();
        if (result)
            *result = r;
        return kResultOk;
    }
    case dispid::NeedSave: {
        const std::int16_t r = NeedSave();
        if (result)
            *result = r;
        return kResultOk;
    }
    case dispid::BeforeUnload:
        BeforeUnload();
        return kResultOk;
    case dispid::BeforeUnload_BackupForPersist:
        BeforeUnload_BackupForPersist();
        return kResultOk;
    case dispid::SaveData:
        SaveData();
        return kResultOk;
    default:
        return kResultUnknownMember;
    }
}

} // namespace zavek
