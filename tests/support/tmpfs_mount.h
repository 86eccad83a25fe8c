#pragma once
// A small tmpfs mounted over a test's directory for as long as the object
// lives: a file system that is full or read-only for real. Mounting needs
// root; Mounted() tells the test whether to skip.
#include <sys/mount.h>
#include <unistd.h>

#include <string>

namespace tpl {

class TmpfsMount {
public:
    // options as mount(8) takes them after -o, such as "size=64k".
    TmpfsMount(const std::string& at, const std::string& options, bool readOnly = false) : path_(at) {
        const unsigned long flags = readOnly ? MS_RDONLY : 0;
        mounted_ = geteuid() == 0 && mount("tpl_test_tmpfs", at.c_str(), "tmpfs", flags, options.c_str()) == 0;
    }
    ~TmpfsMount() {
        if (mounted_) umount(path_.c_str());
    }
    TmpfsMount(const TmpfsMount&) = delete;
    TmpfsMount& operator=(const TmpfsMount&) = delete;

    bool Mounted() const { return mounted_; }

private:
    std::string path_;
    bool mounted_ = false;
};

}  // namespace tpl
