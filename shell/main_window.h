#pragma once
#include "document/component_api.h"
#include "shell/shell_host.h"

#include <QMainWindow>
#include <QPointer>

#include <map>

class QAction;
class QLabel;
class QMdiArea;
class QMdiSubWindow;

namespace zavek::net {
class NetworkTransport;
}

namespace zavek::shell {

class ComponentLoader;
class DocumentWindow;

// The shell's main window: one sub-window per document, the toolbar the documents drive and
// the status line.
class MainWindow final : public QMainWindow {
    Q_OBJECT
public:
    // Button identifiers as documents know them.
    static constexpr int kSave = static_cast<int>(ToolbarButton::Save);
    static constexpr int kNew = static_cast<int>(ToolbarButton::New);
    static constexpr int kDelete = static_cast<int>(ToolbarButton::Delete);
    static constexpr int kPrint = static_cast<int>(ToolbarButton::Print);
    static constexpr int kRefresh = static_cast<int>(ToolbarButton::Refresh);

    MainWindow(ComponentLoader& loader, DocumentContext context, QString title);
    ~MainWindow() override;

    ShellHost& host() { return host_; }
    DocumentWindow* openSecurityDocument();
    DocumentWindow* activeDocument() const;
    QList<DocumentWindow*> documents() const;
    QAction* toolbarAction(int button) const { return actions_.at(button); }
    QMdiArea* mdiArea() const { return mdi_; }
    QString statusText() const;
    // Every loss and return of the server connection is said on the status line, until the
    // window or the transport goes.
    void followConnection(net::NetworkTransport& network);

    // Every document agrees to close, then each is unloaded and the module with them.
    bool closeAllDocuments();
    void save();
    void askToSave();
    void copyGroupsFrom();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void refreshToolbar();
    void activated(QMdiSubWindow* window);
    void showError(const QString& text);

    ComponentLoader& loader_;
    DocumentContext context_;
    ShellHost host_;
    QMdiArea* mdi_ = nullptr;
    QLabel* status_ = nullptr;
    std::map<int, QAction*> actions_;
    // Held as the base type: a window being destroyed is no longer a DocumentWindow, and the
    // area announces a new active window from inside that destruction.
    QPointer<QMdiSubWindow> lastActive_;
    int nextTag_ = 1;
};

} // namespace zavek::shell
