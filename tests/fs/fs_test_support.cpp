#include "fs_test_support.h"

#include <algorithm>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>
#include "text/convert.h"

namespace tpl {

WideString W(const std::string& text) {
    return ToWide(text.c_str());
}

void WriteText(const std::string& path, const std::string& content) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << content;
    ASSERT_TRUE(out.good()) << path;
}

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return "<missing>";
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool Exists(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0;
}

bool IsDir(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

bool IsLink(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 && S_ISLNK(status.st_mode);
}

unsigned ModeOf(const std::string& path) {
    struct stat status;
    return ::lstat(path.c_str(), &status) == 0 ? (status.st_mode & 07777) : 0xFFFFFFFFu;
}

std::string Listing(const std::string& directory) {
    std::vector<std::string> lines;
    DIR* stream = ::opendir(directory.c_str());
    if (stream == nullptr) return "<no directory>";
    while (const dirent* entry = ::readdir(stream)) {
        const std::string name = entry->d_name;
        if (name == "." || name == "..") continue;
        const std::string path = directory + "/" + name;
        if (IsLink(path))
            lines.push_back(name + "@");
        else if (IsDir(path))
            lines.push_back(name + "/{" + Listing(path) + "}");
        else
            lines.push_back(name + "=" + ReadText(path));
    }
    ::closedir(stream);
    std::sort(lines.begin(), lines.end());
    std::string joined;
    for (const std::string& line : lines) joined += (joined.empty() ? "" : " ") + line;
    return joined;
}

}  // namespace tpl
