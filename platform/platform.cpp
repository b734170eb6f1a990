#include "platform/platform.h"

namespace zavek::platform {

IMessageBox::~IMessageBox() = default;
IMousePointer::~IMousePointer() = default;
IEventPump::~IEventPump() = default;
IComponentInfo::~IComponentInfo() = default;
IDialogRunner::~IDialogRunner() = default;

QString versionText(const IComponentInfo& info) {
    return QString::number(info.Major()) + QLatin1Char('.') + QString::number(info.Minor());
}

} // namespace zavek::platform
