#include "session/install_preparation.h"

#include <cstdint>

#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/free_space.h"
#include "fs/interruption.h"
#include "kit/kit_trailer.h"
#include "session/target_directory.h"

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

// Three times the kit must fit into the temporary directory; counted in 64
// bits so that a large kit cannot wrap round. A kit may inflate to far more
// than that; when its trailer names the body's length, the body must fit
// too. When either size cannot be measured the kit is unpacked anyway.
bool TemporarySpaceTooSmall(const WideString& kitPath) {
    uint32_t kitSize = 0;
    uint32_t freeSpace = 0;
    if (GetFileSizeByPath(kitPath, &kitSize) != 0 || GetFreeSpace(&freeSpace) != 0) return false;
    if (uint64_t{kitSize} * 3 > uint64_t{freeSpace}) return true;
    KitTrailer trailer;
    return ReadKitTrailer(kitPath, &trailer) && trailer.bodyLength > freeSpace;
}

}  // namespace

PreparationResult PrepareInstallation(bool useCurrentDirectory, bool silent, KitReader* kit,
                                      PreparedInstallation* out, UnpackFeedback* feedback,
                                      const WideString& chosenTarget) {
    out->kitPath = LocateKitFile(useCurrentDirectory);
    if (out->kitPath.Empty() || !PathExists(out->kitPath)) return Error("IDS_ERROR_NOSOURCE");

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

    if (TemporarySpaceTooSmall(out->kitPath)) return Error("IDS_ERROR_NOSPACE");
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
    if (loaded == ERROR_DISK_FULL) return Error("IDS_ERROR_NOSPACE");
    if (loaded != 0) return Error("IDS_ERROR_DAMAGEDSOURCE");
    return PreparationResult();
}

}  // namespace tpl
