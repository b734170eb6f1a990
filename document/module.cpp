// The component's four entry points: register, unregister, get class object, can unload now.
// They carry no logic of the document itself.

#include "document/component_api.h"
#include "document/component_ids.h"
#include "document/zavek_security.h"

#include <QString>

#include <dlfcn.h>

namespace {

using namespace zavek;

QString modulePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&modulePath), &info) == 0 || !info.dli_fname)
        return QString();
    return QString::fromLocal8Bit(info.dli_fname);
}

// Class identifiers compare without braces and letter case.
QString normalisedId(QString id) {
    id = id.trimmed();
    if (id.startsWith(QLatin1Char('{')) && id.endsWith(QLatin1Char('}')))
        id = id.mid(1, id.size() - 2);
    return id.toUpper();
}

class SecurityFactory final : public IClassFactory {
public:
    std::int32_t CreateInstance(const DocumentContext& context, IUserDocument** out) override {
        if (!out)
            return kResultInvalidArgument;
        *out = nullptr;
        try {
            *out = new ZavekSecurity(context);
        } catch (...) {
            return kResultFailed;
        }
        return kResultOk;
    }
    // The factory is static: the module keeps it for its whole life.
    void Release() override {}
};

SecurityFactory gFactory;

} // namespace

extern "C" {

__attribute__((visibility("default"))) std::int32_t
zavek_register_server(zavek::IComponentRegistry* registry) {
    if (!registry)
        return kResultInvalidArgument;
    const QString path = modulePath();
    if (path.isEmpty())
        return kResultFailed;
    registry->setEntry(ComponentEntry{QString::fromLatin1(kSecurityProgId),
                                      QString::fromLatin1(ids::kClassId), path});
    return kResultOk;
}

__attribute__((visibility("default"))) std::int32_t
zavek_unregister_server(zavek::IComponentRegistry* registry) {
    if (!registry)
        return kResultInvalidArgument;
    registry->removeEntry(QString::fromLatin1(kSecurityProgId), QString::fromLatin1(ids::kClassId));
    return kResultOk;
}

__attribute__((visibility("default"))) std::int32_t
zavek_get_class_object(const char* classId, zavek::IClassFactory** out) {
    if (!out)
        return kResultInvalidArgument;
    *out = nullptr;
    if (!classId || normalisedId(QString::fromLatin1(classId)) !=
                        normalisedId(QString::fromLatin1(ids::kClassId)))
        return kResultClassNotAvailable;
    *out = &gFactory;
    return kResultOk;
}

__attribute__((visibility("default"))) std::int32_t zavek_can_unload_now() {
    return ZavekSecurity::aliveCount() == 0 ? kResultOk : kResultFalse;
}

} // extern "C"
