#include "ui/accessible_name.h"

namespace tpl {

std::string PlainButtonName(const std::string& label) {
    // ASCII only: no byte of it is part of another character in UTF-8.
    const char* const kDropped = "<> \t";
    const size_t first = label.find_first_not_of(kDropped);
    if (first == std::string::npos) return label;
    const size_t last = label.find_last_not_of(kDropped);
    return label.substr(first, last - first + 1);
}

}  // namespace tpl
