#pragma once
// Who the process runs as, and the names of users, for messages that say
// whose a file or a lock is.
#include <cstdint>
#include <string>

// The effective user id.
uint32_t CurrentUserId();
// "name (uid N)", or "uid N" when the user has no name here.
std::string UserName(uint32_t uid);
