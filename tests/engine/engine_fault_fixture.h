#pragma once
// A populated template directory and a kit that replaces, adds, skips and
// rewrites files in it: the ground for running a whole installation with a
// failure, or an end, at each of its steps.
#include <filesystem>
#include <stdlib.h>
#include <sys/stat.h>
#include "engine_test_support.h"
#include "fs/fault_injection.h"
#include "support/test_times.h"

namespace tpl {

namespace fault_fixture {

inline std::string Bytes(size_t size, char seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(seed + i * 7 + (i >> 9));
    return data;
}

// A temporary directory on another file system (/dev/shm) than here: the
// run then keeps its backup beside the target. made false where there is
// none; removed with all it holds.
struct OtherTemporaryFileSystem {
    std::string path = "/dev/shm/engine_other_XXXXXX";
    bool made = false;
    explicit OtherTemporaryFileSystem(const std::string& here) {
        struct stat a, b;
        made = mkdtemp(path.data()) != nullptr && stat(path.c_str(), &a) == 0 && stat(here.c_str(), &b) == 0 &&
               a.st_dev != b.st_dev;
    }
    ~OtherTemporaryFileSystem() {
        if (made) std::filesystem::remove_all(path);
    }
    OtherTemporaryFileSystem(const OtherTemporaryFileSystem&) = delete;
    OtherTemporaryFileSystem& operator=(const OtherTemporaryFileSystem&) = delete;
};

struct DisarmFaults {
    ~DisarmFaults() { fault_injection::FailOperationAt(0); }
};
}  // namespace fault_fixture
using namespace fault_fixture;

class EngineFaultTest : public EngineTest {
protected:
    void BuildPopulatedTarget() {
        std::filesystem::remove_all(target_);
        std::filesystem::create_directory(target_);
        PutFile("replace1.cfg", "replace1 original", kOld);
        PutFile("replace2.cfg", "replace2 original", kOld, 0600);
        PutFile("dup.cfg", "dup original", kOld, 0640);
        PutFile("newer1.cfg", "user's newer", kNew + 100);
        PutFile("exist/replace3.cfg", "replace3 original", kOld, 0640);
        PutFile("exist/newer2.cfg", "user's newer 2", kNew + 100);
        PutFile("exist/untouched.cfg", "not in the kit", kOld);
        PutFile("exist/sub/replace4.cfg", "replace4 original", kOld);
        PutFile("exist/sub/replace5.cfg", Bytes(300000, 'r'), kOld, 0444);
        PutFile("exist/sub/same.cfg", "same time", kNew);
        PutDirectory("exist/emptydir", 0700);
        // A link that names a file of another directory: set aside, it names
        // nothing from inside the backup.
        std::filesystem::create_symlink("../untouched.cfg", TargetPath("exist/sub/linked.cfg"));
        AgeDirectories();
    }

    // Loads the kit and installs it once, unhindered, over the populated
    // target: how many counted operations an installation takes, and the
    // tree it leaves.
    void RunUnhindered(int64_t* operations, TreeSnapshot* installed) {
        LoadKit(KitEntries());
        BuildPopulatedTarget();
        fault_injection::ResetCount();
        ASSERT_EQ(RunInstall(), 0u);
        *operations = fault_injection::CountedOperations();
        *installed = SnapshotTree(target_, false);
        ASSERT_GT(*operations, 30);
        ASSERT_EQ(ReadFile(TargetPath("dup.cfg")), "dup first");
    }

    void FailEveryOperation(int64_t passes);

    std::vector<KitMemoryEntry> KitEntries() const {
        return {Entry("replace1.cfg", kNew, "replace1 new"),
                Entry("new1.cfg", kNew, "new1"),
                Entry("newdir\\a\\b\\deep.cfg", kNew, "deep"),
                Entry("exist\\replace3.cfg", kNew, "replace3 new"),
                Entry("newer1.cfg", kNew, "kit older than the user's"),
                Entry("exist/sub/replace4.cfg", kNew, "replace4 new"),
                Entry("exist/sub/linked.cfg", kNew, "in place of the link"),
                Entry("exist/sub/same.cfg", kNew, "kit same time"),
                Entry("newdir/a/other.cfg", kNew, "other"),
                Entry("exist/new-in-existing.cfg", kNew, "new in existing"),
                Entry("big.bin", kNew, Bytes(1536 * 1024, 'b')),
                Entry("exist/sub/replace5.cfg", kNew, Bytes(1200 * 1024, 'R')),
                Entry("empty.cfg", kNew, ""),
                Entry("exist\\newer2.cfg", kNew, "kit older 2"),
                Entry("dup.cfg", kNew, "dup first"),
                Entry("n2/x.cfg", kNew, "x"),
                Entry("exist/emptydir/filled.cfg", kNew, "filled"),
                Entry("replace2.cfg", kNew, "replace2 new"),
                Entry("n2\\y\\z.cfg", kNew, "z"),
                Entry("new2.cfg", kNew, "new2"),
                Entry("exist/sub/deeper/new.cfg", kNew, "deeper"),
                Entry("zz.cfg", kNew, "zz")};
    }
};

}  // namespace tpl
