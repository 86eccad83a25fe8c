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

// Programs named rm, mv and mkdir, planted first on PATH for as long as the
// object lives. Each notes in a file anyone may write (so that one run by a
// child of another user is caught too) that it ran, and claims success: the
// file layer must never start one for its own work. The directory, made
// here, goes with the object.
class PlantedTools {
public:
    explicit PlantedTools(const std::string& directory);
    ~PlantedTools();
    PlantedTools(const PlantedTools&) = delete;
    PlantedTools& operator=(const PlantedTools&) = delete;
    // What ran with which arguments, a line each; empty when nothing did.
    std::string Ran() const;

private:
    std::string directory_;
    std::string oldPath_;
    bool hadPath_ = false;
};

class FsTest : public PrivateDirectoryTest {
protected:
    FsTest() : PrivateDirectoryTest({"fs_test"}) {}
    WideString WPath(const std::string& relative) const { return W(Path(relative)); }
};

}  // namespace tpl
