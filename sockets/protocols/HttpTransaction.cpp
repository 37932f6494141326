#include "sockets/protocols/HttpTransaction.h"

const std::string& HttpTransaction::Empty() {
    static const std::string empty;
    return empty;
}

const std::string& HttpTransaction::Header(const std::string& name) const {
    auto it = m_header.find(name);
    return it == m_header.end() ? Empty() : it->second;
}
