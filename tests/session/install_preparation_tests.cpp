// The preparation shared by the wizard and the headless run.
#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <filesystem>
#include <string>

#include "fs/fault_injection.h"
#include "fs/interruption.h"
#include "session/install_preparation.h"
#include "session/preparation_context.h"
#include "support/install_sandbox.h"
#include "support/kit_test_support.h"
#include "support/tmpfs_mount.h"
#include "support/wide_text.h"
#include "text/convert.h"

namespace tpl {

namespace {

class PreparationTest : public InstallSandboxTest {
protected:
    PreparationResult Prepare(bool silent = false) { return PrepareInstallation(true, silent, &kit_, &prepared_); }
    void TearDown() override {
        ClearInterruptionRequest();
        kit_.Release();
        InstallSandboxTest::TearDown();
    }
    KitReader kit_;
    PreparedInstallation prepared_;
};

std::string ErrorOf(const PreparationResult& result) {
    return result.errorTextId ? result.errorTextId : "";
}

// Ready to install: neither a failure nor an interruption.
bool Ready(const PreparationResult& result) {
    return result.errorTextId == nullptr && !result.interrupted;
}

}  // namespace

TEST_F(PreparationTest, ReadyKitIsLoadedWithTheDefaultProposal) {
    WriteKit({{u"a.cfg", 0, "alpha"}, {u"sub\\b.cfg", 0, "beta"}});
    const PreparationResult result = Prepare();
    ASSERT_TRUE(Ready(result)) << ErrorOf(result);
    EXPECT_EQ(Narrow(prepared_.kitPath), cwd_ + "/qbx4.tkx");
    EXPECT_EQ(Narrow(prepared_.targetDirectory), DefaultTarget());
    EXPECT_EQ(kit_.GetFileEntryCount(), 2u);
    EXPECT_EQ(TemporaryLeftovers().size(), 1u);  // the unpacked kit, while loaded
}

TEST_F(PreparationTest, ErrorsNameTheirTextAndLeaveNoUnpackedKit) {
    PreparationResult result = Prepare();
    EXPECT_EQ(ErrorOf(result), "IDS_ERROR_NOSOURCE");
    // Where it was looked for, so the user knows where to put it.
    EXPECT_EQ(Narrow(PreparationErrorContext(result.errorTextId, prepared_.kitPath)), "Looked for it in:\n" + cwd_);

    WriteFile(cwd_ + "/qbx4.tkx", std::string(3000, '\x5a'));
    EXPECT_EQ(ErrorOf(Prepare()), "IDS_ERROR_DAMAGEDSOURCE");
    EXPECT_TRUE(TemporaryLeftovers().empty());

    // A temporary directory that cannot be written is no fault of the kit:
    // the message says so, and where and why.
    WriteKit({{u"a.cfg", 0, "alpha"}});
    TmpfsMount readOnly(tmp_, "size=1m", true);
    if (!readOnly.Mounted()) {
        ASSERT_EQ(::chmod(tmp_.c_str(), 0500), 0);
    }
    result = Prepare();
    EXPECT_EQ(ErrorOf(result), "IDS_ERROR_TEMPNOTWRITABLE");
    EXPECT_EQ(Narrow(result.errorDetail), tmp_ + "/\n" + std::strerror(readOnly.Mounted() ? EROFS : EACCES));
    if (!readOnly.Mounted()) ::chmod(tmp_.c_str(), 0700);
}

TEST_F(PreparationTest, ProposalIsCleanedAndAnEmptyOneRefusedOnlyWhenSilent) {
    WriteKit({{u"a.cfg", 0, "alpha"}});
    // A writable directory whose name the cleaning empties (it holds "http://").
    const std::string odd = Path("web/http:");
    WriteFile(odd + "/x/keep", "");
    NameTemplateLocation(odd + "//x");

    PreparationResult result = Prepare(false);
    EXPECT_TRUE(Ready(result)) << ErrorOf(result);
    EXPECT_TRUE(prepared_.targetDirectory.Empty());
    ASSERT_EQ(prepared_.proposal.locations.size(), 1u);

    KitReader second;
    PreparedInstallation silentRun;
    result = PrepareInstallation(true, true, &second, &silentRun);
    EXPECT_EQ(ErrorOf(result), "IDS_SETUP_EMPTYTARGET");
}

TEST_F(PreparationTest, SignalDuringPreparationReleasesTheKit) {
    WriteKit({{u"a.cfg", 0, "alpha"}});
    ASSERT_TRUE(InstallInterruptionHandlers());
    std::raise(SIGTERM);
    const PreparationResult result = Prepare();
    EXPECT_TRUE(result.interrupted);
    EXPECT_FALSE(Ready(result));
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

TEST_F(PreparationTest, AFullTemporaryDirectoryIsTooLittleSpaceNotADamagedKit) {
    WriteKit({{u"a.cfg", 0, std::string(100000, 'a')}, {u"b.cfg", 0, "beta"}});
    // Each step that writes while unpacking fails in turn as a full disk makes it fail.
    for (int64_t n = 1;; ++n) {
        SCOPED_TRACE(n);
        fault_injection::FailOperationAt(n, ENOSPC);
        KitReader kit;
        PreparedInstallation prepared;
        const PreparationResult result = PrepareInstallation(true, false, &kit, &prepared);
        if (fault_injection::CountedOperations() < n) {
            EXPECT_TRUE(Ready(result)) << ErrorOf(result);
            break;
        }
        EXPECT_EQ(ErrorOf(result), "IDS_ERROR_NOSPACE");
        EXPECT_TRUE(TemporaryLeftovers().empty());
    }
    fault_injection::FailOperationAt(0);
}

TEST_F(PreparationTest, AKitThatInflatesBeyondTheFreeSpaceIsRefusedBeforeUnpacking) {
    TmpfsMount small(tmp_, "size=1m");
    if (!small.Mounted()) GTEST_SKIP() << "cannot mount a small tmpfs here";

    // A few KiB of kit, three times of which fit, that inflate to 4 MiB.
    const std::vector<KitMemoryEntry> entries = {{u"big.cfg", 0, std::string(4u << 20, 'x')}};
    WriteKit(entries);
    fault_injection::ResetCount();
    const PreparationResult result = Prepare();
    EXPECT_EQ(ErrorOf(result), "IDS_ERROR_NOSPACE");
    EXPECT_EQ(fault_injection::CountedOperations(), 0) << "the kit was unpacked";
    // Which directory, how much it needs (the inflated 4 MiB and the table)
    // and how much it has (the 1 MiB of the file system).
    const std::string detail = Narrow(PreparationErrorContext(result.errorTextId, prepared_.kitPath));
    EXPECT_EQ(detail.rfind("Temporary directory:\n" + tmp_ + "\nSpace needed: 4,09", 0), 0u) << detail;
    EXPECT_NE(detail.find(" KB, free: 1,024 KB"), std::string::npos) << detail;

    // Without the trailer the body's length shows only while unpacking; the
    // full directory is still too little space, and nothing stays behind.
    WriteKit(entries, false);
    KitReader kit;
    PreparedInstallation prepared;
    EXPECT_EQ(ErrorOf(PrepareInstallation(true, false, &kit, &prepared)), "IDS_ERROR_NOSPACE");
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

// Three times the kit must fit, whatever the sizes: a kit of about 1.43 GB
// needs more than 4 GiB. The kits are sparse and not deflate at all, so a kit
// that passes the space check fails later as damaged.
TEST_F(PreparationTest, TheSpaceCheckCountsBeyondFourGibibytes) {
    constexpr uint64_t kGiB = uint64_t{1} << 30;
    struct Case {
        uint64_t kitSize;
        uint64_t tmpfsSize;
        const char* textId;
    };
    for (const Case& c : {Case{1500000000, 5 * kGiB, "IDS_ERROR_DAMAGEDSOURCE"},
                          Case{1500000000, 4 * kGiB, "IDS_ERROR_NOSPACE"},
                          Case{(6 * kGiB) / 3, 6 * kGiB, "IDS_ERROR_DAMAGEDSOURCE"},
                          Case{(6 * kGiB) / 3 + 1, 6 * kGiB, "IDS_ERROR_NOSPACE"}}) {
        SCOPED_TRACE(std::to_string(c.kitSize) + " in " + std::to_string(c.tmpfsSize));
        TmpfsMount temporary(tmp_, "size=" + std::to_string(c.tmpfsSize));
        if (!temporary.Mounted()) GTEST_SKIP() << "cannot mount a tmpfs here";
        WriteFile(cwd_ + "/qbx4.tkx", "");
        std::filesystem::resize_file(cwd_ + "/qbx4.tkx", c.kitSize);
        KitReader kit;
        PreparedInstallation prepared;
        EXPECT_EQ(ErrorOf(PrepareInstallation(true, false, &kit, &prepared)), c.textId);
        EXPECT_TRUE(TemporaryLeftovers().empty());
    }
}

TEST_F(PreparationTest, ASilentRunChecksItsDirectoryBeforeUnpackingAndTellsWhereAndWhy) {
    // The kinds of problem are the directory check's own; here only that a
    // silent run meets them, with their detail, before anything is unpacked.
    WriteKit({{u"a.cfg", 0, "alpha"}});
    const std::string file = Path("plain.txt");
    WriteFile(file, "in the way");
    const std::string tooLong = Path(std::string(300, 'n') + "/tpl");
    struct Case {
        std::string target;
        const char* textId;
        std::string detail;
    };
    for (const Case& unusable : {Case{file + "/below", "IDS_TARGET_CANNOTCREATE", file},
                                 Case{tooLong, "IDS_TARGET_CANNOTCREATE", tooLong + "\nFile name too long"},
                                 Case{"relative/tpl", "IDS_TARGET_RELATIVE", "relative/tpl"},
                                 Case{Path("a\nb"), "IDS_TARGET_CONTROLCHAR", Path("a\\nb")}}) {
        SCOPED_TRACE(unusable.target);
        KitReader kit;
        PreparedInstallation prepared;
        const PreparationResult result =
            PrepareInstallation(true, true, &kit, &prepared, nullptr, Wide(unusable.target));
        EXPECT_EQ(ErrorOf(result), unusable.textId);
        EXPECT_EQ(Narrow(result.errorDetail), unusable.detail);
        EXPECT_EQ(kit.GetFileEntryCount(), 0u) << "unpacked for a run that cannot install";
        EXPECT_TRUE(TemporaryLeftovers().empty());
    }

    // The interactive wizard checks on leaving its directory page instead.
    KitReader kit;
    PreparedInstallation prepared;
    EXPECT_TRUE(Ready(PrepareInstallation(true, false, &kit, &prepared, nullptr, Wide(file))));
}

TEST_F(PreparationTest, ASilentRunInstallsIntoTheDirectoryTheCheckResolved) {
    WriteKit({{u"a.cfg", 0, "alpha"}});
    const PreparationResult result = PrepareInstallation(true, true, &kit_, &prepared_, nullptr, Wide(" ~/new/tpl "));
    ASSERT_TRUE(Ready(result)) << ErrorOf(result);
    EXPECT_EQ(Narrow(prepared_.targetDirectory), home_ + "/new/tpl");
    EXPECT_FALSE(Exists(home_ + "/new"));
}

}  // namespace tpl
