#pragma once
// Runs a tkx command in-process and keeps what it printed.
#include <string>
#include <vector>

namespace tpl {

struct TkxRun {
    int status;
    std::string out;
    std::string err;
};

TkxRun Tkx(const std::vector<std::string>& args);

}  // namespace tpl
