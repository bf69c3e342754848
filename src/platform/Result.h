#pragma once
// Errors as values at module boundaries: a value, or an error code with a message.

#include <string>
#include <utility>
#include <variant>

namespace kx {

enum class ErrorCode { notFound, invalidInput, io, unavailable, denied, timeout };

struct Error {
    ErrorCode code = ErrorCode::io;
    std::string message;
    bool operator==(const Error&) const = default;
};

template <typename T>
class Result {
public:
    Result(T value) : m_v(std::move(value)) {}
    Result(Error error) : m_v(std::move(error)) {}
    bool ok() const { return std::holds_alternative<T>(m_v); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return std::get<T>(m_v); }
    T& value() { return std::get<T>(m_v); }
    const Error& error() const { return std::get<Error>(m_v); }

private:
    std::variant<T, Error> m_v;
};

}  // namespace kx
