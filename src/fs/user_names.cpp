#include "fs/user_names.h"

#include <pwd.h>
#include <unistd.h>
#include <vector>

uint32_t CurrentUserId() {
    return static_cast<uint32_t>(::geteuid());
}

std::string UserName(uint32_t uid) {
    const std::string number = "uid " + std::to_string(uid);
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(static_cast<size_t>(size > 0 ? size : 16384));
    struct passwd entry;
    struct passwd* found = nullptr;
    if (::getpwuid_r(static_cast<uid_t>(uid), &entry, buffer.data(), buffer.size(), &found) != 0 || found == nullptr ||
        found->pw_name == nullptr || found->pw_name[0] == '\0')
        return number;
    return std::string(found->pw_name) + " (" + number + ")";
}
