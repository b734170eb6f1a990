#pragma once
// What the administration commands need from the outside world, so that tests can script it.

#include <QString>

#include <memory>
#include <optional>

namespace zavek::admin {

class IProgress {
public:
    virtual ~IProgress() = default;
    virtual void advance(int done, int total) = 0;
    virtual void finish() = 0;
};

class IConsole {
public:
    virtual ~IConsole() = default;
    virtual void out(const QString& text) = 0;
    virtual void err(const QString& text) = 0;
    // A line typed without echo; nothing when the input ended or no terminal is there.
    virtual std::optional<QString> readSecret(const QString& prompt) = 0;
    // One line of standard input, without its line end; nothing at the end of input.
    virtual std::optional<QString> readLine() = 0;
    // A progress display on the error stream; a silent one unless that stream is a terminal.
    virtual std::unique_ptr<IProgress> progress(const QString& label) = 0;
    virtual QString environment(const char* name) const = 0;
};

// The process's own standard streams and terminal.
class StdConsole : public IConsole {
public:
    void out(const QString& text) override;
    void err(const QString& text) override;
    std::optional<QString> readSecret(const QString& prompt) override;
    std::optional<QString> readLine() override;
    std::unique_ptr<IProgress> progress(const QString& label) override;
    QString environment(const char* name) const override;
};

// A bar such as "Importing officers [#########           ] 45/100", redrawn in place.
class TerminalProgressBar : public IProgress {
public:
    TerminalProgressBar(QString label, IConsole& console);
    void advance(int done, int total) override;
    void finish() override;

    static QString render(const QString& label, int done, int total, int width = 30);

private:
    QString label_;
    int total_ = 0;
    IConsole& console_;
    int lastDrawn_ = -1;
};

class SilentProgress : public IProgress {
public:
    void advance(int, int) override {}
    void finish() override {}
};

} // namespace zavek::admin
