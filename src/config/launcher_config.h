#pragma once
// The launcher's key=value configuration files and the profiles that name them.
#include <cstdint>
#include <vector>
#include "text/cow_string.h"

class FileUpdateLock;

namespace tpl {

constexpr const char16_t* kTemplatesLocationKey = u"ConfigurationTemplatesLocation";

// Raised by LauncherConfig::WriteFile and LauncherSettings::Store, caught
// before the recording leaves the configuration layer.
struct LauncherWriteError {
    enum Code : int {
        kCannotCreate = 1,  // the file cannot be opened for writing
        kWriteFailed = 2,   // writing it failed, or a text cannot be written
    };
    int code;
};

// How far ReadFile got with a file.
enum class ConfigReadResult {
    Read,        // opened and read to its end
    Missing,     // no such file (or no such directory on the way)
    Unreadable,  // exists but could not be opened or read to its end
};

struct LauncherConfigEntry {
    WideString key;
    std::vector<WideString> values;
};

class LauncherConfig {
public:
    // Adds the file's lines to the table; a missing file adds nothing. Says
    // whether the whole file was read; lines read before a failure stay in
    // the table. Allocation failures propagate.
    ConfigReadResult ReadFile(const WideString& path);
    // Throws LauncherWriteError; the old file survives.
    void WriteFile(const WideString& path) const;
    bool AddValue(const WideString& key, const WideString& value);
    // Values of the first entry whose key equals under CompareNoCase, or null.
    const std::vector<WideString>* FindValues(const WideString& key) const;
    void SetValues(const WideString& key, const std::vector<WideString>& values);
    const std::vector<LauncherConfigEntry>& Entries() const noexcept { return entries_; }

private:
    std::vector<LauncherConfigEntry> entries_;
};

enum class LauncherProfile { Main = 0, Alternative = 1 };

class LauncherSettings {
public:
    explicit LauncherSettings(LauncherProfile profile) : profile_(profile) {}
    void Load();
    // Writes the user table; a second failure propagates (LauncherWriteError).
    // Refuses with kCannotCreate, writing nothing, when Load found the user file but could
    // not read all of it: writing back part of it would lose the rest.
    void Store();
    // Makes the user file's directory if missing and takes the file's update
    // lock, waiting up to waitMilliseconds for other recorders: 0 or an
    // error number. Load and Store under it, and no other update comes between.
    uint32_t LockUserFile(FileUpdateLock* lock, uint32_t waitMilliseconds) const;
    LauncherConfig& UserTable() noexcept { return user_; }
    LauncherConfig& CommonTable() noexcept { return common_; }
    LauncherProfile Profile() const noexcept { return profile_; }
    WideString UserFilePath() const;
    WideString CommonFilePath() const;

    static WideString HomeDirectory();
    static WideString ProductBaseDirectory();
    static WideString MainUserDirectory();
    static WideString MainUserFile();
    static WideString AlternativeUserDirectory();
    static WideString AlternativeUserFile();
    static WideString MainCommonDirectory();
    static WideString MainCommonFile();

private:
    LauncherConfig user_;
    LauncherConfig common_;
    LauncherProfile profile_;
    bool userFileIncomplete_ = false;
};

}  // namespace tpl
