#include "support/private_directory.h"

#include <sys/stat.h>
#include <unistd.h>

#include <clocale>
#include <cstdlib>
#include <filesystem>

namespace tpl {

namespace fsys = std::filesystem;

PrivateDirectoryTest::SavedVariable PrivateDirectoryTest::Save(const char* name) {
    const char* value = std::getenv(name);
    return value ? SavedVariable{true, value} : SavedVariable{};
}

void PrivateDirectoryTest::Restore(const char* name, const SavedVariable& saved) {
    if (saved.had)
        setenv(name, saved.value.c_str(), 1);
    else
        unsetenv(name);
}

void PrivateDirectoryTest::SetUp() {
    ASSERT_NE(std::setlocale(LC_ALL, "C.UTF-8"), nullptr);
    savedTmpdir_ = Save("TMPDIR");
    savedHome_ = Save("HOME");
    // The runtime directory may hold lock directories of real runs; a
    // test's locks stay in its own directories unless it names one.
    savedRuntime_ = Save("XDG_RUNTIME_DIR");
    unsetenv("XDG_RUNTIME_DIR");
    savedTrustedKeys_ = Save(kTrustedKeysVariable);
    savedCwd_ = fsys::current_path().string();
    const std::string base = savedTmpdir_.had && !savedTmpdir_.value.empty() ? savedTmpdir_.value : "/tmp";
    std::string pattern = base + "/" + options_.prefix + ".XXXXXX";
    ASSERT_NE(mkdtemp(pattern.data()), nullptr) << pattern;
    root_ = pattern;
    // The machine's own trusted keys must not decide a test: the keys
    // directory is "trusted-keys" here, which a test makes when it needs it.
    trustedKeysDir_ = Path("trusted-keys");
    setenv(kTrustedKeysVariable, trustedKeysDir_.c_str(), 1);
    if (options_.tmpdir) {
        tmp_ = Path("tmp");
        fsys::create_directory(tmp_);
        setenv("TMPDIR", tmp_.c_str(), 1);
    }
    if (options_.home) {
        home_ = Path("home");
        fsys::create_directory(home_);
        setenv("HOME", home_.c_str(), 1);
    }
    if (options_.cwd) {
        cwd_ = Path("cwd");
        fsys::create_directory(cwd_);
        fsys::current_path(cwd_);
    }
}

void PrivateDirectoryTest::TearDown() {
    std::error_code ignored;
    fsys::current_path(savedCwd_, ignored);
    Restore("TMPDIR", savedTmpdir_);
    Restore("HOME", savedHome_);
    Restore("XDG_RUNTIME_DIR", savedRuntime_);
    Restore(kTrustedKeysVariable, savedTrustedKeys_);
    if (root_.empty()) return;
    // Directories a test made read-only or unsearchable must not stop the removal.
    chmod(root_.c_str(), 0700);
    for (auto it = fsys::recursive_directory_iterator(root_, ignored); it != fsys::recursive_directory_iterator();
         it.increment(ignored))
        if (it->is_directory(ignored) && !it->is_symlink(ignored)) chmod(it->path().c_str(), 0700);
    fsys::remove_all(root_, ignored);
}

}  // namespace tpl
