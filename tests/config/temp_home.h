#pragma once
// A fresh temporary home directory for each test, with the UTF-8 locale.
#include <gtest/gtest.h>
#include <string>
#include "text/cow_string.h"

std::string Narrow(const WideString& text);
WideString Wide(const std::string& text);
std::string ReadBytes(const std::string& path);
// Creates the file's directories as needed.
void WriteBytes(const std::string& path, const std::string& bytes);
bool Exists(const std::string& path);

class TempHomeTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
    std::string home_;
    std::string mainUser_, altUser_, mainCommon_;

private:
    std::string savedHome_;
    bool hadHome_ = false;
};
