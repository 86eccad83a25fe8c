#pragma once
// A fresh temporary home directory for each test, with the UTF-8 locale.
#include <gtest/gtest.h>
#include <string>
#include "support/private_directory.h"
#include "support/test_files.h"
#include "support/wide_text.h"
#include "text/cow_string.h"

namespace tpl {

// Creates the file's directories as needed.
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

class TempHomeTest : public PrivateDirectoryTest {
protected:
    TempHomeTest() : PrivateDirectoryTest({"config_tests", false, true}) {}
    void SetUp() override;
    std::string mainUser_, altUser_, mainCommon_;
};

}  // namespace tpl
