#pragma once
// One transactional installation run: backup, copy, commit or exact rollback.
#include <cstdint>
#include <vector>
#include "fs/file_types.h"
#include "text/cow_string.h"

class InstallStatus;

struct InstallTransaction {
    WideString targetDirectory;   // ends in "/"
    WideString backupDirectory;   // TMP/wz4sxN/, empty when the target is empty
    std::vector<WideString> createdDirectories;
    std::vector<WideString> createdFiles;
};

class InstallEngine {
public:
    // Returns 0, a failure code, or ERROR_CANCELLED.
    uint32_t Run(InstallStatus* status, uint32_t successPauseMs = 1000);

    uint32_t BeginTransaction(const WideString& targetDirectory);
    uint32_t CommitTransaction();
    uint32_t RollbackTransaction(uint32_t code);
    uint32_t ReportFailure(uint32_t code, int32_t percent);
    bool NeedsCopy(const WideString& destination, FILETIME writeTime);
    uint32_t BackupExistingFile(const WideString& destination);
    uint32_t CreateDirectoryRecorded(const WideString& path);
    uint32_t CreateDirectoryUnrecorded(const WideString& path);

    const InstallTransaction& Top() const { return transactions_.back(); }

private:
    std::vector<InstallTransaction> transactions_;
    InstallStatus* status_ = nullptr;
};
