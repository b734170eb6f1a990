#pragma once
#include <QString>

#include <cstdint>

namespace zavek {

// The toolbar buttons a document drives, numbered as the host's toolbar numbers them.
enum class ToolbarButton : std::int32_t { Save = 7, New = 8, Delete = 9, Print = 14, Refresh = 12 };

// What the host shell implements for the document: status line, toolbar, shell state.
class IShellHost {
public:
    virtual ~IShellHost();
    virtual void setStatusText(const QString& text) = 0;
    virtual void enableToolbarButton(std::int32_t button, bool enabled,
                                     const QString& windowTag) = 0;
    virtual void setShellEnabled(bool enabled) = 0;
};

// Shared per thread; forwards to the host that the shell installed.
class ShellServices {
public:
    static ShellServices& Instance();

    void setHost(IShellHost* host) { host_ = host; }
    IShellHost* host() const { return host_; }

    void SetStatusText(QString text);
    // flag: 0 disables, -1 enables.
    void EnableToolbarButton(std::int32_t& button, std::int32_t& flag, QString& windowTag);
    // flag: a 16-bit boolean, -1 true.
    void SetShellEnabled(std::int16_t& flag);

private:
    IShellHost& requireHost() const;
    IShellHost* host_ = nullptr;
};

} // namespace zavek
