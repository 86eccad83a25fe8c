#include "fs/unique_file_handle.h"
#include "tkx_tree.h"

#include <algorithm>
#include <filesystem>
#include <system_error>
#include "fs/file_io.h"
#include "text/convert.h"
#include "text/text_helpers.h"

namespace tpl {

namespace fsys = std::filesystem;

namespace {

// The kit stores names in UTF-16; a name that does not survive the trip
// through the locale would be installed under another name.
bool ConvertName(const std::string& relative, WideString* name) {
    *name = ToWide(relative.c_str());
    const NarrowString back = ToNarrow(*name);
    return relative == std::string(back.Data(), back.Length());
}

bool WalkDirectory(const fsys::path& root, const fsys::path& directory, std::vector<PackSource>* sources,
                   std::string* error) {
    std::error_code code;
    std::vector<fsys::path> children;
    for (fsys::directory_iterator it(directory, code), end; !code && it != end; it.increment(code))
        children.push_back(it->path());
    if (code) {
        *error = "cannot read directory " + directory.string() + ": " + code.message();
        return false;
    }
    std::sort(children.begin(), children.end());
    for (const fsys::path& child : children) {
        const fsys::file_status status = fsys::symlink_status(child, code);
        if (code) {
            *error = "cannot examine " + child.string() + ": " + code.message();
            return false;
        }
        if (fsys::is_symlink(status)) {
            *error = "refusing symbolic link " + child.string() + " (kits carry regular files only)";
            return false;
        }
        if (fsys::is_directory(status)) {
            if (!WalkDirectory(root, child, sources, error)) return false;
            continue;
        }
        if (!fsys::is_regular_file(status)) {
            *error = "refusing special file " + child.string() + " (kits carry regular files only)";
            return false;
        }
        const std::string relative = child.lexically_relative(root).generic_string();
        if (relative.find('\\') != std::string::npos) {
            *error = "refusing " + child.string() + ": a backslash in a name would become a directory separator";
            return false;
        }
        PackSource source;
        source.path = child.string();
        if (!ConvertName(relative, &source.kitName)) {
            *error = "refusing " + child.string() + ": the name cannot be represented in the current locale";
            return false;
        }
        // Such a name could reach a terminal, a log or a launcher file
        // line as a command of its own.
        if (ContainsControlCharacter(source.kitName)) {
            *error = "refusing " + EscapeControlCharacters(child.string()) + ": a control character in a name";
            return false;
        }
        for (char16_t* unit = source.kitName.MutableData(); *unit != 0; ++unit)
            if (*unit == u'/') *unit = u'\\';
        if (!ReadSourceInfo(source.path, &source.size, &source.writeTime, error)) return false;
        sources->push_back(std::move(source));
    }
    return true;
}

}  // namespace

bool ReadSourceInfo(const std::string& path, uint32_t* size, FILETIME* writeTime, std::string* error) {
    UniqueFileHandle handle;
    if (FileOpen(ToWide(path.c_str()), GENERIC_READ, 0, OPEN_EXISTING, handle.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0) {
        *error = "cannot open " + path;
        return false;
    }
    const int64_t end = FileSeek(handle.Get(), 0, 0, FILE_END);
    if (end < 0 || FileGetTimes(handle.Get(), nullptr, nullptr, writeTime) != 0) {
        *error = "cannot read the size or time of " + path;
        return false;
    }
    if (static_cast<uint64_t>(end) > 0xFFFFFFFFu) {
        *error = "refusing " + path + ": files of 4 GiB or more do not fit in a kit";
        return false;
    }
    *size = static_cast<uint32_t>(end);
    return true;
}

bool CollectPackSources(const std::string& root, std::vector<PackSource>* sources, std::string* error) {
    std::error_code code;
    if (!fsys::is_directory(fsys::status(root, code))) {
        *error = root + " is not a directory";
        return false;
    }
    return WalkDirectory(fsys::path(root), fsys::path(root), sources, error);
}

}  // namespace tpl
