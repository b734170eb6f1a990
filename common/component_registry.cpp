#include "common/component_registry.h"

#include <QSettings>

namespace zavek {

IComponentRegistry::~IComponentRegistry() = default;

void FileComponentRegistry::setEntry(const ComponentEntry& entry) {
    QSettings s(path_, QSettings::IniFormat);
    s.beginGroup(entry.progId);
    s.setValue(QStringLiteral("classId"), entry.classId);
    s.setValue(QStringLiteral("module"), entry.modulePath);
    s.endGroup();
    s.sync();
}

void FileComponentRegistry::removeEntry(const QString& progId, const QString& classId) {
    QSettings s(path_, QSettings::IniFormat);
    if (s.value(progId + QStringLiteral("/classId")).toString() != classId)
        return;
    s.remove(progId);
    s.sync();
}

std::optional<ComponentEntry> FileComponentRegistry::find(const QString& progId) const {
    QSettings s(path_, QSettings::IniFormat);
    const QString classId = s.value(progId + QStringLiteral("/classId")).toString();
    if (classId.isEmpty())
        return std::nullopt;
    return ComponentEntry{progId, classId, s.value(progId + QStringLiteral("/module")).toString()};
}

} // namespace zavek
