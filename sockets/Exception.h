// The socket library's exception: thrown when a socket cannot be created or bound.
#pragma once

#include <string>

class Exception {
public:
    explicit Exception(const std::string& message);
    virtual ~Exception() = default;

    virtual const std::string ToString() const;
    virtual const std::string Stack() const;

private:
    std::string m_message;
    std::string m_stack;
};
