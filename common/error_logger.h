#pragma once
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>

namespace zavek {

struct LogEntry {
    QDateTime time;
    QString description;
    QString exeName;
    QString source;
    std::int32_t eventType = 0;
};

// Shared per thread. Records entries in a log file and in memory; never throws, never shows
// anything.
class ErrorLogger {
public:
    static ErrorLogger& Instance();
    ErrorLogger();

    void LogError(const QString& description, const QString& exeName, const QString& source,
                  const std::optional<QVariant>& optional, std::int32_t eventType) noexcept;

    // Where entries are appended; defaults to error.log in the user's data directory
    // (or $ZAVEK_LOG_DIR when set).
    void setLogFile(const QString& path) { path_ = path; }
    QString logFile() const { return path_; }

    // The most recent entries (bounded), for tests and the shell's diagnostics.
    const std::deque<LogEntry>& recent() const { return recent_; }
    void clearRecent() { recent_.clear(); }

    using Observer = std::function<void(const LogEntry&)>;
    int addObserver(Observer observer);
    void removeObserver(int id);

private:
    QString path_;
    std::deque<LogEntry> recent_;
    std::vector<std::pair<int, Observer>> observers_;
    int nextObserver_ = 1;
};

} // namespace zavek
