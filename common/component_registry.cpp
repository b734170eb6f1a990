#include "common/component_registry.h"

#include "common/error_logger.h"

#include <QSettings>

namespace zavek {

namespace {
// Registration runs behind C entry points, so a write failure is logged and reported through
// writeFailed() rather than thrown.
bool written(const QSettings& settings) {
    if (settings.status() == QSettings::NoError)
        return true;
    ErrorLogger::Instance().LogError(
        QStringLiteral("The component registry %1 could not be written; check that its folder "
                       "exists and is writable.")
            .arg(settings.fileName()),
        QStringLiteral("ZAVEK_COMMON"), QStringLiteral("ZAVEK_COMMON.ComponentRegistry"),
        std::nullopt, 1);
    return false;
}
} // namespace

IComponentRegistry::~IComponentRegistry() = default;

void FileComponentRegistry::setEntry(const ComponentEntry& entry) {
    QSettings s(path_, QSettings::IniFormat);
    s.beginGroup(entry.progId);
    s.setValue(QStringLiteral("classId"), entry.classId);
    s.setValue(QStringLiteral("module"), entry.modulePath);
    s.endGroup();
    s.sync();
    writeFailed_ = !written(s);
}

void FileComponentRegistry::removeEntry(const QString& progId, const QString& classId) {
    QSettings s(path_, QSettings::IniFormat);
    if (s.value(progId + QStringLiteral("/classId")).toString() != classId)
        return;
    s.remove(progId);
    s.sync();
    writeFailed_ = !written(s);
}

std::optional<ComponentEntry> FileComponentRegistry::find(const QString& progId) const {
    QSettings s(path_, QSettings::IniFormat);
    const QString classId = s.value(progId + QStringLiteral("/classId")).toString();
    if (classId.isEmpty())
        return std::nullopt;
    return ComponentEntry{progId, classId, s.value(progId + QStringLiteral("/module")).toString()};
}

} // namespace zavek
