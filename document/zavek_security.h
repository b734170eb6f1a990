#pragma once
// The document class ZAVEK_Security: its default interface, its start-up, and the close,
// unload and save prompts the host drives.

#include "document/component_api.h"
#include "document/form_adapters.h"
#include "document/history_dialog.h"
#include "document/security_form.h"
#include "exchange/group_copy.h"
#include "exchange/history_model.h"
#include "exchange/history_request.h"
#include "exchange/officer_exchange.h"
#include "groups/document_state.h"
#include "groups/group_rules.h"
#include "platform/qt_platform.h"

#include <QObject>
#include <QPointer>

#include <memory>

namespace zavek {

class KelbListener;
class IOfficerDirectory;
class MessageBus;

class ZavekSecurity final : public QObject, public _ZAVEK_Security, public IUserDocument {
    Q_OBJECT
public:
    explicit ZavekSecurity(const DocumentContext& context);
    // A document whose requests go through this bus, not the thread's: a test's own, so that
    // no transport, time-out or clock of it outlives the test.
    ZavekSecurity(const DocumentContext& context, MessageBus& bus);
    ~ZavekSecurity() override;

    // _ZAVEK_Security
    std::int16_t CloseDocument() override;
    std::int16_t NeedSave() override;
    void BeforeUnload() override;
    void BeforeUnload_BackupForPersist() override;
    void SaveData() override;
    std::int32_t Invoke(std::uint32_t dispatchId, std::int16_t* result) override;

    // IUserDocument
    _ZAVEK_Security* Interface() override { return this; }
    QWidget* Form() override { return form_.get(); }
    void SetContainer(QObject* container) override { container_ = container; }
    void UserDocument_Show() override;
    QString DocumentIdentity() const override { return state_.documentIdentity; }
    int ScrollStepPixels(Qt::Orientation orientation) const override;
    CloseAnswer AskToClose() override;
    std::int16_t FinishClose(CloseAnswer answer) override;
    void ShowHistory() override;
    void Release() override { delete this; }
    bool CanCopyGroupsFrom() const override { return copy_->available(); }
    void CopyGroupsFrom() override { copy_->CopyGroupsFrom(); }

    // For tests and the module: the live parts.
    SecurityForm& form() { return *form_; }
    FormControls& formControls() { return formControls_; }
    DocumentState& state() { return state_; }
    // What the parts were handed, for a test that makes a part of its own.
    DocumentServices services() { return {state_, formControls_, platform_, trap_, shared_}; }
    GroupRules& rules() { return *rules_; }
    OfficerExchange& exchange() { return *exchange_; }
    GroupCopy& copy() { return *copy_; }
    KelbListener* listener() const { return moKelbMessage; }
    HistoryRequest& history() { return *history_; }
    HistoryDialog* historyDialog() const { return historyDialog_.data(); }
    // How many passes the close wait may make before it gives up on the reply.
    int closeWaitPassLimit() const;

    static int aliveCount();

private:
    void ConfigureToolbar(std::int32_t enabled);
    QString hostWindowText(const char* property) const;
    void attachListener();
    CloseAnswer askClose();
    // True when the document may close.
    bool finishClose(CloseAnswer answer);
    bool saveBeforeClose();
    void waitForSave(OfficerExchange::SaveTicket ticket);
    void connectControls();
    void revertFromHistory(int row);
    // The open history follows the officer on screen.
    void followOfficerInHistory();

    platform::StaticComponentInfo componentInfo_;
    platform::Platform platform_;
    SharedObjects shared_;
    DocumentState state_;
    // The document's own, for its whole life: a host only shows it, and gives it back before
    // it releases the document.
    std::unique_ptr<SecurityForm> form_;
    std::unique_ptr<IOfficerDirectory> directory_;
    FormControls formControls_;
    ListGeometry listGeometry_;
    OfficerPicker officerPicker_;
    std::unique_ptr<GroupRules> rules_;
    std::unique_ptr<OfficerExchange> exchange_;
    HistoryModel historyModel_;
    std::unique_ptr<HistoryRequest> history_;
    QPointer<HistoryDialog> historyDialog_;
    std::unique_ptr<GroupCopy> copy_;
    QPointer<QObject> container_;
    KelbListener* moKelbMessage = nullptr;
    TrapContext trap_;
};

} // namespace zavek
