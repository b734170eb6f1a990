#include "common/shell_services.h"

#include "common/failure.h"
#include "common/per_thread.h"

namespace zavek {

IShellHost::~IShellHost() = default;

ShellServices& ShellServices::Instance() {
    return PerThread<ShellServices>::get();
}

IShellHost& ShellServices::requireHost() const {
    if (!host_)
        fail(codes::kNotConnected, QStringLiteral("No shell is attached to this thread; start the "
                                                  "document from the shell."));
    return *host_;
}

void ShellServices::SetStatusText(QString text) {
    requireHost().setStatusText(text);
}

void ShellServices::EnableToolbarButton(std::int32_t& button, std::int32_t& flag,
                                        QString& windowTag) {
    if (flag != 0 && flag != -1)
        fail(codes::kInvalidArgument,
             QStringLiteral("Toolbar flag %1 is neither 0 nor -1.").arg(flag));
    requireHost().enableToolbarButton(button, flag == -1, windowTag);
}

void ShellServices::SetShellEnabled(std::int16_t& flag) {
    if (flag != 0 && flag != -1)
        fail(codes::kInvalidArgument,
             QStringLiteral("Shell flag %1 is neither 0 nor -1.").arg(flag));
    requireHost().setShellEnabled(flag == -1);
}

} // namespace zavek
