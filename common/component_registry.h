#pragma once
// The shell's registry of document components: programmatic name -> class identifier and
// the path of the module that implements it.

#include <QString>

#include <optional>

namespace zavek {

struct ComponentEntry {
    QString progId;
    QString classId;
    QString modulePath;
};

class IComponentRegistry {
public:
    virtual ~IComponentRegistry();
    virtual void setEntry(const ComponentEntry& entry) = 0;
    // Removes the entry only when it names this class identifier.
    virtual void removeEntry(const QString& progId, const QString& classId) = 0;
    virtual std::optional<ComponentEntry> find(const QString& progId) const = 0;
};

// A registry kept in an INI file.
class FileComponentRegistry final : public IComponentRegistry {
public:
    explicit FileComponentRegistry(QString path) : path_(std::move(path)) {}
    void setEntry(const ComponentEntry& entry) override;
    void removeEntry(const QString& progId, const QString& classId) override;
    std::optional<ComponentEntry> find(const QString& progId) const override;
    QString path() const { return path_; }
    // True when the last setEntry or removeEntry could not write the file.
    bool writeFailed() const { return writeFailed_; }

private:
    QString path_;
    bool writeFailed_ = false;
};

} // namespace zavek
