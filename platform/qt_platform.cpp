#include "platform/qt_platform.h"

#include <QApplication>
#include <QCursor>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QThread>

namespace zavek::platform {

int QtMessageBox::Show(const QString& text, BoxStyle style, const QString& title) {
    QMessageBox box;
    box.setWindowTitle(title);
    box.setText(text);
    QPushButton* add = nullptr;
    QPushButton* replace = nullptr;
    if (style == BoxStyle::YesNoCancelQuestion) {
        box.setIcon(QMessageBox::Question);
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        box.setDefaultButton(QMessageBox::Yes);
        box.setEscapeButton(QMessageBox::Cancel);
    } else if (style == BoxStyle::AddReplaceCancelQuestion) {
        box.setIcon(QMessageBox::Question);
        add = box.addButton(QStringLiteral("Add to the current groups"), QMessageBox::YesRole);
        replace = box.addButton(QStringLiteral("Replace the current groups"), QMessageBox::NoRole);
        box.addButton(QMessageBox::Cancel);
        box.setDefaultButton(add);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setIcon(style == BoxStyle::OkCritical      ? QMessageBox::Critical
                    : style == BoxStyle::OkInformation ? QMessageBox::Information
                                                       : QMessageBox::NoIcon);
        box.setStandardButtons(QMessageBox::Ok);
    }
    // The pointer may show the hourglass while a box waits for an answer.
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int pressed = box.exec();
    QGuiApplication::restoreOverrideCursor();
    if (style == BoxStyle::AddReplaceCancelQuestion)
        return box.clickedButton() == add       ? AnswerAdd
               : box.clickedButton() == replace ? AnswerReplace
                                                : AnswerCancel;
    switch (pressed) {
    case QMessageBox::Yes:
        return AnswerYes;
    case QMessageBox::No:
        return AnswerNo;
    case QMessageBox::Cancel:
        return AnswerCancel;
    default:
        return style == BoxStyle::YesNoCancelQuestion ? AnswerCancel : AnswerOk;
    }
}

int QtDialogRunner::Run(QDialog& dialog) {
    QGuiApplication::setOverrideCursor(Qt::ArrowCursor);
    const int result = dialog.exec();
    QGuiApplication::restoreOverrideCursor();
    return result;
}

QtMousePointer::~QtMousePointer() {
    if (overridden_ && QGuiApplication::instance())
        QGuiApplication::restoreOverrideCursor();
}

void QtMousePointer::SetShape(PointerShape shape) {
    shape_ = shape;
    if (shape == PointerDefault) {
        if (overridden_)
            QGuiApplication::restoreOverrideCursor();
        overridden_ = false;
        return;
    }
    const QCursor cursor(shape == PointerHourglass ? Qt::WaitCursor : Qt::ArrowCursor);
    // Qt keeps a stack of override cursors; change the top one rather than push another.
    if (overridden_)
        QGuiApplication::changeOverrideCursor(cursor);
    else
        QGuiApplication::setOverrideCursor(cursor);
    overridden_ = true;
}

void QtEventPump::ProcessEvents() {
    QCoreApplication::sendPostedEvents();
    QCoreApplication::processEvents(QEventLoop::AllEvents);
}

void QtEventPump::Sleep(int milliseconds) {
    QThread::msleep(static_cast<unsigned long>(milliseconds < 0 ? 0 : milliseconds));
}

Platform qtPlatform(IComponentInfo* component) {
    thread_local QtMessageBox box;
    thread_local QtMousePointer pointer;
    thread_local QtEventPump pump;
    thread_local QtDialogRunner dialogs;
    return Platform{&box, &pointer, &pump, component, &dialogs};
}

} // namespace zavek::platform
