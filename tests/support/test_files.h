#pragma once
// Reading a file in tests: its bytes as they are, empty when it cannot be read.
#include <string>

std::string ReadWholeFile(const std::string& path);
