#pragma once
// What the procedures reach of the document's form, so that the document class itself answers
// only to its host: the reset box, the caption and the selector's officer name; the lists'
// column widths; and the selector again, in a dialog of its own, to pick a copy's source.

#include "exchange/group_copy.h"
#include "groups/document_state.h"
#include "groups/group_rules.h"

#include <QCoreApplication>

#include <optional>

namespace zavek {

class IOfficerDirectory;
class SessionInfo;
class SecurityForm;

namespace platform {
class IDialogRunner;
}

class FormControls final : public IFormControls {
public:
    explicit FormControls(SecurityForm& form) : form_(form) {}

    int resetPasswordValue() const override;
    void setResetPasswordValue(int value) override;
    QString caption() const override;
    void setCaption(const QString& text) override;
    QString selectedOfficerName() const override;

private:
    SecurityForm& form_;
};

class ListGeometry final : public IListGeometry {
public:
    explicit ListGeometry(SecurityForm& form) : form_(form) {}

    int listWidthTwips(CheckList list) override;
    void setColumnWidthTwips(CheckList list, int column, int twips) override;

private:
    SecurityForm& form_;
};

class OfficerPicker final : public IOfficerPicker {
    Q_DECLARE_TR_FUNCTIONS(zavek::OfficerPicker)

public:
    // directory: the screen's own, not owned; null searches show a message.
    OfficerPicker(SecurityForm& form, IOfficerDirectory* directory,
                  platform::IDialogRunner& dialogs, const SessionInfo& session)
        : form_(form), directory_(directory), dialogs_(dialogs), session_(session) {}

    std::optional<PickedOfficer> pickOfficer(const QString& shownName) override;

private:
    SecurityForm& form_;
    IOfficerDirectory* directory_;
    platform::IDialogRunner& dialogs_;
    const SessionInfo& session_;
};

} // namespace zavek
