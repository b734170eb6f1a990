#pragma once
// A host window of one document: a sub-window with a tag and a caption, the document's form
// in a scroll area, and the close protocol. The window holds the document and releases it before
// it goes; the form stays the document's, only shown here. The window deletes itself when it
// closes, and otherwise goes with the area that holds it.

#include "document/component_api.h"

#include <QMdiSubWindow>
#include <QPointer>

class QScrollArea;

namespace zavek::shell {

class DocumentWindow final : public QMdiSubWindow {
    Q_OBJECT
public:
    DocumentWindow(IUserDocument* document, const QString& tag, const QString& caption);
    ~DocumentWindow() override;

    IUserDocument* document() const { return document_; }
    QString tag() const { return property("Tag").toString(); }
    // Asks the document; true when it may close. Does not close the window.
    bool mayClose();
    // The same in two steps, so that a host can ask every window before it acts on any.
    CloseAnswer askToClose();
    bool finishClose(CloseAnswer answer);
    bool released() const { return released_; }
    // Hands the shell back and releases the document; the window then closes unasked.
    void unload();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    // Gives the keyboard back to the control that had it when the window last lost its turn.
    void restoreFocus();

    IUserDocument* document_;
    QScrollArea* container_;
    bool released_ = false;
    QPointer<QWidget> lastFocus_;
    QMetaObject::Connection focusWatch_;
    QMetaObject::Connection stateWatch_;
};

} // namespace zavek::shell
