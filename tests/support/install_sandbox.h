#pragma once
// A private HOME, TMPDIR and current directory for tests of the preparation
// and the headless installation, in a UTF-8 locale with English chosen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "kit/kit_writer.h"

class InstallSandboxTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    std::string Path(const std::string& relative) const { return root_ + "/" + relative; }
    // qbx4.tkx in the current directory, with one "en" language.
    void WriteKit(const std::vector<KitMemoryEntry>& entries, bool withTrailer = true);
    void WriteFile(const std::string& path, const std::string& bytes);
    std::string ReadFile(const std::string& path) const;
    bool Exists(const std::string& path) const;
    // Makes the launcher configuration name directory as its template location.
    void NameTemplateLocation(const std::string& directory);
    // Names of "txk" and "wz4sx" entries in the temporary directory.
    std::vector<std::string> TemporaryLeftovers() const;
    // The default proposal, HOME/.qbx4/Vq/qbx4/tmplts/.
    std::string DefaultTarget() const { return home_ + "/.qbx4/Vq/qbx4/tmplts/"; }

    std::string root_, home_, tmp_, cwd_;

private:
    std::string savedHome_, savedTmpdir_, savedCwd_;
    bool hadHome_ = false, hadTmpdir_ = false;
};
