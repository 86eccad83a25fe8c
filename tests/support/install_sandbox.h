#pragma once
// A private HOME, TMPDIR and current directory for tests of the preparation
// and the headless installation, with English chosen.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/kit_test_support.h"
#include "support/private_directory.h"

namespace tpl {

class InstallSandboxTest : public PrivateDirectoryTest {
protected:
    InstallSandboxTest() : PrivateDirectoryTest({"app_install_tests", true, true, true}) {}
    void SetUp() override;
    void TearDown() override;

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
};

}  // namespace tpl
