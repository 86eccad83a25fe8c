// Each operation works by system calls alone: a tool of the same name found
// first on PATH is never run, and a failure comes back as its code with the
// system's errno kept beside it.
#include <cerrno>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include "fs/path_ops.h"
#include "fs/last_error.h"
#include "fs/tree_ops.h"
#include "fs_test_support.h"

namespace tpl {

namespace {

struct Outcome {
    std::string results;  // the operation's return values, in order
    std::string tree;     // the directory afterwards
};

class DirOpsTest : public FsTest {
protected:
    void SetUp() override {
        FsTest::SetUp();
        tools_ = std::make_unique<PlantedTools>(Path("bin"));
    }
    void TearDown() override {
        EXPECT_EQ(tools_->Ran(), "") << "a tool found on PATH was run";
        tools_.reset();
        if (readOnly_) ::umount(readOnly_->c_str());
        FsTest::TearDown();
    }

    // Runs the scenario in a fresh subdirectory.
    Outcome Run(const std::function<void(const std::string&)>& prepare,
                const std::function<std::string(const std::string&)>& act) {
        const std::string dir = Path("case");
        EXPECT_EQ(::mkdir(dir.c_str(), 0711), 0);
        prepare(dir);
        Outcome outcome;
        outcome.results = act(dir);
        outcome.tree = Listing(dir);
        return outcome;
    }

    // A file system at path, filled by fill and then made read-only, for as
    // long as the test runs; false where none can be mounted (not root).
    bool MountReadOnly(const std::string& path, const std::function<void()>& fill) {
        EXPECT_EQ(::mkdir(path.c_str(), 0755), 0);
        if (::geteuid() != 0 || ::mount("tpl_fs_ro", path.c_str(), "tmpfs", 0, "size=64k") != 0) return false;
        readOnly_ = std::make_unique<std::string>(path);
        fill();
        return ::mount("tpl_fs_ro", path.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr) == 0;
    }

    // Runs act in a child that permission bits bind (nobody, when the tests
    // run as root); its results come back as text.
    std::string AsOrdinaryUser(const std::function<std::string()>& act) {
        EXPECT_EQ(::chmod(root_.c_str(), 0711), 0);
        int channel[2];
        if (::pipe(channel) != 0) return "<no pipe>";
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(channel[0]);
            if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) ::_exit(3);
            const std::string results = act();
            const bool sent = ::write(channel[1], results.data(), results.size()) ==
                              static_cast<ssize_t>(results.size());
            ::_exit(sent ? 0 : 4);
        }
        ::close(channel[1]);
        std::string results;
        char buffer[256];
        for (ssize_t got; (got = ::read(channel[0], buffer, sizeof buffer)) > 0;) results.append(buffer, got);
        ::close(channel[0]);
        int status = -1;
        ::waitpid(child, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? results : "<child failed>";
    }

    // A directory, filled by fill, that an ordinary user may enter but not
    // change.
    static void MakeLocked(const std::string& path, const std::function<void()>& fill) {
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        fill();
        ASSERT_EQ(::chmod(path.c_str(), 0555), 0);
    }

