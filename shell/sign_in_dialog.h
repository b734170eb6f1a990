#pragma once
#include "backend/authenticator.h"

#include <QDialog>

class QLabel;
class QLineEdit;
class QPushButton;

namespace zavek::shell {

// Asks for the administrator's identifier and password; stays open on a refusal and says why.
class SignInDialog final : public QDialog {
    Q_OBJECT
public:
    explicit SignInDialog(backend::Authenticator& authenticator, QWidget* parent = nullptr);
    backend::Session session() const { return session_; }
    QLineEdit* identifier() const { return identifier_; }
    QLineEdit* password() const { return password_; }
    QLabel* message() const { return message_; }
    QPushButton* signInButton() const { return signIn_; }

private:
    void trySignIn();

    backend::Authenticator& authenticator_;
    backend::Session session_;
    QLineEdit* identifier_;
    QLineEdit* password_;
    QLabel* message_;
    QPushButton* signIn_;
};

} // namespace zavek::shell
