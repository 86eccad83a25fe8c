#include <iostream>
#include "text/convert.h"
#include "tkx_commands.h"

int main(int argc, char** argv) {
    InitProcessLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    return RunTkx(args, std::cout, std::cerr);
}
