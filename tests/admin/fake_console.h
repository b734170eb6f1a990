#pragma once
#include "admin/console.h"

#include <QHash>
#include <QStringList>

namespace zavek::testing {

// Collects what a command writes and answers its questions (passwords and standard input
// alike) from scripted lines.
class FakeConsole : public admin::IConsole {
public:
    QString output, errors;
    QStringList typed, prompts;
    QHash<QString, QString> env;
    int progressUpdates = 0;

    void out(const QString& text) override { output += text; }
    void err(const QString& text) override { errors += text; }
    std::optional<QString> readSecret(const QString& prompt) override {
        prompts << prompt;
        return readLine();
    }
    std::optional<QString> readLine() override {
        return typed.isEmpty() ? std::nullopt : std::optional(typed.takeFirst());
    }
    std::unique_ptr<admin::IProgress> progress(const QString&) override {
        return std::make_unique<Counting>(progressUpdates);
    }
    QString environment(const char* name) const override { return env.value(name); }

    struct Counting : admin::SilentProgress {
        explicit Counting(int& count) : count_(count) {}
        void advance(int, int) override { ++count_; }
        int& count_;
    };
};

} // namespace zavek::testing
