#pragma once
// The one failure type of the system and the trap every document procedure runs through.

#include <QString>

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
#include <utility>

namespace zavek {

namespace codes {
// The object-defined error base plus 1000: start-up stops on it, the catalogue load does not log
// it.
inline constexpr std::uint32_t kStop = 0x800403E8u;
inline constexpr std::uint32_t kUnexpected = 0x80004005u;
inline constexpr std::uint32_t kInvalidArgument = 0x80070057u;
inline constexpr std::uint32_t kNoSuchProperty = 0x800A01B6u;
inline constexpr std::uint32_t kNullValue = 0x800A005Eu;
inline constexpr std::uint32_t kNoSuchField = 0x800A0CC1u;
inline constexpr std::uint32_t kNoCurrentRecord = 0x800A0BCDu;
inline constexpr std::uint32_t kDatabase = 0x80040E14u;
inline constexpr std::uint32_t kNotConnected = 0x80040E4Du;
inline constexpr std::uint32_t kMalformedMessage = 0x80040201u;
inline constexpr std::uint32_t kUnknownMember = 0x80040202u;
inline constexpr std::uint32_t kClassNotAvailable = 0x80040111u;
} // namespace codes

// Whose move a failure is, so that whoever catches it knows what to tell whom.
enum class FailureKind {
    Programming, // the program, or a message it was handed, is at fault
    Refusal,     // a refusal the user can act on: the text says what to do next
    Database,    // the database did not do what was asked
};

class Failure : public std::exception {
public:
    Failure(std::uint32_t code, QString description, FailureKind kind = FailureKind::Programming);
    std::uint32_t code() const { return code_; }
    FailureKind kind() const { return kind_; }
    const QString& description() const { return description_; }
    const char* what() const noexcept override { return utf8_.constData(); }

private:
    std::uint32_t code_;
    FailureKind kind_;
    QString description_;
    QByteArray utf8_;
};

[[noreturn]] void fail(std::uint32_t code, const QString& description,
                       FailureKind kind = FailureKind::Programming);

// Runs body and returns the failure it raised, if any; nothing is logged.
std::optional<Failure> attempt(const std::function<void()>& body);

// How a procedure names itself in the error log.
struct TrapContext {
    QString exeName;      // the component's executable name
    QString sourcePrefix; // e.g. "ZAVEK_Security."
};

// The trap of a document procedure: runs body; a failure is logged with the procedure's
// source text and event type 1, never reaches the caller; closing always runs.
// Returns true when body finished without a failure.
bool trapped(const TrapContext& context, const char* procedure, const std::function<void()>& body,
             const std::function<void()>& closing = {});

// The trap of a procedure that answers: body's value, or fallback when body failed (logged as
// above).
template <typename T, typename Body>
T trappedOr(const TrapContext& context, const char* procedure, T fallback, Body&& body) {
    std::optional<T> value;
    trapped(context, procedure, [&] { value.emplace(body()); });
    return value ? std::move(*value) : std::move(fallback);
}

// Logs a failure the way the trap does.
void logFailure(const TrapContext& context, const char* procedure, const Failure& failure);

} // namespace zavek
