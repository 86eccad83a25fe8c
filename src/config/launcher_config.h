#pragma once
// The launcher's key=value configuration files and the profiles that name them.
#include <vector>
#include "text/cow_string.h"

constexpr const char16_t* kTemplatesLocationKey = u"ConfigurationTemplatesLocation";

struct LauncherConfigEntry {
    WideString key;
    std::vector<WideString> values;
};

class LauncherConfig {
public:
    // Adds the file's lines to the table; a missing file adds nothing.
    void ReadFile(const WideString& path);
    // Parses text already read (the same rules as ReadFile); used by ReadFile.
    void ReadText(const WideString& text);
    // Throws int 1 (cannot create) or 2 (write failed); the old file survives.
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
    // Writes the user table; a second failure propagates (int 1 or 2).
    void Store();
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
};
