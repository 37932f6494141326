#include "sockets/Exception.h"

#include "sockets/Utility.h"

Exception::Exception(const std::string& message) : m_message(message), m_stack(Utility::Stack()) {}

const std::string Exception::ToString() const {
    return m_message;
}

const std::string Exception::Stack() const {
    return m_stack;
}
