#pragma once
#include <QString>

#include <utility>
#include <variant>

// An expected failure, with the sentence the operator will read.
struct Error {
    QString message;
};

inline Error failure(QString message)
{
    return Error{std::move(message)};
}

// The outcome of an operation that can fail: a value, or the reason there is
// none. There is no default: `return {}` does not compile, so success and
// failure are always spelled out.
template <class T> class [[nodiscard]] Result {
public:
    Result(T value)
        : state_(std::in_place_index<0>, std::move(value))
    {
    }
    Result(Error error)
        : state_(std::in_place_index<1>, std::move(error))
    {
    }

    bool ok() const { return state_.index() == 0; }
    explicit operator bool() const { return ok(); }

    const T& value() const& { return std::get<0>(state_); }
    T& value() & { return std::get<0>(state_); }
    T&& value() && { return std::get<0>(std::move(state_)); }
    const T* operator->() const { return &std::get<0>(state_); }
    const T& operator*() const& { return std::get<0>(state_); }

    // Empty when ok.
    QString error() const { return ok() ? QString() : std::get<1>(state_).message; }

private:
    std::variant<T, Error> state_;
};

template <> class [[nodiscard]] Result<void> {
public:
    Result(Error error)
        : ok_(false)
        , error_(std::move(error.message))
    {
    }
    static Result success() { return Result(); }

    bool ok() const { return ok_; }
    explicit operator bool() const { return ok_; }
    QString error() const { return error_; }

private:
    Result() = default;
    bool ok_ = true;
    QString error_;
};

using Status = Result<void>;
