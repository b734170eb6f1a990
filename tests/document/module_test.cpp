// The component as a host sees it: a file loaded at run time with four entry points.

#include "common/component_registry.h"
#include "document/component_api.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace zavek {
namespace {

const char* const kModule = ZAVEK_MODULE_FILE;
const QByteArray kClassId = "{2F62CC39-58AF-45E0-ACB3-E9A20435EE77}";

// Qt's resource and metatype registrations stay with the process: the file stays mapped.
template <typename Fn> Fn entry(const char* name) {
    static void* handle = dlopen(kModule, RTLD_NOW | RTLD_LOCAL);
    EXPECT_NE(handle, nullptr) << dlerror();
    return handle ? reinterpret_cast<Fn>(dlsym(handle, name)) : nullptr;
}

TEST(Module, ExportsExactlyTheFourEntryPoints) {
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                    QString::fromLocal8Bit(kModule)});
    ASSERT_TRUE(nm.waitForFinished(30000));
    QStringList names;
    for (const QString& line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n')) {
        const QStringList parts = line.simplified().split(' ');
        // Text, data and weak symbols count; the linker's own absolute markers do not.
        if (parts.size() == 3 && parts[1] != QLatin1String("A"))
            names << parts[2];
    }
    names.sort();
    EXPECT_EQ(names.join(' '), QStringLiteral("zavek_can_unload_now zavek_get_class_object "
                                              "zavek_register_server zavek_unregister_server"));
}

TEST(Module, RegisterWritesTheEntryAndUnregisterRemovesExactlyIt) {
    QTemporaryDir dir;
    FileComponentRegistry registry(dir.filePath(QStringLiteral("components.ini")));
    registry.setEntry(ComponentEntry{QStringLiteral("Other.Thing"), QStringLiteral("{1}"),
                                     QStringLiteral("/x.so")});
    ASSERT_EQ(entry<RegisterServerFn>(kEntryRegister)(&registry), kResultOk);
    const auto found = registry.find(QString::fromLatin1(kSecurityProgId));
    ASSERT_TRUE(found);
    EXPECT_EQ(found->classId, QString::fromLatin1(kClassId));
    EXPECT_TRUE(QFile::exists(found->modulePath));
    EXPECT_TRUE(found->modulePath.endsWith(QStringLiteral("SCR.ZAVEK_SecurityAdmin.so")));
    ASSERT_EQ(entry<UnregisterServerFn>(kEntryUnregister)(&registry), kResultOk);
    EXPECT_FALSE(registry.find(QString::fromLatin1(kSecurityProgId)));
    EXPECT_TRUE(registry.find(QStringLiteral("Other.Thing")));
}

// Only the class is made; it may unload only while no document lives, and the document
// answers by dispatch identifier.
TEST(Module, MakesTheDocumentAndUnloadsOnlyWhenNoneLives) {
    const auto getClassObject = entry<GetClassObjectFn>(kEntryGetClassObject);
    const auto canUnloadNow = entry<CanUnloadNowFn>(kEntryCanUnloadNow);
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(0x1);
    EXPECT_EQ(getClassObject("{00000000-0000-0000-0000-000000000000}", &factory),
              kResultClassNotAvailable);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(getClassObject(nullptr, &factory), kResultClassNotAvailable);
    EXPECT_EQ(getClassObject(kClassId.constData(), nullptr), kResultInvalidArgument);

    EXPECT_EQ(canUnloadNow(), kResultOk);
    ASSERT_EQ(getClassObject(kClassId.constData(), &factory), kResultOk);
    IUserDocument* doc = nullptr;
    EXPECT_EQ(factory->CreateInstance(DocumentContext{}, &doc), kResultOk);
    factory->Release();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(canUnloadNow(), kResultFalse);
    std::int16_t result = 5;
    // Nothing changed: no prompt, the answers come at once.
    EXPECT_EQ(doc->Interface()->Invoke(0x60030001u, &result), kResultOk);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(doc->Interface()->Invoke(0x12345678u, &result), kResultUnknownMember);
    EXPECT_FALSE(doc->DocumentIdentity().isEmpty());
    doc->Release();
    EXPECT_EQ(canUnloadNow(), kResultOk);
}

TEST(Module, CarriesTheInterfaceIdentifierAndVersionResources) {
    ASSERT_NE(entry<CanUnloadNowFn>(kEntryCanUnloadNow), nullptr); // loads the module's resources
    QFile resource(QStringLiteral(":/_IID_ZAVEK_SECURITY/1"));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    EXPECT_EQ(resource.readAll().toHex(), "10000000a36243692dbb8a4897491be1522cc07b");
    QFile version(QStringLiteral(":/version/file_version"));
    ASSERT_TRUE(version.open(QIODevice::ReadOnly));
    EXPECT_EQ(version.readAll().trimmed(), QByteArray("1.00"));
}

} // namespace
} // namespace zavek
