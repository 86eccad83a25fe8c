#include "fs/directory_sync.h"

#include <fcntl.h>
#include <unistd.h>
#include "fs/unique_file_handle.h"

void fs_detail::SyncDirectory(const std::string& directory) {
    const UniqueFileHandle fd(::open(directory.empty() ? "." : directory.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (fd) ::fsync(fd.Get());
}
