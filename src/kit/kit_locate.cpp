#include <filesystem>
#include <string>
#include <system_error>
#include "kit/kit_reader.h"
#include "text/convert.h"

// The standard library sizes its buffers to the link, so an executable path
// of any length is read whole (a fixed 260-byte buffer would cut it).
WideString LocateKitFile(bool useCurrentDirectory) {
    std::error_code error;
    std::string directory;
    if (useCurrentDirectory) {
        directory = std::filesystem::current_path(error).string();
        if (error) return WideString();
    } else {
        const std::string executable = std::filesystem::read_symlink("/proc/self/exe", error).string();
        if (error || executable.empty()) return WideString();
        const std::string::size_type slash = executable.rfind('/');
        directory = slash == std::string::npos ? std::string() : executable.substr(0, slash);
    }
    if (directory.empty() || directory.back() != '/') directory += '/';
    directory += "qbx4.tkx";
    return ToWide(directory.c_str());
}
