// Names that a shell would read as syntax or a tool as an option must reach
// every operation as plain names; a canary file proves nothing was executed,
// and tools planted first on PATH that none was started.
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>
#include "fs/atomic_replace.h"
#include "fs/path_ops.h"
#include "fs/run_program.h"
#include "fs/temp_names.h"
#include "fs/tree_ops.h"
#include "fs_test_support.h"
#include "text/convert.h"

namespace tpl {

namespace {

const std::vector<std::string> kHostileNames = {
    "quote\"name", "$(touch canary)", "`touch canary`", "back\\slash",    "new\nline", " spaced  name ", "-rf", "--",
    "-",           "'single'",        "a;touch canary", "|touch canary&", "*",
};

class HostileNamesTest : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        char buffer[4096];
        ASSERT_NE(::getcwd(buffer, sizeof buffer), nullptr);
        oldDirectory_ = buffer;
        // Relative names, so that a leading "-" is what the tool sees first.
        ASSERT_EQ(::chdir(root_.c_str()), 0);
        tools_ = std::make_unique<PlantedTools>(tools_directory_);
    }
    void TearDown() override {
        EXPECT_EQ(tools_->Ran(), "") << "a tool found on PATH was run";
        tools_.reset();
        EXPECT_FALSE(Exists(Path("canary"))) << "a name was run as a command";
        EXPECT_EQ(::chdir(oldDirectory_.c_str()), 0);
        FsTest::TearDown();
    }
    std::string oldDirectory_;
    // Outside the directory the tests list.
    const std::string tools_directory_ = ::testing::TempDir() + "tpl_planted_tools_" + std::to_string(::getpid());
    std::unique_ptr<PlantedTools> tools_;
};

TEST_F(HostileNamesTest, DirectoryOperations) {
    for (const std::string& name : kHostileNames) {
        SCOPED_TRACE(name);
        EXPECT_EQ(CreateDirectoryPath(W(name + "/sub")), 0u);
        EXPECT_TRUE(IsDir(Path(name + "/sub")));
        WriteText(Path(name + "/sub/f"), "x");
        EXPECT_EQ(MovePath(W(name), W(name + ".moved")), 0u);
        EXPECT_EQ(ReadText(Path(name + ".moved/sub/f")), "x");
        EXPECT_EQ(RemoveDirectoryTree(W(name + ".moved")), 0u);
        EXPECT_FALSE(Exists(Path(name + ".moved")));
    }
    EXPECT_EQ(Listing(root_), "");
}

TEST_F(HostileNamesTest, FileOperations) {
    for (const std::string& name : kHostileNames) {
        SCOPED_TRACE(name);
        WriteText(Path(name), "payload");
        EXPECT_EQ(MovePath(W(name), W(name + "2")), 0u);
        EXPECT_EQ(ReadText(Path(name + "2")), "payload");
        EXPECT_EQ(DeleteFilePath(W(name + "2")), 0u);
        EXPECT_FALSE(Exists(Path(name + "2")));
        EXPECT_EQ(MovePath(W(name), W(name + "3")), ERROR_FILE_NOT_FOUND);
    }
    EXPECT_EQ(Listing(root_), "");
}

TEST_F(HostileNamesTest, TreeWalksAndTemporaryFiles) {
    for (const std::string& name : kHostileNames) {
        SCOPED_TRACE(name);
        ASSERT_EQ(CreateDirectoryPath(W(name + "/" + name)), 0u);
        ASSERT_EQ(CreateDirectoryPath(W("back/" + name)), 0u);
        WriteText(Path("back/" + name + "/" + name), "restored");
        MoveTree(W(name), u"back");
        EXPECT_EQ(ReadText(Path(name + "/" + name + "/" + name)), "restored");

        WideString temp;
        EXPECT_EQ(MakeTempFileName(W(name), W(name), &temp), 0u);
        const std::string made = ToNarrow(temp).Data();
        EXPECT_EQ(made.substr(0, name.size() + 1), name + "/");
        EXPECT_TRUE(Exists(Path(made)));

        EXPECT_EQ(WriteFileReplacing(W(name + "/" + name + "/" + name), "new", 3), 0);
        EXPECT_EQ(ReadText(Path(name + "/" + name + "/" + name)), "new");

        EXPECT_EQ(RemoveDirectoryTree(W(name)), 0u);
        EXPECT_FALSE(Exists(Path(name)));
        EXPECT_EQ(RemoveDirectoryTree(u"back"), 0u);
    }
    EXPECT_EQ(Listing(root_), "");
}

TEST_F(FsTest, RunProgramAndWaitPassesArgumentsVerbatim) {
    char previous[4096];
    ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
    ASSERT_EQ(::chdir(root_.c_str()), 0);
    const std::string hostile = "$(touch canary)`touch canary`;touch canary";
    EXPECT_EQ(RunProgramAndWait({"touch", "--", ToNarrow(W(hostile)), "-x"}, true), 0);
    EXPECT_TRUE(Exists(Path(hostile)));
    EXPECT_TRUE(Exists(Path("-x")));
    EXPECT_FALSE(Exists(Path("canary")));
    ASSERT_EQ(::chdir(previous), 0);
    EXPECT_EQ(RunProgramAndWait({"sh", "-c", "exit 7"}, true), 7);
    EXPECT_EQ(RunProgramAndWait({"sh", "-c", "kill -9 $$"}, true), -1);
    EXPECT_EQ(RunProgramAndWait({"no-such-program-tpl"}, true), -1);
    EXPECT_EQ(RunProgramAndWait({}, true), -1);
    // Standard input is empty, so no tool can wait for an answer.
    EXPECT_EQ(RunProgramAndWait({"sh", "-c", "read line; test -z \"$line\""}, true), 0);
}

}  // namespace

}  // namespace tpl