    std::unique_ptr<PlantedTools> tools_;
    std::unique_ptr<std::string> readOnly_;
};

// The code, and for a failure the errno kept beside it ("2/ENOENT").
std::string Told(uint32_t code) {
    if (code == 0) return "0 ";
    const int err = GetLastFileErrno();
    return std::to_string(code) + "/" + (err != 0 ? strerrorname_np(err) : "-") + " ";
}

TEST_F(DirOpsTest, CreateDirectoryPathCases) {
    const bool readOnly = MountReadOnly(Path("ro"), [] {});
    Outcome out = Run(
        [](const std::string& d) {
            ASSERT_EQ(::mkdir((d + "/exists").c_str(), 0700), 0);
            WriteText(d + "/file", "f");
            ASSERT_EQ(::symlink("exists", (d + "/link").c_str()), 0);
            MakeLocked(d + "/locked", [] {});
        },
        [&](const std::string& d) {
            return Told(CreateDirectoryPath(W(d + "/exists"))) + Told(CreateDirectoryPath(W(d + "/a/b//c/"))) +
                   Told(CreateDirectoryPath(W(d + "/file"))) + Told(CreateDirectoryPath(W(d + "/file/sub"))) +
                   Told(CreateDirectoryPath(W(d + "/link/in"))) + Told(CreateDirectoryPath(W(d + "/a/../up"))) +
                   Told(CreateDirectoryPath(u"")) +
                   AsOrdinaryUser([&] { return Told(CreateDirectoryPath(W(d + "/locked/new/deeper"))); }) +
                   (readOnly ? Told(CreateDirectoryPath(WPath("ro/new"))) : "");
        });
    EXPECT_EQ(out.results, "0 0 2/EEXIST 2/ENOTDIR 0 0 2/ENOENT 2/EACCES " + std::string(readOnly ? "2/EROFS " : ""));
    EXPECT_EQ(out.tree, "a/{b/{c/{}}} exists/{in/{}} file=f link@ locked/{} up/{}");
}

// Missing parents get u+wx added to what the umask leaves, so that the
// leaf can be made in them.
TEST_F(DirOpsTest, CreateDirectoryPathModes) {
    for (mode_t mask : {mode_t{022}, mode_t{077}, mode_t{0277}}) {
        const std::string base = Path("m" + std::to_string(mask));
        const mode_t old = ::umask(mask);
        const uint32_t result = CreateDirectoryPath(W(base + "/parent/leaf"));
        ::umask(old);
        ASSERT_EQ(result, 0u) << mask;
        EXPECT_EQ(ModeOf(base + "/parent/leaf"), 0777u & ~mask) << std::oct << mask;
        EXPECT_EQ(ModeOf(base + "/parent"), (0777u & ~mask) | 0300u) << std::oct << mask;
        EXPECT_EQ(ModeOf(base), (0777u & ~mask) | 0300u) << std::oct << mask;
    }
}

TEST_F(DirOpsTest, MovePathCases) {
    const bool readOnly = MountReadOnly(Path("ro"), [this] { WriteText(Path("ro/f"), "r"); });
    Outcome out = Run(
        [](const std::string& d) {
            WriteText(d + "/plain", "1");
            WriteText(d + "/over", "2");
            WriteText(d + "/old", "old");
            WriteText(d + "/into", "3");
            WriteText(d + "/vialink", "4");
            WriteText(d + "/self", "5");
            WriteText(d + "/nodir", "6");
            ASSERT_EQ(::mkdir((d + "/dir").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((d + "/target").c_str(), 0700), 0);
            ASSERT_EQ(::symlink("target", (d + "/dirlink").c_str()), 0);
            ASSERT_EQ(::symlink("plain", (d + "/filelink").c_str()), 0);
            ASSERT_EQ(::symlink("self", (d + "/selflink").c_str()), 0);
            ASSERT_EQ(::mkdir((d + "/tree").c_str(), 0700), 0);
            WriteText(d + "/tree/leaf", "7");
            ASSERT_EQ(::mkdir((d + "/busy").c_str(), 0700), 0);
            WriteText(d + "/busy/b", "8");
            ASSERT_EQ(::mkdir((d + "/nest").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((d + "/nest/busy").c_str(), 0700), 0);
            WriteText(d + "/nest/busy/n", "9");
            MakeLocked(d + "/locked", [&] { WriteText(d + "/locked/f", "l"); });
        },
        [&](const std::string& d) {
            return Told(MovePath(W(d + "/missing"), W(d + "/x"))) +          // missing source
                   Told(MovePath(W(d + "/plain"), W(d + "/renamed"))) +      // new name
                   Told(MovePath(W(d + "/over"), W(d + "/old"))) +           // existing file replaced
                   Told(MovePath(W(d + "/into"), W(d + "/dir"))) +           // into a directory
                   Told(MovePath(W(d + "/vialink"), W(d + "/dirlink"))) +    // into a linked directory
                   Told(MovePath(W(d + "/self"), W(d + "/self"))) +          // the same file
                   Told(MovePath(W(d + "/selflink"), W(d + "/self"))) +      // a link onto what it names
                   Told(MovePath(W(d + "/nodir"), W(d + "/none/x"))) +       // missing destination directory
                   Told(MovePath(W(d + "/filelink"), W(d + "/moved_link"))) +
                   Told(MovePath(W(d + "/tree"), W(d + "/tree2"))) +
                   Told(MovePath(W(d + "/busy"), W(d + "/nest"))) +          // onto a directory not empty
                   AsOrdinaryUser([&] { return Told(MovePath(W(d + "/locked/f"), W(d + "/out"))); }) +
                   (readOnly ? Told(MovePath(WPath("ro/f"), WPath("ro/g"))) : "");
        });
    EXPECT_EQ(out.results, "2/ENOENT 0 0 0 0 2/EINVAL 2/EINVAL 2/ENOENT 0 0 2/ENOTEMPTY 2/EACCES " +
                               std::string(readOnly ? "2/EROFS " : ""));
    EXPECT_EQ(out.tree,
              "busy/{b=8} dir/{into=3} dirlink@ locked/{f=l} moved_link@ nest/{busy/{n=9}} nodir=6 old=2 renamed=1 "
              "self=5 selflink@ target/{vialink=4} tree2/{leaf=7}");
}

TEST_F(DirOpsTest, DeleteFilePathCases) {
    const bool readOnly = MountReadOnly(Path("ro"), [this] { WriteText(Path("ro/f"), "r"); });
    Outcome out = Run(
        [](const std::string& d) {
            WriteText(d + "/file", "f");
            WriteText(d + "/kept", "k");
            ASSERT_EQ(::symlink("kept", (d + "/link").c_str()), 0);
            ASSERT_EQ(::mkdir((d + "/dir").c_str(), 0700), 0);
            MakeLocked(d + "/locked", [&] { WriteText(d + "/locked/f", "l"); });
        },
        [&](const std::string& d) {
            // Gone or never there is success; a directory stays, and says why.
            return Told(DeleteFilePath(W(d + "/file"))) + Told(DeleteFilePath(W(d + "/link"))) +
                   Told(DeleteFilePath(W(d + "/missing"))) + Told(DeleteFilePath(W(d + "/kept/below"))) +
                   Told(DeleteFilePath(W(d + "/none/below"))) + Told(DeleteFilePath(W(d + "/dir"))) +
                   AsOrdinaryUser([&] { return Told(DeleteFilePath(W(d + "/locked/f"))); }) +
                   (readOnly ? Told(DeleteFilePath(WPath("ro/f"))) : "");
        });
    EXPECT_EQ(out.results, "0 0 0 0 0 87/EISDIR 87/EACCES " + std::string(readOnly ? "87/EROFS " : ""));
    EXPECT_EQ(out.tree, "dir/{} kept=k locked/{f=l}");
}

TEST_F(DirOpsTest, RemoveDirectoryTreeCases) {
    const bool readOnly = MountReadOnly(Path("ro"), [this] {
        ASSERT_EQ(::mkdir(Path("ro/full").c_str(), 0700), 0);
        WriteText(Path("ro/full/x"), "x");
    });
    Outcome out = Run(
        [](const std::string& d) {
            ASSERT_EQ(::mkdir((d + "/empty").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((d + "/full").c_str(), 0700), 0);
            ASSERT_EQ(::mkdir((d + "/full/.hidden").c_str(), 0700), 0);
            WriteText(d + "/full/.hidden/x", "x");
            WriteText(d + "/full/.dot", "x");
            WriteText(d + "/file", "f");
            ASSERT_EQ(::mkdir((d + "/kept").c_str(), 0700), 0);
            WriteText(d + "/kept/inside", "i");
            ASSERT_EQ(::symlink("kept", (d + "/link").c_str()), 0);
            // Links inside the tree go as links; what they name stays.
            ASSERT_EQ(::mkdir((d + "/linking").c_str(), 0700), 0);
            ASSERT_EQ(::symlink("../kept", (d + "/linking/to_dir").c_str()), 0);
            ASSERT_EQ(::symlink("../kept/inside", (d + "/linking/to_file").c_str()), 0);
            ASSERT_EQ(::symlink("gone", (d + "/linking/dangling").c_str()), 0);
            // An ordinary user's removal takes what it may and stops where
            // it may not write.
            ASSERT_EQ(::mkdir((d + "/open").c_str(), 0777), 0);
            ASSERT_EQ(::mkdir((d + "/open/stuck").c_str(), 0777), 0);
            ASSERT_EQ(::chmod((d + "/open").c_str(), 0777), 0);
            ASSERT_EQ(::chmod((d + "/open/stuck").c_str(), 0777), 0);
            WriteText(d + "/open/stuck/goes", "g");
            MakeLocked(d + "/open/stuck/locked", [&] { WriteText(d + "/open/stuck/locked/stays", "s"); });
            MakeLocked(d + "/locked", [&] { ASSERT_EQ(::mkdir((d + "/locked/sub").c_str(), 0777), 0); });
        },
        [&](const std::string& d) {
            return Told(RemoveDirectoryTree(W(d + "/empty"))) + Told(RemoveDirectoryTree(W(d + "/full/"))) +
                   Told(RemoveDirectoryTree(W(d + "/file"))) + Told(RemoveDirectoryTree(W(d + "/missing"))) +
                   Told(RemoveDirectoryTree(W(d + "/none/below"))) +
                   Told(RemoveDirectoryTree(W(d + "/link/"))) +  // the link goes, its directory stays full
                   Told(RemoveDirectoryTree(W(d + "/linking"))) +
                   // Even a mistaken call must not walk the whole file system.
                   Told(RemoveDirectoryTree(u"")) + Told(RemoveDirectoryTree(u"/")) + Told(RemoveDirectoryTree(u"//")) +
                   Told(RemoveDirectoryTree(W(d + "/."))) + Told(RemoveDirectoryTree(W(d + "/kept/.."))) +
                   AsOrdinaryUser([&] {
                       return Told(RemoveDirectoryTree(W(d + "/open/stuck"))) +
                              Told(RemoveDirectoryTree(W(d + "/locked/sub")));
                   }) +
                   (readOnly ? Told(RemoveDirectoryTree(WPath("ro/full"))) : "");
        });
    EXPECT_EQ(out.results, "0 0 0 0 0 0 0 0 87/EINVAL 87/EINVAL 87/EINVAL 87/EINVAL 87/EACCES 87/EACCES " +
                               std::string(readOnly ? "87/EROFS " : ""));
    EXPECT_EQ(out.tree, "kept/{inside=i} locked/{sub/{}} open/{stuck/{locked/{stays=s}}}");
    if (readOnly) {
        EXPECT_EQ(Listing(Path("ro")), "full/{x=x}");
    }
}

TEST_F(DirOpsTest, CreateDirectoryExclusiveNeverTakesAnExistingName) {
    EXPECT_EQ(CreateDirectoryExclusive(WPath("mine"), 0700), 0u);
    EXPECT_EQ(ModeOf(Path("mine")), 0700u);
    EXPECT_EQ(CreateDirectoryExclusive(WPath("mine"), 0700), ERROR_ALREADY_EXISTS);
    ASSERT_EQ(::symlink("elsewhere", Path("planted").c_str()), 0);
    EXPECT_EQ(CreateDirectoryExclusive(WPath("planted"), 0700), ERROR_ALREADY_EXISTS);
    EXPECT_FALSE(Exists(Path("elsewhere")));
    EXPECT_EQ(CreateDirectoryExclusive(WPath("no/parent"), 0700), ERROR_FILE_NOT_FOUND);
}

// Moves across file systems copy; rename alone would fail with EXDEV.
class CrossDeviceTest : public DirOpsTest {
protected:
    void SetUp() override {
        DirOpsTest::SetUp();
        mount_ = Path("mnt");
        ASSERT_EQ(::mkdir(mount_.c_str(), 0700), 0);
        if (::mount("tpl_fs_test", mount_.c_str(), "tmpfs", 0, "size=1m") != 0) {
            mount_.clear();
            GTEST_SKIP() << "cannot mount a tmpfs here";
        }
    }
    void TearDown() override {
        if (!mount_.empty()) ::umount(mount_.c_str());
        DirOpsTest::TearDown();
    }
    std::string mount_;
};

TEST_F(CrossDeviceTest, MovePathAcrossFileSystems) {
    WriteText(Path("file"), "payload");
    WriteText(mount_ + "/existing", "old");
    EXPECT_EQ(MovePath(WPath("file"), W(mount_ + "/file")), 0u);
    EXPECT_EQ(MovePath(W(mount_ + "/file"), WPath("back")), 0u);
    EXPECT_EQ(MovePath(WPath("back"), W(mount_ + "/existing")), 0u);
    EXPECT_EQ(ReadText(mount_ + "/existing"), "payload");
    EXPECT_FALSE(Exists(Path("file")));
    EXPECT_FALSE(Exists(Path("back")));
    // A directory is not copied across: the move fails and says why.
    ASSERT_EQ(::mkdir(Path("dir").c_str(), 0700), 0);
    EXPECT_EQ(MovePath(WPath("dir"), W(mount_ + "/dir")), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(GetLastFileErrno(), EXDEV);
    EXPECT_TRUE(IsDir(Path("dir")));
}

TEST_F(CrossDeviceTest, MoveTreeAcrossFileSystems) {
    ASSERT_EQ(::mkdir(Path("src").c_str(), 0700), 0);
    ASSERT_EQ(::mkdir(Path("src/sub").c_str(), 0700), 0);
    WriteText(Path("src/a"), "a");
    WriteText(Path("src/sub/b"), "b");
    ASSERT_EQ(::mkdir((mount_ + "/sub").c_str(), 0700), 0);
    MoveTree(W(mount_), WPath("src"));
    EXPECT_EQ(Listing(mount_), "a=a sub/{b=b}");
    EXPECT_EQ(Listing(Path("src")), "sub/{}");
}

}  // namespace

}  // namespace tpl
