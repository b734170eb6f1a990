#pragma once
#include "common/failure.h"
#include "common/shell_services.h"

#include <QString>

#include <map>
#include <optional>
#include <set>
#include <vector>

namespace zavek::testing {

// Records what the document asks of the shell; can be told to fail a toolbar button.
class FakeShellHost final : public IShellHost {
public:
    FakeShellHost() { ShellServices::Instance().setHost(this); } // this thread's host
    ~FakeShellHost() override {
        if (ShellServices::Instance().host() == this)
            ShellServices::Instance().setHost(nullptr);
    }

    void setStatusText(const QString& text) override {
        if (const auto it = statusFailures.find(text); it != statusFailures.end())
            fail(it->second, QStringLiteral("status line refused \"%1\"").arg(text));
        statuses.push_back(text);
        log.push_back(QLatin1Char('[') + text + QLatin1Char(']'));
    }
    void enableToolbarButton(std::int32_t button, bool enabled, const QString& windowTag) override {
        if (failingButtons.count(button))
            fail(codes::kUnexpected, QStringLiteral("button %1 cannot be set").arg(button));
        toolbar.push_back(
            QStringLiteral("%1%2@%3").arg(button).arg(enabled ? '+' : '-').arg(windowTag));
        log.push_back(toolbar.back());
    }
    void setShellEnabled(bool enabled) override {
        if (shellEnabledFailure)
            fail(*shellEnabledFailure, QStringLiteral("shell cannot be enabled"));
        shellEnabled.push_back(enabled);
        log.push_back(QLatin1String(enabled ? "S+" : "S-"));
    }

    QString status() const { return statuses.empty() ? QString() : statuses.back(); }
    // The button's last state in the window; none: never set.
    std::optional<bool> buttonState(int button, const QString& tag) const {
        const QString on = QStringLiteral("%1+@%2").arg(button).arg(tag);
        const QString off = QStringLiteral("%1-@%2").arg(button).arg(tag);
        for (auto it = toolbar.rbegin(); it != toolbar.rend(); ++it)
            if (*it == on || *it == off)
                return *it == on;
        return std::nullopt;
    }

    std::vector<QString> statuses;
    std::vector<QString> toolbar; // "<button>+@<tag>" or "-@<tag>", in order
    std::vector<bool> shellEnabled;
    std::set<int> failingButtons;
    // A failure code for SetShellEnabled / SetStatusText(text) to raise, when set.
    std::optional<std::uint32_t> shellEnabledFailure;
    std::map<QString, std::uint32_t> statusFailures;
    // Every call in order: "[<status>]", a toolbar entry, "S+" or "S-".
    std::vector<QString> log;
};

} // namespace zavek::testing
