#include "common/error_logger.h"

#include "common/per_thread.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTextStream>

namespace zavek {

namespace {
constexpr std::size_t kRecentLimit = 1000;

QString defaultLogPath() {
    QString dir = qEnvironmentVariable("ZAVEK_LOG_DIR");
    if (dir.isEmpty())
        dir = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
              QStringLiteral("/zavek");
    return dir + QStringLiteral("/error.log");
}

QString oneLine(QString text) {
    text.replace(QLatin1Char('\t'), QLatin1Char(' '));
    text.replace(QLatin1Char('\r'), QLatin1Char(' '));
    text.replace(QLatin1Char('\n'), QLatin1Char(' '));
    return text;
}
} // namespace

ErrorLogger& ErrorLogger::Instance() {
    return PerThread<ErrorLogger>::get();
}

ErrorLogger::ErrorLogger() : path_(defaultLogPath()) {}

void ErrorLogger::LogError(const QString& description, const QString& exeName,
                           const QString& source, const std::optional<QVariant>& optional,
                           std::int32_t eventType) noexcept {
    try {
        Q_UNUSED(optional);
        LogEntry entry{QDateTime::currentDateTimeUtc(), description, exeName, source, eventType};
        recent_.push_back(entry);
        if (recent_.size() > kRecentLimit)
            recent_.pop_front();
        if (!path_.isEmpty()) {
            QDir().mkpath(QFileInfo(path_).absolutePath());
            QFile file(path_);
            if (file.open(QIODevice::Append | QIODevice::Text)) {
                QTextStream out(&file);
                out << entry.time.toString(Qt::ISODateWithMs) << '\t' << oneLine(description)
                    << '\t' << oneLine(exeName) << '\t' << oneLine(source) << '\t' << eventType
                    << '\n';
            }
        }
        const auto observers = observers_;
        for (const auto& [id, observer] : observers)
            observer(entry);
    } catch (...) {
        // The logger is the last resort; it must not become a source of failures itself.
    }
}

int ErrorLogger::addObserver(Observer observer) {
    observers_.emplace_back(nextObserver_, std::move(observer));
    return nextObserver_++;
}

void ErrorLogger::removeObserver(int id) {
    std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

} // namespace zavek
