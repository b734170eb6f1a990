#include "document/form_adapters.h"

#include "document/security_form.h"
#include "groups/twips.h"
#include "platform/platform.h"
#include "toolbox/officer_select.h"

#include <QBoxLayout>
#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QLabel>

namespace zavek {

int FormControls::resetPasswordValue() const {
    return form_.resetPassword()->isChecked() ? 1 : 0;
}

void FormControls::setResetPasswordValue(int value) {
    form_.resetPassword()->setChecked(value == 1);
}

QString FormControls::caption() const {
    return form_.caption()->text();
}

void FormControls::setCaption(const QString& text) {
    form_.setCaptionText(text);
}

QString FormControls::selectedOfficerName() const {
    return form_.officerSelect()->property("OfficerName").toString();
}

int ListGeometry::listWidthTwips(CheckList list) {
    Q_UNUSED(list);
    // The lists never resize, so their width is the design width.
    return SecurityForm::kListWidthTwips;
}

void ListGeometry::setColumnWidthTwips(CheckList list, int column, int twips) {
    form_.list(list)->setColumnWidth(column - 1, twipsToPixels(twips, Axis::Horizontal, &form_));
}

std::optional<PickedOfficer> OfficerPicker::pickOfficer(const QString& shownName) {
    QDialog dialog(&form_);
    dialog.setObjectName(QStringLiteral("CopyGroupsFromDialog"));
    dialog.setWindowTitle(tr("Copy Security Groups From"));
    auto* label = new QLabel(
        tr("Pick the officer whose security groups are copied to %1.").arg(shownName), &dialog);
    label->setTextFormat(Qt::PlainText);
    // In line with the selector's own controls, which sit inside its margins.
    label->setContentsMargins(6, 0, 6, 0);
    auto* select = new ZAVEK_OfficerSelect(&dialog);
    select->setObjectName(QStringLiteral("copySource"));
    // The screen's own directory: officers of the session's region only.
    select->setDirectory(directory_, &session_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, &dialog);
    auto* layout = new QVBoxLayout(&dialog);
    layout->addWidget(label);
    layout->addWidget(select, 1);
    layout->addWidget(buttons);
    buttons->setContentsMargins(6, 0, 6, 0);
    std::optional<PickedOfficer> picked;
    QObject::connect(select, &ZAVEK_OfficerSelect::OfficerSelected, &dialog,
                     [&](const QString& id) {
                         picked = PickedOfficer{id, select->OfficerName()};
                         dialog.accept();
                     });
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
    dialog.resize(twipsToPixels(8640, Axis::Horizontal, &form_),
                  twipsToPixels(5400, Axis::Vertical, &form_));
    if (dialogs_.Run(dialog) != QDialog::Accepted)
        return std::nullopt;
    return picked;
}

} // namespace zavek
