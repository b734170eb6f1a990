#pragma once
// What the shell offers documents: the status line, the toolbar state per window tag, and
// the shell's enabled state.

#include "common/shell_services.h"

#include <QObject>

#include <map>
#include <utility>

class QMainWindow;

namespace zavek::shell {

class ShellHost final : public QObject, public IShellHost {
    Q_OBJECT
public:
    explicit ShellHost(QMainWindow* window);
    ~ShellHost() override;

    void setStatusText(const QString& text) override;
    void enableToolbarButton(std::int32_t button, bool enabled, const QString& windowTag) override;
    void setShellEnabled(bool enabled) override;

    // A button never set for a tag is enabled.
    bool isEnabled(std::int32_t button, const QString& windowTag) const;
    QString statusText() const { return status_; }

signals:
    void statusChanged(const QString& text);
    void toolbarChanged(const QString& windowTag);

private:
    QMainWindow* window_;
    QString status_;
    std::map<std::pair<std::int32_t, QString>, bool> buttons_;
};

} // namespace zavek::shell
