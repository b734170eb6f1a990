#include "shell/document_window.h"

#include <QApplication>
#include <QCloseEvent>
#include <QScrollArea>
#include <QScrollBar>

namespace zavek::shell {

DocumentWindow::DocumentWindow(IUserDocument* document, const QString& tag, const QString& caption)
    : document_(document) {
    setAttribute(Qt::WA_DeleteOnClose);
    // The document looks these up by name at start-up.
    setProperty("Tag", tag);
    setProperty("Caption", caption);
    setWindowTitle(caption);
    container_ = new QScrollArea(this);
    container_->setObjectName(QStringLiteral("DocumentContainer"));
    container_->setProperty("Parent", QVariant::fromValue<QObject*>(this));
    container_->setWidgetResizable(false);
    // The form's own controls take the keyboard; the scroll area around them never does.
    container_->setFocusPolicy(Qt::NoFocus);
    container_->setWidget(document->Form());
    container_->horizontalScrollBar()->setSingleStep(document->ScrollStepPixels(Qt::Horizontal));
    container_->verticalScrollBar()->setSingleStep(document->ScrollStepPixels(Qt::Vertical));
    setWidget(container_);
    document->SetContainer(container_);
    // A maximised window that loses its turn is hidden, and hiding pushes its focus on to the
    // next control, which the toolkit then restores. Only a move between this window's own
    // controls while it is on screen is the administrator's choice.
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* before, QWidget* now) {
            if (now && before && isVisible() && isAncestorOf(now) && isAncestorOf(before))
                lastFocus_ = now;
        });
    stateWatch_ = connect(this, &QMdiSubWindow::windowStateChanged, this,
                          [this](Qt::WindowStates, Qt::WindowStates now) {
                              if (now & Qt::WindowActive)
                                  restoreFocus();
                          });
}

void DocumentWindow::restoreFocus() {
    if (lastFocus_ && lastFocus_->isVisible() && lastFocus_->isEnabled())
        lastFocus_->setFocus(Qt::ActiveWindowFocusReason);
}

DocumentWindow::~DocumentWindow() {
    // The base class still changes focus and state while it goes; this part is gone by then.
    disconnect(focusWatch_);
    disconnect(stateWatch_);
    unload();
}

bool DocumentWindow::mayClose() {
    return released_ || document_->Interface()->CloseDocument() == -1;
}

CloseAnswer DocumentWindow::askToClose() {
    return released_ ? CloseAnswer::NothingToSave : document_->AskToClose();
}

bool DocumentWindow::finishClose(CloseAnswer answer) {
    return released_ || document_->FinishClose(answer) == -1;
}

void DocumentWindow::unload() {
    if (released_)
        return;
    released_ = true;
    document_->Interface()->BeforeUnload();
    document_->Interface()->BeforeUnload_BackupForPersist();
    // The form belongs to the document, not to the scroll area.
    container_->takeWidget();
    document_->Release();
}

void DocumentWindow::closeEvent(QCloseEvent* event) {
    if (!mayClose()) {
        event->ignore();
        return;
    }
    unload();
    QMdiSubWindow::closeEvent(event);
}

} // namespace zavek::shell
