#pragma once
// The fixture most tests stand on: a fresh private directory per test,
// removed afterwards with all it holds (directories a test made read-only
// included), and, as a test asks, folders in it that stand in for the
// temporary directory (TMPDIR), the home directory (HOME) and the current
// directory. XDG_RUNTIME_DIR is unset meanwhile. TMPDIR, HOME,
// XDG_RUNTIME_DIR and the current directory are put back afterwards even
// when a test changed them itself. The locale is C.UTF-8, so names
// convert as UTF-8.
#include <gtest/gtest.h>

#include <string>

namespace tpl {

struct PrivateDirectoryOptions {
    const char* prefix = "tpl_test";  // of the private directory's name
    bool tmpdir = false;              // "tmp" in it as TMPDIR
    bool home = false;                // "home" in it as HOME
    bool cwd = false;                 // "cwd" in it as the current directory
};

class PrivateDirectoryTest : public ::testing::Test {
protected:
    explicit PrivateDirectoryTest(PrivateDirectoryOptions options = {}) : options_(options) {}
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }

    std::string root_;
    std::string tmp_, home_, cwd_;  // set where the options ask for them
    // The directory of installed trusted keys for this test (not made).
    std::string trustedKeysDir_;
    // The variable that names it; tpl_test_base links no program layer.
    static constexpr const char* kTrustedKeysVariable = "TPLSETUP_TRUSTED_KEYS_DIR";

private:
    struct SavedVariable {
        bool had = false;
        std::string value;
    };
    static SavedVariable Save(const char* name);
    static void Restore(const char* name, const SavedVariable& saved);

    PrivateDirectoryOptions options_;
    SavedVariable savedTmpdir_, savedHome_, savedRuntime_, savedTrustedKeys_;
    std::string savedCwd_;
};

}  // namespace tpl
