// The preparation shared by the wizard and the headless run.
#include <gtest/gtest.h>

#include <csignal>

#include "session/install_preparation.h"
#include "fs/interruption.h"
#include "support/install_sandbox.h"
#include "text/convert.h"

namespace {

std::string Narrow(const WideString& text) {
    NarrowString narrow = ToNarrow(text);
    return std::string(narrow.Data(), narrow.Length());
}

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

}  // namespace

TEST_F(PreparationTest, ReadyKitIsLoadedWithTheDefaultProposal) {
    WriteKit({{u"a.cfg", 0, "alpha"}, {u"sub\\b.cfg", 0, "beta"}});
    const PreparationResult result = Prepare();
    ASSERT_TRUE(result.Ready()) << ErrorOf(result);
    EXPECT_EQ(Narrow(prepared_.kitPath), cwd_ + "/qbx4.tkx");
    EXPECT_EQ(Narrow(prepared_.targetDirectory), DefaultTarget());
    EXPECT_EQ(kit_.GetFileEntryCount(), 2u);
    EXPECT_EQ(TemporaryLeftovers().size(), 1u);  // the unpacked kit, while loaded
}

TEST_F(PreparationTest, ErrorsNameTheirTextAndLeaveNoUnpackedKit) {
    EXPECT_EQ(ErrorOf(Prepare()), "IDS_ERROR_NOSOURCE");

    WriteFile(cwd_ + "/qbx4.tkx", std::string(3000, '\x5a'));
    EXPECT_EQ(ErrorOf(Prepare()), "IDS_ERROR_DAMAGEDSOURCE");
    EXPECT_TRUE(TemporaryLeftovers().empty());
}

TEST_F(PreparationTest, ProposalIsCleanedAndAnEmptyOneRefusedOnlyWhenSilent) {
    WriteKit({{u"a.cfg", 0, "alpha"}});
    // A writable directory whose name the cleaning empties (it holds "http://").
    const std::string odd = Path("web/http:");
    WriteFile(odd + "/x/keep", "");
    NameTemplateLocation(odd + "//x");

    PreparationResult result = Prepare(false);
    EXPECT_TRUE(result.Ready()) << ErrorOf(result);
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
    EXPECT_FALSE(result.Ready());
    EXPECT_TRUE(TemporaryLeftovers().empty());
}
