#pragma once
#include "common/shell_services.h"

#include <QString>

#include <map>
#include <optional>
#include <set>
#include <utility>
#include <vector>

namespace zavek::testing {

struct ToolbarCall {
    int button;
    bool enabled;
    QString tag;
    bool operator==(const ToolbarCall&) const = default;
};

// Records what the document asks of the shell; can be told to fail a toolbar button.
class FakeShellHost final : public IShellHost {
public:
    FakeShellHost(); // installs itself as this thread's host
    ~FakeShellHost() override;

    void setStatusText(const QString& text) override;
    void enableToolbarButton(std::int32_t button, bool enabled, const QString& windowTag) override;
    void setShellEnabled(bool enabled) override;

    QString status() const { return statuses.empty() ? QString() : statuses.back(); }
    std::optional<bool> buttonState(int button, const QString& tag) const;

    std::vector<QString> statuses;
    std::vector<ToolbarCall> toolbar;
    std::vector<bool> shellEnabled;
    std::set<int> failingButtons;
    // A failure code for SetShellEnabled / SetStatusText(text) to raise, when set.
    std::optional<std::uint32_t> shellEnabledFailure;
    std::map<QString, std::uint32_t> statusFailures;
    // Every call in order: "[<status>]", "<button>+@<tag>" or "-@<tag>", "S+" or "S-".
    std::vector<QString> log;

private:
    std::map<std::pair<int, QString>, bool> state_;
};

} // namespace zavek::testing
