#include "common/failure.h"

#include "common/error_logger.h"

namespace zavek {

Failure::Failure(std::uint32_t code, QString description, FailureKind kind)
    : code_(code), kind_(kind), description_(std::move(description)), utf8_(description_.toUtf8()) {
}

void fail(std::uint32_t code, const QString& description, FailureKind kind) {
    throw Failure(code, description, kind);
}

std::optional<Failure> attempt(const std::function<void()>& body) {
    try {
        body();
    } catch (const Failure& f) {
        return f;
    } catch (const std::exception& e) {
        return Failure(codes::kUnexpected, QString::fromUtf8(e.what()));
    } catch (...) {
        return Failure(codes::kUnexpected, QStringLiteral("Unexpected failure"));
    }
    return std::nullopt;
}

void logFailure(const TrapContext& context, const char* procedure, const Failure& failure) {
    ErrorLogger::Instance().LogError(failure.description(), context.exeName,
                                     context.sourcePrefix + QString::fromLatin1(procedure),
                                     std::nullopt, 1);
}

bool trapped(const TrapContext& context, const char* procedure, const std::function<void()>& body,
             const std::function<void()>& closing) {
    const auto failure = attempt(body);
    if (failure)
        logFailure(context, procedure, *failure);
    if (closing) {
        // Closing steps must not let a failure escape either.
        if (const auto late = attempt(closing))
            logFailure(context, procedure, *late);
    }
    return !failure;
}

} // namespace zavek
