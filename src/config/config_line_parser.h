#pragma once
// The key=value line syntax of the launcher file, fed with text in pieces.
#include <cstddef>
#include "config/launcher_config.h"

namespace tpl {

// Nothing is trimmed: the first "=" of a line splits key from value, a line
// without "=" is all key, a carriage return before the line feed stays in the
// value. A line whose key and value are both empty adds nothing.
class ConfigLineParser {
public:
    explicit ConfigLineParser(LauncherConfig* table) noexcept : table_(table) {}
    void Feed(const char16_t* units, size_t count);
    // Takes a last line that lacks its line feed.
    void Finish();

private:
    void EndLine();

    LauncherConfig* table_;  // not owned
    WideString key_;
    WideString value_;
    bool inValue_ = false;
};

}  // namespace tpl
