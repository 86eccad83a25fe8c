#pragma once
// A fresh temporary directory per test and small file helpers.
#include <gtest/gtest.h>
#include <string>
#include "support/private_directory.h"
#include "text/cow_string.h"

namespace tpl {

WideString W(const std::string& text);

void WriteText(const std::string& path, const std::string& content);
std::string ReadText(const std::string& path);  // "<missing>" when unreadable
bool Exists(const std::string& path);           // lstat: links count themselves
bool IsDir(const std::string& path);
bool IsLink(const std::string& path);
unsigned ModeOf(const std::string& path);
// Names in a directory (without "." and ".."), sorted; files only with content.
std::string Listing(const std::string& directory);

class FsTest : public PrivateDirectoryTest {
protected:
    FsTest() : PrivateDirectoryTest({"fs_test"}) {}
    WideString WPath(const std::string& relative) const { return W(Path(relative)); }
};

}  // namespace tpl
