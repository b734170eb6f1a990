#include "shell/main_window.h"

#include "shell/component_loader.h"
#include "shell/document_window.h"

#include "common/failure.h"
#include "server/network_transport.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMdiArea>
#include <QMenuBar>
#include <QMessageBox>
#include <QStatusBar>
#include <QStyle>
#include <QToolBar>

#include <vector>

namespace zavek::shell {

MainWindow::MainWindow(ComponentLoader& loader, DocumentContext context, QString title)
    : loader_(loader), context_(context), host_(this) {
    setWindowTitle(title);
    mdi_ = new QMdiArea(this);
    mdi_->setViewMode(QMdiArea::SubWindowView);
    setCentralWidget(mdi_);

    status_ = new QLabel(this);
    status_->setObjectName(QStringLiteral("StatusText"));
    statusBar()->addWidget(status_, 1);
    connect(&host_, &ShellHost::statusChanged, status_, &QLabel::setText);
    connect(&host_, &ShellHost::toolbarChanged, this, [this] { refreshToolbar(); });

    QToolBar* bar = addToolBar(tr("Document"));
    bar->setObjectName(QStringLiteral("DocumentToolbar"));
    bar->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    bar->setMovable(false);
    struct ButtonDesign {
        int id;
        const char* text;
        QStyle::StandardPixmap icon;
    };
    const ButtonDesign design[] = {
        {kSave, QT_TR_NOOP("Save"), QStyle::SP_DialogSaveButton},
        {kNew, QT_TR_NOOP("New"), QStyle::SP_FileIcon},
        {kDelete, QT_TR_NOOP("Delete"), QStyle::SP_TrashIcon},
        {kPrint, QT_TR_NOOP("Print"), QStyle::SP_FileDialogDetailedView},
        {kRefresh, QT_TR_NOOP("Refresh"), QStyle::SP_BrowserReload},
    };
    for (const auto& b : design) {
        QAction* action = bar->addAction(style()->standardIcon(b.icon), tr(b.text));
        action->setObjectName(QStringLiteral("Button%1").arg(b.id));
        actions_[b.id] = action;
        if (b.id == kSave)
            connect(action, &QAction::triggered, this, &MainWindow::save);
        else
            connect(action, &QAction::triggered, this,
                    [this] { host_.setStatusText(tr("Not available in this document.")); });
    }
    actions_[kSave]->setShortcut(QKeySequence::Save);

    QMenu* file = menuBar()->addMenu(tr("&File"));
    file->addAction(tr("&Open Security Administration"), this, [this] { openSecurityDocument(); });
    file->addAction(actions_[kSave]);
    file->addAction(tr("&Close Document"), this, [this] {
        if (QMdiSubWindow* w = mdi_->activeSubWindow())
            w->close();
    });
    file->addSeparator();
    file->addAction(tr("&Quit"), QKeySequence::Quit, this, &QWidget::close);
    QMenu* document = menuBar()->addMenu(tr("&Document"));
    document->addAction(tr("Save changes?"), this, &MainWindow::askToSave);
    document
        ->addAction(tr("&History…"), this,
                    [this] {
                        if (DocumentWindow* w = activeDocument())
                            w->document()->ShowHistory();
                    })
        ->setObjectName(QStringLiteral("HistoryAction"));
    QAction* copy = document->addAction(tr("Copy Security Groups From\u2026"), this,
                                        &MainWindow::copyGroupsFrom);
    copy->setObjectName(QStringLiteral("CopyGroupsFrom"));
    // Asked each time the menu opens: only the document knows whether an officer is shown.
    connect(document, &QMenu::aboutToShow, this, [this, copy] {
        DocumentWindow* w = activeDocument();
        copy->setEnabled(w && !w->released() && w->document()->CanCopyGroupsFrom());
    });
    QMenu* help = menuBar()->addMenu(tr("&Help"));
    help->addAction(tr("&About"), this, [this] {
        QMessageBox::about(this, tr("About ZAVEK Security Administration"),
                           tr("ZAVEK Security Administration 1.0\n"
                              "Assign security groups and agencies to officers."));
    });

    connect(mdi_, &QMdiArea::subWindowActivated, this, &MainWindow::activated);
    resize(900, 760);
    refreshToolbar();
}

MainWindow::~MainWindow() {
    // Documents go before the shell services they call, and their windows close while this
    // window is still whole to hear the area's announcements; the area deletes them with the
    // rest of this window's children.
    for (DocumentWindow* w : documents())
        w->unload();
    mdi_->closeAllSubWindows();
    loader_.unloadIfPossible();
}

void MainWindow::followConnection(net::NetworkTransport& network) {
    QPointer<MainWindow> self = this;
    network.setStateSink([self](bool, const QString& text) {
        QMetaObject::invokeMethod(
            self.data(),
            [self, text] {
                if (self)
                    self->host_.setStatusText(text);
            },
            Qt::QueuedConnection);
    });
}

QString MainWindow::statusText() const {
    return status_->text();
}

QList<DocumentWindow*> MainWindow::documents() const {
    QList<DocumentWindow*> out;
    for (QMdiSubWindow* w : mdi_->subWindowList())
        if (auto* d = qobject_cast<DocumentWindow*>(w))
            out << d;
    return out;
}

DocumentWindow* MainWindow::activeDocument() const {
    return qobject_cast<DocumentWindow*>(mdi_->activeSubWindow());
}

void MainWindow::showError(const QString& text) {
    host_.setStatusText(text);
    QMessageBox::critical(this, windowTitle(), text);
}

DocumentWindow* MainWindow::openSecurityDocument() {
    IUserDocument* document = nullptr;
    if (const auto failure = attempt(
            [&] { document = loader_.create(QString::fromLatin1(kSecurityProgId), context_); })) {
        showError(failure->description());
        return nullptr;
    }
    const QString tag = QStringLiteral("SECADM%1").arg(nextTag_++);
    auto* window = new DocumentWindow(document, tag, tr("Security Administration"));
    mdi_->addSubWindow(window);
    window->resize(document->Form()->width() + 40, document->Form()->height() + 60);
    // Closing a window hands its buttons back; the toolbar then shows the window left active.
    connect(window, &QObject::destroyed, this, &MainWindow::refreshToolbar, Qt::QueuedConnection);
    window->show();
    window->showMaximized();
    document->UserDocument_Show();
    refreshToolbar();
    return window;
}

void MainWindow::refreshToolbar() {
    DocumentWindow* active = activeDocument();
    for (auto& [id, action] : actions_)
        action->setEnabled(active ? host_.isEnabled(id, active->tag()) : false);
}

void MainWindow::activated(QMdiSubWindow* window) {
    // Switching away from a document with unsaved changes offers to save them, once per switch.
    DocumentWindow* previous = qobject_cast<DocumentWindow*>(lastActive_.data());
    lastActive_ = window;
    if (previous && window && previous != window && !previous->released() &&
        documents().contains(previous))
        previous->document()->Interface()->NeedSave();
    refreshToolbar();
}

void MainWindow::save() {
    if (DocumentWindow* w = activeDocument())
        w->document()->Interface()->SaveData();
}

void MainWindow::askToSave() {
    if (DocumentWindow* w = activeDocument())
        w->document()->Interface()->NeedSave();
}

void MainWindow::copyGroupsFrom() {
    if (DocumentWindow* w = activeDocument())
        w->document()->CopyGroupsFrom();
}

bool MainWindow::closeAllDocuments() {
    const QList<DocumentWindow*> windows = documents();
    // Every document is asked before any acts on its answer, so that Cancel on one leaves all
    // of them as they were.
    std::vector<CloseAnswer> answers;
    for (DocumentWindow* w : windows) {
        answers.push_back(w->askToClose());
        if (answers.back() == CloseAnswer::Cancel)
            return false;
    }
    // Saves first: a save that is not stored stops the quit before any document drops its
    // edits on No.
    for (std::size_t i = 0; i < answers.size(); ++i)
        if (answers[i] == CloseAnswer::Save && !windows[i]->finishClose(answers[i]))
            return false;
    for (std::size_t i = 0; i < answers.size(); ++i)
        if (answers[i] != CloseAnswer::Save)
            windows[i]->finishClose(answers[i]);
    for (DocumentWindow* w : windows)
        w->unload();
    // Released, each closes unasked and deletes itself.
    for (DocumentWindow* w : windows)
        w->close();
    loader_.unloadIfPossible();
    return true;
}

void MainWindow::closeEvent(QCloseEvent* event) {
    if (!closeAllDocuments()) {
        event->ignore();
        return;
    }
    event->accept();
}

} // namespace zavek::shell
