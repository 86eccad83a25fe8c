#include "tkx_test_support.h"

#include <sstream>
#include "tkx/tkx_commands.h"

namespace tpl {

TkxRun Tkx(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = RunTkx(args, out, err);
    return {status, out.str(), err.str()};
}

}  // namespace tpl
