#include "shell/component_loader.h"

#include "common/failure.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace zavek::shell {

ComponentLoader::ComponentLoader(IComponentRegistry& registry, QString pluginDir)
    : registry_(registry), pluginDir_(std::move(pluginDir)) {}

ComponentLoader::~ComponentLoader() = default;

QString ComponentLoader::defaultRegistryPath() {
    const QString env = qEnvironmentVariable("ZAVEK_REGISTRY");
    if (!env.isEmpty())
        return env;
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/zavek/components.ini");
}

QString ComponentLoader::defaultPluginDir() {
    const QString built = QStringLiteral(ZAVEK_PLUGIN_DIR);
    if (QFileInfo::exists(built))
        return built;
    return QCoreApplication::applicationDirPath() + QStringLiteral("/../plugins");
}

void ComponentLoader::load(const QString& path) {
    if (library_ && library_->fileName() == path && library_->isLoaded())
        return;
    library_ = std::make_unique<QLibrary>(path);
    // Qt's metatype registry keeps pointers into the module for the process's life: unmapped
    // and loaded again elsewhere, the module would meet its own stale registrations.
    library_->setLoadHints(QLibrary::PreventUnloadHint);
    if (!library_->load())
        fail(codes::kClassNotAvailable,
             tr("The security component %1 cannot be loaded (%2); rebuild it with "
                "./zavek run.")
                 .arg(path, library_->errorString()));
}

QFunctionPointer ComponentLoader::resolve(const char* name) {
    QFunctionPointer fn = library_->resolve(name);
    if (!fn)
        fail(codes::kClassNotAvailable, tr("The component %1 lacks its entry point %2.")
                                            .arg(library_->fileName(), QLatin1String(name)));
    return fn;
}

void ComponentLoader::ensureRegistered() {
    const auto entry = registry_.find(QString::fromLatin1(kSecurityProgId));
    const QString path =
        QDir(pluginDir_).filePath(QString::fromLatin1(kModuleBaseName) + QStringLiteral(".so"));
    // The shell's own build of the component wins over one registered by another build: their
    // interfaces may differ, and loading the other would break at the first call.
    const bool own = QFileInfo::exists(path);
    if (entry && QFileInfo::exists(entry->modulePath) &&
        (!own ||
         QFileInfo(entry->modulePath).canonicalFilePath() == QFileInfo(path).canonicalFilePath()))
        return;
    if (!own)
        fail(codes::kClassNotAvailable,
             tr("The security component is not installed (%1 is missing); build it "
                "with ./zavek run.")
                 .arg(path));
    load(path);
    auto registerServer = reinterpret_cast<RegisterServerFn>(resolve(kEntryRegister));
    if (registerServer(&registry_) != kResultOk)
        fail(codes::kClassNotAvailable, tr("The security component could not register itself."));
}

IUserDocument* ComponentLoader::create(const QString& progId, const DocumentContext& context) {
    const auto entry = registry_.find(progId);
    if (!entry)
        fail(codes::kClassNotAvailable, tr("No component is registered as %1.").arg(progId));
    load(entry->modulePath);
    auto getClassObject = reinterpret_cast<GetClassObjectFn>(resolve(kEntryGetClassObject));
    IClassFactory* factory = nullptr;
    const QByteArray classId = entry->classId.toLatin1();
    if (getClassObject(classId.constData(), &factory) != kResultOk || !factory)
        fail(codes::kClassNotAvailable,
             tr("The component does not offer the class %1.").arg(entry->classId));
    IUserDocument* document = nullptr;
    const std::int32_t result = factory->CreateInstance(context, &document);
    factory->Release();
    if (result != kResultOk || !document)
        fail(codes::kClassNotAvailable, tr("The document could not be created."));
    return document;
}

bool ComponentLoader::unloadIfPossible() {
    if (!isLoaded())
        return true;
    auto canUnload = reinterpret_cast<CanUnloadNowFn>(resolve(kEntryCanUnloadNow));
    if (canUnload() != kResultOk)
        return false;
    // The file stays mapped (see load); the module is let go and found again on the next load.
    library_->unload();
    library_.reset();
    return true;
}

} // namespace zavek::shell
