#pragma once
// The contract between a host shell and the security-administration component module:
// the module's four entry points, its class factory, the document's default interface and
// what a host needs to place and show the document.

#include "common/component_registry.h"
#include "platform/platform.h"

#include <QString>
#include <Qt>

#include <cstdint>

class QObject;
class QWidget;

namespace zavek {

inline constexpr const char* kModuleBaseName = "SCR.ZAVEK_SecurityAdmin";
inline constexpr const char* kSecurityProgId = "PRJ_ZAVEK_SecurityAdmin.ZAVEK_Security";

// Result codes of the entry points and of Invoke.
inline constexpr std::int32_t kResultOk = 0;
inline constexpr std::int32_t kResultFalse = 1;
inline constexpr std::int32_t kResultClassNotAvailable = static_cast<std::int32_t>(0x80040111u);
inline constexpr std::int32_t kResultUnknownMember = static_cast<std::int32_t>(0x80040202u);
inline constexpr std::int32_t kResultInvalidArgument = static_cast<std::int32_t>(0x80070057u);
inline constexpr std::int32_t kResultFailed = static_cast<std::int32_t>(0x80004005u);

// Dispatch identifiers of the default interface.
namespace dispid {
inline constexpr std::uint32_t CloseDocument = 0x60030000u;
inline constexpr std::uint32_t NeedSave = 0x60030001u;
inline constexpr std::uint32_t BeforeUnload = 0x6003000Au;
inline constexpr std::uint32_t BeforeUnload_BackupForPersist = 0x6003000Bu;
inline constexpr std::uint32_t SaveData = 0x6003000Du;
} // namespace dispid

// The default interface of the document class; booleans are -1 (true) and 0 (false).
class _ZAVEK_Security {
public:
    virtual std::int16_t CloseDocument() = 0;
    virtual std::int16_t NeedSave() = 0;
    virtual void BeforeUnload() = 0;
    virtual void BeforeUnload_BackupForPersist() = 0;
    virtual void SaveData() = 0;
    // The same operations by dispatch identifier. result receives the boolean of the two
    // operations that return one; it may be null. Returns kResultOk or kResultUnknownMember.
    virtual std::int32_t Invoke(std::uint32_t dispatchId, std::int16_t* result) = 0;

protected:
    ~_ZAVEK_Security() = default;
};

// The answer to a host's question whether a document may close.
enum class CloseAnswer : std::int32_t { NothingToSave, Save, Discard, Cancel };

// The document as a host sees it.
class IUserDocument {
public:
    virtual _ZAVEK_Security* Interface() = 0;
    // The form, to be placed in a scroll area of the host window. It is the document's for the
    // document's whole life: the host only shows it, and takes it back out of its container
    // before it releases the document.
    virtual QWidget* Form() = 0;
    // The host's container of the form. Its "Parent" property (a QObject*) is the host window,
    // whose "Tag" and "Caption" properties the document reads at start-up.
    virtual void SetContainer(QObject* container) = 0;
    // The host's show notification.
    virtual void UserDocument_Show() = 0;
    virtual QString DocumentIdentity() const = 0;
    // Scroll step of the form along one direction, in pixels at the screen's logical DPI.
    virtual int ScrollStepPixels(Qt::Orientation orientation) const = 0;
    // CloseDocument in two steps, for a host that asks every document before it acts on any
    // (quitting with several windows open): AskToClose shows the prompt and does nothing
    // else; FinishClose does what CloseDocument does for that answer, without asking again.
    virtual CloseAnswer AskToClose() = 0;
    virtual std::int16_t FinishClose(CloseAnswer answer) = 0;
    // Shows the shown officer's history in a window of its own, loaded afresh; for a host's
    // menu. Not part of the default interface, whose operations are fixed.
    virtual void ShowHistory() = 0;
    // The Document menu's "Copy Security Groups From…": whether it applies now, and running it.
    virtual bool CanCopyGroupsFrom() const = 0;
    virtual void CopyGroupsFrom() = 0;
    // Destroys the document (and its form).
    virtual void Release() = 0;

protected:
    ~IUserDocument() = default;
};

// Services the host hands the document; a null member takes the toolkit's own.
struct DocumentContext {
    platform::Platform platform;
};

class IClassFactory {
public:
    virtual std::int32_t CreateInstance(const DocumentContext& context, IUserDocument** out) = 0;
    virtual void Release() = 0;

protected:
    ~IClassFactory() = default;
};

// The four entry points, resolved by name from the module.
inline constexpr const char* kEntryRegister = "zavek_register_server";
inline constexpr const char* kEntryUnregister = "zavek_unregister_server";
inline constexpr const char* kEntryGetClassObject = "zavek_get_class_object";
inline constexpr const char* kEntryCanUnloadNow = "zavek_can_unload_now";

using RegisterServerFn = std::int32_t (*)(IComponentRegistry* registry);
using UnregisterServerFn = std::int32_t (*)(IComponentRegistry* registry);
// classId in the registry's text form; *out is null on failure.
using GetClassObjectFn = std::int32_t (*)(const char* classId, IClassFactory** out);
// kResultOk while no document of the module is alive, kResultFalse otherwise.
using CanUnloadNowFn = std::int32_t (*)();

} // namespace zavek
