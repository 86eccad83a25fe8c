#include <iostream>
#include "text/convert.h"
#include "tkx_commands.h"

int main(int argc, char** argv) {
    tpl::InitProcessLocale();
    std::vector<std::string> args(argv + 1, argv + argc);
    return tpl::RunTkx(args, std::cout, std::cerr);
}
