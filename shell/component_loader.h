#pragma once
// Finds a document component in the registry, loads its module and creates documents.

#include "common/component_registry.h"
#include "document/component_api.h"

#include <QCoreApplication>
#include <QLibrary>
#include <QString>

#include <memory>

namespace zavek::shell {

class ComponentLoader {
    Q_DECLARE_TR_FUNCTIONS(zavek::shell::ComponentLoader)

public:
    ComponentLoader(IComponentRegistry& registry, QString pluginDir);
    ~ComponentLoader();

    // Registers the security module from the plugin directory when the registry lacks it or
    // names a file that is gone. Fails with a sentence saying what is wrong.
    void ensureRegistered();
    // Creates a document by programmatic name.
    IUserDocument* create(const QString& progId, const DocumentContext& context);
    // Unloads the module when it says no document lives; true when unloaded (or never loaded).
    bool unloadIfPossible();
    bool isLoaded() const { return library_ && library_->isLoaded(); }

    static QString defaultRegistryPath();
    static QString defaultPluginDir();

private:
    void load(const QString& path);
    QFunctionPointer resolve(const char* name);

    IComponentRegistry& registry_;
    QString pluginDir_;
    std::unique_ptr<QLibrary> library_;
};

} // namespace zavek::shell
