#pragma once
#include "admin/console.h"

#include <QHash>
#include <QStringList>

#include <deque>

namespace zavek::testing {

// Collects what a command writes and answers its questions from scripted lines.
class FakeConsole : public admin::IConsole {
public:
    QString output;
    QString errors;
    std::deque<QString> secrets;    // answers to readSecret, in order
    std::deque<QString> inputLines; // standard input
    QStringList prompts;
    QHash<QString, QString> env;
    int progressUpdates = 0;

    void out(const QString& text) override { output += text; }
    void err(const QString& text) override { errors += text; }
    std::optional<QString> readSecret(const QString& prompt) override {
        prompts << prompt;
        if (secrets.empty())
            return std::nullopt;
        QString s = secrets.front();
        secrets.pop_front();
        return s;
    }
    std::optional<QString> readLine() override {
        if (inputLines.empty())
            return std::nullopt;
        QString s = inputLines.front();
        inputLines.pop_front();
        return s;
    }
    std::unique_ptr<admin::IProgress> progress(const QString&) override {
        return std::make_unique<Counting>(progressUpdates);
    }
    QString environment(const char* name) const override {
        return env.value(QString::fromLatin1(name));
    }

private:
    class Counting : public admin::IProgress {
    public:
        explicit Counting(int& count) : count_(count) {}
        void advance(int, int) override { ++count_; }
        void finish() override {}

    private:
        int& count_;
    };
};

} // namespace zavek::testing
