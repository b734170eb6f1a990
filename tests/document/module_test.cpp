// The component as a host sees it: a file loaded at run time with four entry points.

#include "common/component_registry.h"
#include "document/component_api.h"

#include <QFile>
#include <QProcess>
#include <QScrollArea>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <dlfcn.h>

namespace zavek {
namespace {

const char* const kModule = ZAVEK_MODULE_FILE;
const QString kClassId = QStringLiteral("{2F62CC39-58AF-45E0-ACB3-E9A20435EE77}");

class Module : public ::testing::Test {
protected:
    void SetUp() override {
        handle = dlopen(kModule, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle, nullptr) << dlerror();
        registerServer = reinterpret_cast<RegisterServerFn>(dlsym(handle, kEntryRegister));
        unregisterServer = reinterpret_cast<UnregisterServerFn>(dlsym(handle, kEntryUnregister));
        getClassObject = reinterpret_cast<GetClassObjectFn>(dlsym(handle, kEntryGetClassObject));
        canUnloadNow = reinterpret_cast<CanUnloadNowFn>(dlsym(handle, kEntryCanUnloadNow));
        ASSERT_TRUE(registerServer && unregisterServer && getClassObject && canUnloadNow);
    }
    void TearDown() override {
        // Qt's resource and metatype registrations stay with the process; keep the file mapped.
    }
    IUserDocument* create() {
        IClassFactory* factory = nullptr;
        EXPECT_EQ(getClassObject(kClassId.toLatin1().constData(), &factory), kResultOk);
        if (!factory)
            return nullptr;
        IUserDocument* doc = nullptr;
        EXPECT_EQ(factory->CreateInstance(DocumentContext{}, &doc), kResultOk);
        factory->Release();
        return doc;
    }

    void* handle = nullptr;
    RegisterServerFn registerServer = nullptr;
    UnregisterServerFn unregisterServer = nullptr;
    GetClassObjectFn getClassObject = nullptr;
    CanUnloadNowFn canUnloadNow = nullptr;
};

TEST_F(Module, ExportsExactlyTheFourEntryPoints) {
    QProcess nm;
    nm.start(QStringLiteral("nm"), {QStringLiteral("-D"), QStringLiteral("--defined-only"),
                                    QString::fromLocal8Bit(kModule)});
    ASSERT_TRUE(nm.waitForFinished(30000));
    QStringList names;
    for (const QString& line :
         QString::fromLocal8Bit(nm.readAllStandardOutput()).split(QLatin1Char('\n'))) {
        const QStringList parts = line.simplified().split(QLatin1Char(' '));
        // Text, data and weak symbols count; the linker's own absolute markers do not.
        if (parts.size() == 3 && parts[1] != QLatin1String("A"))
            names << parts[2];
    }
    names.sort();
    EXPECT_EQ(names, (QStringList{QStringLiteral("zavek_can_unload_now"),
                                  QStringLiteral("zavek_get_class_object"),
                                  QStringLiteral("zavek_register_server"),
                                  QStringLiteral("zavek_unregister_server")}));
}

TEST_F(Module, RegisterWritesTheEntryAndUnregisterRemovesExactlyIt) {
    QTemporaryDir dir;
    FileComponentRegistry registry(dir.filePath(QStringLiteral("components.ini")));
    registry.setEntry(ComponentEntry{QStringLiteral("Other.Thing"), QStringLiteral("{1}"),
                                     QStringLiteral("/x.so")});

    ASSERT_EQ(registerServer(&registry), kResultOk);
    const auto entry = registry.find(QString::fromLatin1(kSecurityProgId));
    ASSERT_TRUE(entry);
    EXPECT_EQ(entry->classId, kClassId);
    EXPECT_TRUE(QFile::exists(entry->modulePath));
    EXPECT_TRUE(entry->modulePath.endsWith(QStringLiteral("SCR.ZAVEK_SecurityAdmin.so")));

    ASSERT_EQ(unregisterServer(&registry), kResultOk);
    EXPECT_FALSE(registry.find(QString::fromLatin1(kSecurityProgId)));
    EXPECT_TRUE(registry.find(QStringLiteral("Other.Thing")));
}

TEST_F(Module, AnUnknownClassIsRefused) {
    IClassFactory* factory = reinterpret_cast<IClassFactory*>(0x1);
    EXPECT_EQ(getClassObject("{00000000-0000-0000-0000-000000000000}", &factory),
              kResultClassNotAvailable);
    EXPECT_EQ(factory, nullptr);
    EXPECT_EQ(getClassObject(nullptr, &factory), kResultClassNotAvailable);
    EXPECT_EQ(getClassObject(kClassId.toLatin1().constData(), nullptr), kResultInvalidArgument);
}

TEST_F(Module, CanUnloadOnlyWhileNoDocumentLives) {
    EXPECT_EQ(canUnloadNow(), kResultOk);
    IUserDocument* doc = create();
    ASSERT_NE(doc, nullptr);
    EXPECT_EQ(canUnloadNow(), kResultFalse);
    doc->Release();
    EXPECT_EQ(canUnloadNow(), kResultOk);
}

TEST_F(Module, TheDocumentAnswersByDispatchIdentifier) {
    IUserDocument* doc = create();
    ASSERT_NE(doc, nullptr);
    std::int16_t result = 5;
    // Nothing changed: no prompt, the answers come at once.
    EXPECT_EQ(doc->Interface()->Invoke(dispid::NeedSave, &result), kResultOk);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(doc->Interface()->Invoke(dispid::BeforeUnload_BackupForPersist, nullptr), kResultOk);
    EXPECT_EQ(doc->Interface()->Invoke(0x12345678u, &result), kResultUnknownMember);
    EXPECT_FALSE(doc->DocumentIdentity().isEmpty());
    doc->Release();
}

TEST_F(Module, CarriesTheInterfaceIdentifierResource) {
    QFile resource(QStringLiteral(":/_IID_ZAVEK_SECURITY/1"));
    ASSERT_TRUE(resource.open(QIODevice::ReadOnly));
    const QByteArray bytes = resource.readAll();
    ASSERT_EQ(bytes.size(), 20);
    EXPECT_EQ(bytes.left(4), QByteArray::fromHex("10000000"));
    EXPECT_EQ(bytes.mid(4), QByteArray::fromHex("a36243692dbb8a4897491be1522cc07b"));
    QFile version(QStringLiteral(":/version/file_version"));
    ASSERT_TRUE(version.open(QIODevice::ReadOnly));
    EXPECT_EQ(version.readAll().trimmed(), QByteArray("1.00"));
}

} // namespace
} // namespace zavek
