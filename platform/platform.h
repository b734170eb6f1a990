#pragma once
// The thin layer over the toolkit that the document uses: message boxes, the mouse pointer,
// the event pump with its sleep, and the component's own identity. Each piece is an interface
// so that tests script it.

#include <QString>

class QDialog;

#if defined(ZAVEK_PLATFORM_BUILD)
#define ZAVEK_PLATFORM_API __attribute__((visibility("default")))
#else
#define ZAVEK_PLATFORM_API __attribute__((visibility("default")))
#endif

namespace zavek::platform {

// Message box styles, numbered as the box interface numbers them: a box shown is recorded by
// its style's number.
enum class BoxStyle : int {
    OkCritical = 16,          // OK button, critical-stop icon
    YesNoCancelQuestion = 35, // Yes, No and Cancel, question icon
    OkInformation = 64,       // OK button, information icon
    // Ours, not a combination of the others: "Add to the current groups", "Replace the
    // current groups" and Cancel, question icon.
    AddReplaceCancelQuestion = 4131,
};
// The styles' numbers by name, for callers that speak numbers.
inline constexpr int OkCritical = static_cast<int>(BoxStyle::OkCritical);
inline constexpr int YesNoCancelQuestion = static_cast<int>(BoxStyle::YesNoCancelQuestion);
inline constexpr int OkInformation = static_cast<int>(BoxStyle::OkInformation);
inline constexpr int AddReplaceCancelQuestion =
    static_cast<int>(BoxStyle::AddReplaceCancelQuestion);

// Answers a message box returns.
enum MessageBoxAnswer : int {
    AnswerOk = 1,
    AnswerCancel = 2,
    AnswerYes = 6,
    AnswerNo = 7,
    AnswerAdd = 101,
    AnswerReplace = 102,
};

// Mouse pointer shapes, numbered as the pointer property numbers them.
enum class PointerShape : int {
    PointerDefault = 0,
    PointerHourglass = 11,
};
using enum PointerShape;
// A shape read back compares with the property's number.
constexpr bool operator==(PointerShape shape, int number) {
    return static_cast<int>(shape) == number;
}

class ZAVEK_PLATFORM_API IMessageBox {
public:
    virtual ~IMessageBox();
    // Shows a modal box and returns the answer (MessageBoxAnswer).
    virtual int Show(const QString& text, BoxStyle style, const QString& title) = 0;
};

class ZAVEK_PLATFORM_API IDialogRunner {
public:
    virtual ~IDialogRunner();
    // Runs a modal dialog the caller built and returns its result (QDialog::DialogCode).
    virtual int Run(QDialog& dialog) = 0;
};

class ZAVEK_PLATFORM_API IMousePointer {
public:
    virtual ~IMousePointer();
    // Sets the application-wide pointer; setting the same shape again does not stack.
    virtual void SetShape(PointerShape shape) = 0;
    virtual PointerShape Shape() const = 0;
};

class ZAVEK_PLATFORM_API IEventPump {
public:
    virtual ~IEventPump();
    // Processes every pending user-interface event, then returns.
    virtual void ProcessEvents() = 0;
    // Blocks the calling thread for the given milliseconds.
    virtual void Sleep(int milliseconds) = 0;
};

class ZAVEK_PLATFORM_API IComponentInfo {
public:
    virtual ~IComponentInfo();
    virtual int Major() const = 0;
    virtual int Minor() const = 0;
    virtual QString ExeName() const = 0;
};

// The services bundled; none is owned.
struct Platform {
    IMessageBox* messageBox = nullptr;
    IMousePointer* pointer = nullptr;
    IEventPump* events = nullptr;
    IComponentInfo* component = nullptr;
    IDialogRunner* dialogs = nullptr;
};

// "major.minor" as plain decimal integers, e.g. 1.0 or 1.12.
ZAVEK_PLATFORM_API QString versionText(const IComponentInfo& info);

} // namespace zavek::platform
