#pragma once
// Runs a tkx command in-process and keeps what it printed.
#include <string>
#include <vector>

struct TkxRun {
    int status;
    std::string out;
    std::string err;
};

TkxRun Tkx(const std::vector<std::string>& args);
