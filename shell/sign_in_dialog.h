#pragma once
#include "backend/authenticator.h"

#include <QDialog>

#include <functional>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zavek::shell {

// Asks for the administrator's identifier and password; stays open on a refusal and says why.
class SignInDialog final : public QDialog {
    Q_OBJECT
public:
    // Signs in or fails with a sentence for the administrator.
    using SignIn = std::function<backend::Session(const QString& id, const QString& password)>;

    explicit SignInDialog(backend::Authenticator& authenticator, QWidget* parent = nullptr);
    explicit SignInDialog(SignIn signIn, QWidget* parent = nullptr);
    backend::Session session() const { return session_; }
    QLineEdit* identifier() const { return identifier_; }
    QLineEdit* password() const { return password_; }
    QLabel* message() const { return message_; }
    QPushButton* signInButton() const { return signInButton_; }

private:
    void trySignIn();

    SignIn signIn_;
    backend::Session session_;
    QLineEdit* identifier_;
    QLineEdit* password_;
    QLabel* message_;
    QPushButton* signInButton_;
};

} // namespace zavek::shell
