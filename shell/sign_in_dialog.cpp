#include "shell/sign_in_dialog.h"

#include "common/failure.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace zavek::shell {

SignInDialog::SignInDialog(backend::Authenticator& authenticator, QWidget* parent)
    : SignInDialog(
          [&authenticator](const QString& id, const QString& password) {
              return authenticator.signIn(id, password);
          },
          parent) {}

SignInDialog::SignInDialog(SignIn signIn, QWidget* parent)
    : QDialog(parent), signIn_(std::move(signIn)) {
    setWindowTitle(tr("Sign in — ZAVEK Security Administration"));
    identifier_ = new QLineEdit(this);
    identifier_->setObjectName(QStringLiteral("AdminId"));
    password_ = new QLineEdit(this);
    password_->setObjectName(QStringLiteral("Password"));
    password_->setEchoMode(QLineEdit::Password);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("SignInMessage"));
    message_->setWordWrap(true);
    message_->setStyleSheet(QStringLiteral("color: #b00020;"));
    message_->hide();

    auto* form = new QFormLayout;
    form->addRow(tr("Administrator:"), identifier_);
    form->addRow(tr("Password:"), password_);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Cancel, this);
    signInButton_ = buttons->addButton(tr("Sign in"), QDialogButtonBox::AcceptRole);
    signInButton_->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &SignInDialog::trySignIn);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(new QLabel(tr("Sign in with your administrator account."), this));
    layout->addLayout(form);
    layout->addWidget(message_);
    layout->addWidget(buttons);
    setMinimumWidth(380);
}

void SignInDialog::trySignIn() {
    if (identifier_->text().trimmed().isEmpty()) {
        message_->setText(tr("Enter your administrator identifier."));
        message_->show();
        identifier_->setFocus();
        return;
    }
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    const auto failure =
        attempt([&] { session_ = signIn_(identifier_->text(), password_->text()); });
    QGuiApplication::restoreOverrideCursor();
    if (failure) {
        message_->setText(failure->description());
        message_->show();
        password_->clear();
        password_->setFocus();
        return;
    }
    accept();
}

} // namespace zavek::shell
