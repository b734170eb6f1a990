#pragma once
#include "platform/platform.h"

namespace zavek::platform {

class ZAVEK_PLATFORM_API QtMessageBox final : public IMessageBox {
public:
    int Show(const QString& text, BoxStyle style, const QString& title) override;
    // The style by its number; a number that names no style shows an OK box without an icon.
    int Show(const QString& text, int style, const QString& title) {
        return Show(text, static_cast<BoxStyle>(style), title);
    }
};

class ZAVEK_PLATFORM_API QtDialogRunner final : public IDialogRunner {
public:
    int Run(QDialog& dialog) override;
};

class ZAVEK_PLATFORM_API QtMousePointer final : public IMousePointer {
public:
    ~QtMousePointer() override;
    void SetShape(PointerShape shape) override;
    PointerShape Shape() const override { return shape_; }

private:
    PointerShape shape_ = PointerDefault;
    bool overridden_ = false;
};

class ZAVEK_PLATFORM_API QtEventPump final : public IEventPump {
public:
    void ProcessEvents() override;
    void Sleep(int milliseconds) override;
};

class ZAVEK_PLATFORM_API StaticComponentInfo final : public IComponentInfo {
public:
    StaticComponentInfo(int major, int minor, QString exeName)
        : major_(major), minor_(minor), exeName_(std::move(exeName)) {}
    int Major() const override { return major_; }
    int Minor() const override { return minor_; }
    QString ExeName() const override { return exeName_; }

private:
    int major_;
    int minor_;
    QString exeName_;
};

// The toolkit-backed services of the calling thread, made on first use.
ZAVEK_PLATFORM_API Platform qtPlatform(IComponentInfo* component);

} // namespace zavek::platform
