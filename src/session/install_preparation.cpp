#include "session/install_preparation.h"

#include <cerrno>
#include <cstdint>

#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/free_space.h"
#include "fs/interruption.h"
#include "fs/last_error.h"
#include "fs/temp_names.h"
#include "kit/kit_trailer.h"
#include "session/system_texts.h"
#include "session/target_directory.h"

namespace tpl {

namespace {

PreparationResult Error(const char* textId, const WideString& path, int systemErrno) {
    PreparationResult result;
    result.errorTextId = textId;
    result.errorPath = path;
    result.errorErrno = systemErrno;
    result.errorReason = ReasonText(systemErrno);
    return result;
}

WideString TemporaryDirectory() {
    WideString directory;
    GetTempDirectory(&directory);
    return directory;
}

// Its own text for each kind of refusal; the reason says what exactly.
PreparationResult SignatureError(const KitSignatureCheck& check) {
    const char* textId = check.problem == SignatureProblem::Missing       ? "IDS_ERROR_SIGNATUREMISSING"
                         : check.problem == SignatureProblem::KeyUnusable ? "IDS_ERROR_TRUSTEDKEY"
                                                                          : "IDS_ERROR_SIGNATUREINVALID";
    PreparationResult result = Error(textId, check.path, 0);
    result.errorReason = NarrowString(check.reason.c_str());
    result.errorDetail = FailureDetailText(result.errorPath, result.errorReason);
    return result;
}

PreparationResult Interrupted() {
    PreparationResult result;
    result.interrupted = true;
    return result;
}

// Three times the kit must fit into the temporary directory; counted in 64
// bits so that neither a large kit nor a large free space wraps round. A kit
// may inflate to far more than that; when its trailer names the body's
// length, the body must fit too. When either size cannot be measured the
// kit is unpacked anyway.
bool TemporarySpaceTooSmall(const WideString& kitPath) {
    uint32_t kitSize = 0;
    uint64_t freeSpace = 0;
    if (GetFileSizeByPath(kitPath, &kitSize) != 0 || GetFreeSpace(&freeSpace) != 0) return false;
    if (uint64_t{kitSize} * 3 > freeSpace) return true;
    KitTrailer trailer;
    return ReadKitTrailer(kitPath, &trailer) && trailer.bodyLength > freeSpace;
}

}  // namespace

PreparationResult PrepareInstallation(bool useCurrentDirectory, bool silent, KitReader* kit,
                                      PreparedInstallation* out, UnpackFeedback* feedback,
                                      const WideString& chosenTarget, const WideString& kitFile,
                                      const std::vector<WideString>& trustedKeys) {
    out->kitPath = kitFile.Empty() ? LocateKitFile(useCurrentDirectory) : kitFile;
    // The place looked in is named, so that a script's author sees where
    // the kit was expected.
    if (out->kitPath.Empty()) return Error("IDS_ERROR_NOSOURCE", WideString(kKitFileName), ENOENT);
    if (!PathExists(out->kitPath)) return Error("IDS_ERROR_NOSOURCE", out->kitPath, ENOENT);
    // A kit that is not what its vendor signed is not looked into at all.
    out->signature = CheckKitSignature(out->kitPath, TrustedKeyFiles(trustedKeys));
    if (!out->signature.Ok()) return SignatureError(out->signature);

    out->proposal = ProposeTemplateDirectory();
    out->targetDirectory = chosenTarget.Empty() ? CleanProposedDirectory(out->proposal.directory) : chosenTarget;
    if (silent) {
        // Nobody is there to correct the directory: a run that cannot
        // install into it ends here, before anything is unpacked or written.
        const TargetCheck target = CheckTargetDirectory(out->targetDirectory);
        if (!target.Ok()) {
            PreparationResult result = Error(TargetProblemTextId(target.problem), target.problemPath, 0);
            if (result.errorPath.Empty()) result.errorPath = target.directory;
            result.errorReason = target.systemReason;
            result.errorErrno = target.systemErrno;
            result.errorDetail = TargetProblemDetail(target);
            return result;
        }
        out->targetDirectory = target.directory;
    }

    if (TemporarySpaceTooSmall(out->kitPath)) return Error("IDS_ERROR_NOSPACE", TemporaryDirectory(), ENOSPC);
    if (InterruptionRequested()) return Interrupted();
    // Unpacking a large kit takes a while; a signal or the user's stop
    // meanwhile ends it early, and the unpacked file goes with the release.
    DelayedUnpackObserver observer(feedback);
    const uint32_t loaded =
        kit->Load(out->kitPath, &observer, out->signature.verified ? &out->signature.kitVersion : nullptr);
    // Read at once: the release below may leave a failure of its own.
    const int loadErrno = loaded != 0 ? GetLastFileErrno() : 0;
    if (InterruptionRequested() || observer.Stopped()) {
        kit->Release();
        return Interrupted();
    }
    // A temporary directory that fills up while the kit is unpacked is no
    // fault of the kit.
    if (loaded == ERROR_DISK_FULL) return Error("IDS_ERROR_NOSPACE", TemporaryDirectory(), ENOSPC);
    // Nor is one that takes no file at all.
    if (loaded == ERROR_CANTWRITE) {
        PreparationResult result = Error("IDS_ERROR_TEMPNOTWRITABLE", TemporaryDirectory(), loadErrno);
        result.errorDetail = FailureDetailText(result.errorPath, result.errorReason);
        return result;
    }
    // The kit is no longer the one whose signature was checked.
    if (loaded == ERROR_FILE_INVALID) {
        KitSignatureCheck changed = out->signature;
        changed.problem = SignatureProblem::Mismatch;
        changed.verified = false;
        changed.path = out->kitPath;
        changed.reason = "the kit changed after its signature was checked";
        out->signature = changed;
        return SignatureError(changed);
    }
    // Damage is no error of the system: only a failed read or write has a
    // reason to tell.
    if (loaded == ERROR_INVALID_DATA) return Error("IDS_ERROR_DAMAGEDSOURCE", out->kitPath, 0);
    if (loaded != 0) return Error("IDS_ERROR_DAMAGEDSOURCE", out->kitPath, loadErrno);
    return PreparationResult();
}

}  // namespace tpl
