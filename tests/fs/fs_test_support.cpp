#include "fs_test_support.h"

#include <algorithm>
#include <cstdlib>
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

PlantedTools::PlantedTools(const std::string& directory) : directory_(directory) {
    ::mkdir(directory.c_str(), 0777);
    ::chmod(directory.c_str(), 0777);
    for (const char* name : {"rm", "mv", "mkdir"}) {
        const std::string tool = directory + "/" + name;
        WriteText(tool, "#!/bin/sh\necho \"" + std::string(name) + " $*\" >> '" + directory + "/ran'\nexit 0\n");
        ::chmod(tool.c_str(), 0755);
    }
    WriteText(directory + "/ran", "");
    ::chmod((directory + "/ran").c_str(), 0666);
    const char* path = std::getenv("PATH");
    hadPath_ = path != nullptr;
    oldPath_ = hadPath_ ? path : "";
    ::setenv("PATH", (directory + ":" + (hadPath_ ? oldPath_ : std::string("/usr/bin:/bin"))).c_str(), 1);
}

PlantedTools::~PlantedTools() {
    if (hadPath_)
        ::setenv("PATH", oldPath_.c_str(), 1);
    else
        ::unsetenv("PATH");
    for (const char* name : {"rm", "mv", "mkdir", "ran"}) ::unlink((directory_ + "/" + name).c_str());
    ::rmdir(directory_.c_str());
}

std::string PlantedTools::Ran() const {
    return ReadText(directory_ + "/ran");
}

}  // namespace tpl
