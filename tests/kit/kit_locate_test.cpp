#include <unistd.h>
#include <filesystem>
#include "kit/kit_reader.h"
#include "support/kit_test_support.h"
#include "text/convert.h"

namespace tpl {

namespace fsys = std::filesystem;

TEST_F(KitTest, LocatesBesideTheExecutableOrInTheCurrentDirectory) {
    const fsys::path executable = fsys::read_symlink("/proc/self/exe");
    const std::string beside = executable.parent_path().string() + "/qbx4.tkx";
    EXPECT_EQ(std::string(ToNarrow(LocateKitFile(false)).Data()), beside);

    // A working directory far longer than 260 bytes is kept whole.
    const fsys::path saved = fsys::current_path();
    std::string deep = root_;
    while (deep.size() < 700) deep += "/a_rather_long_directory_name_for_the_test";
    fsys::create_directories(deep);
    fsys::current_path(deep);
    const std::string located = ToNarrow(LocateKitFile(true)).Data();
    fsys::current_path(saved);
    EXPECT_EQ(located, deep + "/qbx4.tkx");
}

}  // namespace tpl
