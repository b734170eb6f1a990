#include "tests/support/fake_shell_host.h"

#include "common/failure.h"

namespace zavek::testing {

FakeShellHost::FakeShellHost() {
    ShellServices::Instance().setHost(this);
}

FakeShellHost::~FakeShellHost() {
    if (ShellServices::Instance().host() == this)
        ShellServices::Instance().setHost(nullptr);
}

void FakeShellHost::setStatusText(const QString& text) {
    if (const auto it = statusFailures.find(text); it != statusFailures.end())
        fail(it->second, QStringLiteral("status line refused \"%1\"").arg(text));
    statuses.push_back(text);
    log.push_back(QLatin1Char('[') + text + QLatin1Char(']'));
}

void FakeShellHost::enableToolbarButton(std::int32_t button, bool enabled,
                                        const QString& windowTag) {
    if (failingButtons.count(button))
        fail(codes::kUnexpected, QStringLiteral("button %1 cannot be set").arg(button));
    toolbar.push_back(ToolbarCall{button, enabled, windowTag});
    log.push_back(QStringLiteral("%1%2@%3").arg(button).arg(enabled ? '+' : '-').arg(windowTag));
    state_[{button, windowTag}] = enabled;
}

void FakeShellHost::setShellEnabled(bool enabled) {
    if (shellEnabledFailure)
        fail(*shellEnabledFailure, QStringLiteral("shell cannot be enabled"));
    shellEnabled.push_back(enabled);
    log.push_back(QLatin1String(enabled ? "S+" : "S-"));
}

std::optional<bool> FakeShellHost::buttonState(int button, const QString& tag) const {
    const auto it = state_.find({button, tag});
    if (it == state_.end())
        return std::nullopt;
    return it->second;
}

} // namespace zavek::testing
