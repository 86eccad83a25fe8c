#pragma once
// Reading a file in tests: its bytes as they are, empty when it cannot be read.
#include <string>

namespace tpl {

std::string ReadWholeFile(const std::string& path);

}  // namespace tpl
