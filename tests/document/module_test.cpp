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

using namespace Qt::StringLiterals;

QByteArray resource(const char* path) {
    QFile file(QString::fromLatin1(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("missing");
}

// Exactly four exports; register and unregister touch only the module's entry; only the class
// is made, and the module may unload only while no document lives; the interface identifier
// and version travel as resources.
TEST(Module, KeepsItsContractWithTheHost) {
    void* handle = dlopen(ZAVEK_MODULE_FILE, RTLD_NOW | RTLD_LOCAL); // stays mapped: Qt's
    ASSERT_NE(handle, nullptr) << dlerror();                         // registrations live on
    const auto fn = [handle](const char* name) { return dlsym(handle, name); };
    QProcess nm;
    nm.start(u"nm"_s, {u"-D"_s, u"--defined-only"_s, QStringLiteral(ZAVEK_MODULE_FILE)});
    ASSERT_TRUE(nm.waitForFinished(30000));
    QStringList names;
    for (const QString& line : QString::fromLocal8Bit(nm.readAllStandardOutput()).split('\n'))
        if (const QStringList p = line.simplified().split(' '); p.size() == 3 && p[1] != "A")
            names << p[2]; // the linker's absolute markers do not count
    names.sort();
    EXPECT_EQ(names.join(' '), QStringLiteral("zavek_can_unload_now zavek_get_class_object "
                                              "zavek_register_server zavek_unregister_server"));

    QTemporaryDir dir;
    FileComponentRegistry registry(dir.filePath(u"components.ini"_s));
    registry.setEntry({u"Other.Thing"_s, u"{1}"_s, u"/x.so"_s});
    ASSERT_EQ(reinterpret_cast<RegisterServerFn>(fn(kEntryRegister))(&registry), kResultOk);
    const auto found = registry.find(QString::fromLatin1(kSecurityProgId));
    ASSERT_TRUE(found && QFile::exists(found->modulePath));
    EXPECT_EQ(found->classId, u"{2F62CC39-58AF-45E0-ACB3-E9A20435EE77}"_s);
    EXPECT_TRUE(found->modulePath.endsWith(u"SCR.ZAVEK_SecurityAdmin.so"_s));
    ASSERT_EQ(reinterpret_cast<UnregisterServerFn>(fn(kEntryUnregister))(&registry), kResultOk);
    EXPECT_TRUE(!registry.find(QString::fromLatin1(kSecurityProgId)) &&
                registry.find(u"Other.Thing"_s));

    const auto get = reinterpret_cast<GetClassObjectFn>(fn(kEntryGetClassObject));
    const auto canUnload = reinterpret_cast<CanUnloadNowFn>(fn(kEntryCanUnloadNow));
    const char* classId = "{2F62CC39-58AF-45E0-ACB3-E9A20435EE77}";
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(0x1);
    EXPECT_EQ(get("{00000000-0000-0000-0000-000000000000}", &factory), kResultClassNotAvailable);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(get(nullptr, &factory), kResultClassNotAvailable);
    EXPECT_EQ(get(classId, nullptr), kResultInvalidArgument);
    EXPECT_EQ(canUnload(), kResultOk);
    ASSERT_EQ(get(classId, &factory), kResultOk);
    IUserDocument* doc = nullptr;
    EXPECT_EQ(factory->CreateInstance(DocumentContext{}, &doc), kResultOk);
    factory->Release();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(canUnload(), kResultFalse);
    doc->Release();
    EXPECT_EQ(canUnload(), kResultOk);

    EXPECT_EQ(resource(":/_IID_ZAVEK_SECURITY/1").toHex(),
              "10000000a36243692dbb8a4897491be1522cc07b");
    EXPECT_EQ(resource(":/version/file_version"), QByteArray("1.00"));
}

} // namespace
} // namespace zavek
