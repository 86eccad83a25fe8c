// Every counted file operation of a run is made to fail in turn: each time
// the template directory must come back exactly, and no backup may remain.
#include <filesystem>
#include "engine_test_support.h"
#include "fs/dir_ops.h"

namespace {
constexpr int64_t kOld = 1500000000;
constexpr int64_t kNew = 1600000000;

std::string Bytes(size_t size, char seed) {
    std::string data(size, '\0');
    for (size_t i = 0; i < size; ++i) data[i] = static_cast<char>(seed + i * 7 + (i >> 9));
    return data;
}

struct DisarmFaults {
    ~DisarmFaults() { fault_injection::FailOperationAt(0); }
};
}  // namespace

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
        AgeDirectories();
    }

    std::vector<KitMemoryEntry> KitEntries() const {
        return {Entry("replace1.cfg", kNew, "replace1 new"),
                Entry("new1.cfg", kNew, "new1"),
                Entry("newdir\\a\\b\\deep.cfg", kNew, "deep"),
                Entry("exist\\replace3.cfg", kNew, "replace3 new"),
                Entry("newer1.cfg", kNew, "kit older than the user's"),
                Entry("exist/sub/replace4.cfg", kNew, "replace4 new"),
                Entry("exist/sub/same.cfg", kNew, "kit same time"),
                Entry("newdir/a/other.cfg", kNew, "other"),
                Entry("exist/new-in-existing.cfg", kNew, "new in existing"),
                Entry("big.bin", kNew, Bytes(1536 * 1024, 'b')),
                Entry("exist/sub/replace5.cfg", kNew, Bytes(1200 * 1024, 'R')),
                Entry("empty.cfg", kNew, ""),
                Entry("exist\\newer2.cfg", kNew, "kit older 2"),
                Entry("dup.cfg", kNew, "dup first"),
                Entry("n2/x.cfg", kNew, "x"),
                Entry("dup.cfg", kNew + 50, "dup second"),
                Entry("exist/emptydir/filled.cfg", kNew, "filled"),
                Entry("replace2.cfg", kNew, "replace2 new"),
                Entry("n2\\y\\z.cfg", kNew, "z"),
                Entry("new2.cfg", kNew, "new2"),
                Entry("exist/sub/deeper/new.cfg", kNew, "deeper"),
                Entry("zz.cfg", kNew, "zz")};
    }
};

TEST_F(EngineFaultTest, EveryFailedOperationLeavesTheTargetAsBefore) {
    DisarmFaults disarm;
    LoadKit(KitEntries());

    BuildPopulatedTarget();
    fault_injection::ResetCount();
    ASSERT_EQ(RunInstall(), 0u);
    const int64_t operations = fault_injection::CountedOperations();
    const TreeSnapshot installed = SnapshotTree(target_, false);
    ASSERT_GT(operations, 30);
    ASSERT_EQ(ReadFile(TargetPath("dup.cfg")), "dup second");

    int failedRuns = 0;
    for (int64_t k = 1; k <= operations; ++k) {
        BuildPopulatedTarget();
        const TreeSnapshot before = SnapshotTree(target_);
        fault_injection::FailOperationAt(k);
        const uint32_t result = RunInstall();
        fault_injection::FailOperationAt(0);

        uint32_t posted = 0;
        status_.ReadStatus(&posted, nullptr, nullptr);
        EXPECT_EQ(posted, result) << "k=" << k;
        if (result != 0) {
            ++failedRuns;
            EXPECT_EQ(DescribeDifference(before, SnapshotTree(target_)), "") << "k=" << k;
        } else {
            // A fault the engine could work around must not change the outcome.
            EXPECT_EQ(DescribeDifference(installed, SnapshotTree(target_, false)), "") << "k=" << k;
        }
        EXPECT_TRUE(BackupDirectoriesLeft().empty()) << "k=" << k;
        if (HasFailure()) break;
    }
    EXPECT_GT(failedRuns, operations / 2);
    RecordProperty("operations", static_cast<int>(operations));
    RecordProperty("failedRuns", failedRuns);
}

// When putting a replaced file back fails, the backup directory is the only
// place that still holds it: it must be kept, never removed.
TEST_F(EngineFaultTest, FailedRestoreKeepsTheBackupWithTheUsersFile) {
    DisarmFaults disarm;
    LoadKit({Entry("r.cfg", kNew, "new"), Entry("blocker/x", kNew, "fails")});
    auto build = [&] {
        std::filesystem::remove_all(target_);
        std::filesystem::create_directory(target_);
        PutFile("r.cfg", "original", kOld);
        PutFile("blocker", "x", kOld);
    };
    build();
    fault_injection::ResetCount();
    ASSERT_NE(RunInstall(), 0u);
    const int64_t operations = fault_injection::CountedOperations();

    int keptBackups = 0;
    for (int64_t k = 1; k <= operations; ++k) {
        build();
        fault_injection::FailOperationAt(k);
        EXPECT_NE(RunInstall(), 0u) << "k=" << k;
        fault_injection::FailOperationAt(0);
        const std::vector<std::string> left = BackupDirectoriesLeft();
        if (ReadFile(TargetPath("r.cfg")) == "original") {
            EXPECT_TRUE(left.empty()) << "k=" << k;
            continue;
        }
        ++keptBackups;
        ASSERT_EQ(left.size(), 1u) << "k=" << k;
        EXPECT_EQ(ReadFile(temp_ + "/" + left[0] + "/r.cfg"), "original") << "k=" << k;
        std::filesystem::remove_all(temp_ + "/" + left[0]);
    }
    EXPECT_EQ(keptBackups, 1);
}
