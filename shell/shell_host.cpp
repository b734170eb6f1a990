#include "shell/shell_host.h"

#include <QMainWindow>

namespace zavek::shell {

ShellHost::ShellHost(QMainWindow* window) : window_(window) {
    ShellServices::Instance().setHost(this);
}

ShellHost::~ShellHost() {
    if (ShellServices::Instance().host() == this)
        ShellServices::Instance().setHost(nullptr);
}

void ShellHost::setStatusText(const QString& text) {
    status_ = text;
    emit statusChanged(text);
}

void ShellHost::enableToolbarButton(std::int32_t button, bool enabled, const QString& windowTag) {
    buttons_[{button, windowTag}] = enabled;
    emit toolbarChanged(windowTag);
}

void ShellHost::setShellEnabled(bool enabled) {
    if (window_)
        window_->setEnabled(enabled);
}

bool ShellHost::isEnabled(std::int32_t button, const QString& windowTag) const {
    const auto it = buttons_.find({button, windowTag});
    return it == buttons_.end() || it->second;
}

} // namespace zavek::shell
