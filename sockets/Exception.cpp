#include "sockets/Exception.h"

Exception::Exception(const std::string& message) : m_message(message), m_stack("Not available") {}

const std::string Exception::ToString() const {
    return m_message;
}

const std::string Exception::Stack() const {
    return m_stack;
}
