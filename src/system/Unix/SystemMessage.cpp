#include "system/SystemMessage.hpp"

#include <system_error>

std::string systemMessage(unsigned long code) {
    return std::system_category().message(static_cast<int>(code));
}
