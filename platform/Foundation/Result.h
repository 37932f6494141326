// A value or the text of what went wrong: the error convention of the Foundation layer, whose
// readers of outside bytes never throw.
#pragma once

#include <string>
#include <utility>
#include <variant>

struct Failure {
    std::string message;
};

template <class T>
class Result {
public:
    Result(T value) : mState(std::in_place_index<0>, std::move(value)) {}
    Result(Failure failure) : mState(std::in_place_index<1>, std::move(failure.message)) {}

    bool ok() const { return mState.index() == 0; }
    explicit operator bool() const { return ok(); }

    // Only when ok().
    const T& value() const& { return std::get<0>(mState); }
    T& value() & { return std::get<0>(mState); }
    T&& value() && { return std::get<0>(std::move(mState)); }

    // Empty when ok().
    const std::string& error() const {
        static const std::string none;
        return ok() ? none : std::get<1>(mState);
    }

private:
    std::variant<T, std::string> mState;
};

template <>
class Result<void> {
public:
    Result() = default;
    Result(Failure failure) : mError(std::move(failure.message)), mFailed(true) {}

    bool ok() const { return !mFailed; }
    explicit operator bool() const { return ok(); }
    const std::string& error() const { return mError; }

private:
    std::string mError;
    bool mFailed{false};
};
