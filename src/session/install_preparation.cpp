#include "session/install_preparation.h"

#include <cstdint>
#include <string>

#include "catalog/message_catalog.h"

#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/free_space.h"
#include "fs/interruption.h"
#include "kit/kit_trailer.h"
#include "fs/temp_names.h"
#include "session/target_directory.h"
#include "text/convert.h"
#include "text/path_text.h"
#include "text/text_helpers.h"

namespace tpl {

namespace {

PreparationResult Error(const char* textId) {
    PreparationResult result;
    result.errorTextId = textId;
    return result;
}

PreparationResult Interrupted() {
    PreparationResult result;
    result.interrupted = true;
    return result;
}

// The space the kit needs in the temporary directory: three times the kit,
// counted in 64 bits so that a large kit cannot wrap round, or the body it
// inflates to when its trailer names that and it is more. 0 when the kit
// cannot be measured.
uint64_t TemporarySpaceNeeded(const WideString& kitPath) {
    uint32_t kitSize = 0;
    if (GetFileSizeByPath(kitPath, &kitSize) != 0) return 0;
    uint64_t needed = uint64_t{kitSize} * 3;
    KitTrailer trailer;
    if (ReadKitTrailer(kitPath, &trailer) && trailer.bodyLength > needed) needed = trailer.bodyLength;
    return needed;
}

// When either size cannot be measured the kit is unpacked anyway.
bool TemporarySpaceTooSmall(const WideString& kitPath) {
    uint32_t freeSpace = 0;
    if (GetFreeSpace(&freeSpace) != 0) return false;
    return TemporarySpaceNeeded(kitPath) > freeSpace;
}

WideString Kilobytes(uint64_t bytes, bool roundUp) {
    const uint64_t kilobytes = (bytes + (roundUp ? 1023 : 0)) / 1024;
    return ToWide(NarrowString(std::to_string(kilobytes).c_str()));
}

// What the user can act on: which directory to clear, and by how much. The
// need is rounded up and the free space down, so that the two never read
// the same.
WideString NoSpaceDetail(const WideString& kitPath) {
    WideString directory;
    GetTempDirectory(&directory);
    WideString detail = MessageCatalog::GetText("IDS_NOSPACE_TEMPDIR");
    detail += u" ";
    detail += WithoutFinalSeparator(directory);
    uint32_t freeSpace = 0;
    const uint64_t needed = TemporarySpaceNeeded(kitPath);
    if (needed > 0 && GetFreeSpace(&freeSpace) == 0) {
        detail += u"\n";
        detail += FormatPattern(MessageCatalog::GetText("IDS_NOSPACE_SIZES"),
                                {Kilobytes(needed, true), Kilobytes(freeSpace, false)});
    }
    return detail;
}

// Where the kit was looked for: the folder of the executable, or the
// current directory.
WideString NoSourceDetail(const WideString& kitPath) {
    if (kitPath.Empty()) return WideString();
    WideString detail = MessageCatalog::GetText("IDS_NOSOURCE_SEARCHED");
    detail += u"\n";
    detail += ParentDirectory(kitPath);
    return detail;
}

PreparationResult Error(const char* textId, const WideString& context) {
    PreparationResult result = Error(textId);
    result.errorContext = context;
    return result;
}

}  // namespace

PreparationResult PrepareInstallation(bool useCurrentDirectory, bool silent, KitReader* kit,
                                      PreparedInstallation* out, UnpackFeedback* feedback,
                                      const WideString& chosenTarget) {
    out->kitPath = LocateKitFile(useCurrentDirectory);
    if (out->kitPath.Empty() || !PathExists(out->kitPath))
        return Error("IDS_ERROR_NOSOURCE", NoSourceDetail(out->kitPath));

    out->proposal = ProposeTemplateDirectory();
    out->targetDirectory = chosenTarget.Empty() ? CleanProposedDirectory(out->proposal.directory) : chosenTarget;
    if (silent) {
        // Nobody is there to correct the directory: a run that cannot
        // install into it ends here, before anything is unpacked or written.
        const TargetCheck target = CheckTargetDirectory(out->targetDirectory);
        if (!target.Ok()) {
            PreparationResult result = Error(TargetProblemTextId(target.problem));
            result.errorDetail = TargetProblemDetail(target);
            return result;
        }
        out->targetDirectory = target.directory;
    }

    if (TemporarySpaceTooSmall(out->kitPath)) return Error("IDS_ERROR_NOSPACE", NoSpaceDetail(out->kitPath));
    if (InterruptionRequested()) return Interrupted();
    // Unpacking a large kit takes a while; a signal or the user's stop
    // meanwhile ends it early, and the unpacked file goes with the release.
    DelayedUnpackObserver observer(feedback);
    const uint32_t loaded = kit->Load(out->kitPath, &observer);
    if (InterruptionRequested() || observer.Stopped()) {
        kit->Release();
        return Interrupted();
    }
    // A temporary directory that fills up while the kit is unpacked is no
    // fault of the kit.
    if (loaded == ERROR_DISK_FULL) return Error("IDS_ERROR_NOSPACE", NoSpaceDetail(out->kitPath));
    if (loaded != 0) return Error("IDS_ERROR_DAMAGEDSOURCE");
    return PreparationResult();
}

}  // namespace tpl
