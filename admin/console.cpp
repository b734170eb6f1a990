#include "admin/console.h"

#include <cstdio>
#include <iostream>
#include <string>
#include <termios.h>
#include <unistd.h>

namespace zavek::admin {

void StdConsole::out(const QString& text) {
    std::fputs(text.toUtf8().constData(), stdout);
    std::fflush(stdout);
}

void StdConsole::err(const QString& text) {
    std::fputs(text.toUtf8().constData(), stderr);
    std::fflush(stderr);
}

std::optional<QString> StdConsole::readSecret(const QString& prompt) {
    if (!isatty(STDIN_FILENO))
        return std::nullopt;
    err(prompt);
    termios saved{};
    tcgetattr(STDIN_FILENO, &saved);
    termios quiet = saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
    std::string line;
    const bool got = static_cast<bool>(std::getline(std::cin, line));
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &saved);
    if (!got)
        return std::nullopt;
    return QString::fromStdString(line);
}

std::optional<QString> StdConsole::readLine() {
    std::string line;
    if (!std::getline(std::cin, line))
        return std::nullopt;
    if (!line.empty() && line.back() == '\r')
        line.pop_back();
    return QString::fromStdString(line);
}

std::unique_ptr<IProgress> StdConsole::progress(const QString& label) {
    if (!isatty(STDERR_FILENO))
        return std::make_unique<SilentProgress>();
    return std::make_unique<TerminalProgressBar>(label, *this);
}

QString StdConsole::environment(const char* name) const {
    return qEnvironmentVariable(name);
}

TerminalProgressBar::TerminalProgressBar(QString label, IConsole& console)
    : label_(std::move(label)), console_(console) {}

QString TerminalProgressBar::render(const QString& label, int done, int total, int width) {
    const int filled =
        total > 0 ? static_cast<int>(static_cast<long long>(done) * width / total) : width;
    return QStringLiteral("%1 [%2%3] %4/%5")
        .arg(label, QString(filled, u'#'), QString(width - filled, u' '))
        .arg(done)
        .arg(total);
}

void TerminalProgressBar::advance(int done, int total) {
    total_ = total;
    // Redrawing on every row would make the terminal the slowest part of a large import.
    const int step = total_ > 100 ? total_ / 100 : 1;
    if (done != total_ && lastDrawn_ >= 0 && done - lastDrawn_ < step)
        return;
    lastDrawn_ = done;
    console_.err(u'\r' + render(label_, done, total_));
}

void TerminalProgressBar::finish() {
    if (lastDrawn_ < 0)
        return; // nothing was drawn, so there is no line to end
    if (lastDrawn_ != total_)
        advance(total_, total_);
    console_.err(QStringLiteral("\n"));
}

} // namespace zavek::admin
