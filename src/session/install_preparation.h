#pragma once
// The preparation that comes before any installation, with or without a
// window: find the kit, propose and clean the template directory, check the
// temporary space and load the kit. It shows nothing; the caller reports the
// error text it names, in a message box or on standard error.
#include "config/template_locations.h"
#include "kit/kit_reader.h"
#include "kit/kit_signature.h"
#include "session/unpack_feedback.h"
#include "text/cow_string.h"

namespace tpl {

struct PreparedInstallation {
    WideString kitPath;
    TemplateProposal proposal;   // locations and flags, kept for the recording after success
    WideString targetDirectory;  // the chosen target, else the proposal, cleaned; may be empty
    // The kit's signature as checked (nothing checked when no key is trusted).
    KitSignatureCheck signature;
};

struct PreparationResult {
    // Catalog id of the error to show (IDS_ERROR_NOSOURCE, IDS_ERROR_NOSPACE,
    // IDS_ERROR_DAMAGEDSOURCE, IDS_ERROR_TEMPNOTWRITABLE, a signature problem
// (IDS_ERROR_SIGNATUREMISSING, IDS_ERROR_SIGNATUREINVALID,
// IDS_ERROR_TRUSTEDKEY), or a silent run's directory problem:
    // IDS_SETUP_EMPTYTARGET, IDS_ERROR_NOTARGET, IDS_TARGET_...), or null
    // when ready.
    const char* errorTextId = nullptr;
    // Secondary text of a directory problem, the template or the temporary
    // directory: where, and what the system said; empty otherwise.
    WideString errorDetail;
    // For a one-line report of any error: the path it concerns (the kit
    // looked for, the temporary directory, the directory in the way) and
    // what the system said there, in the locale's words (may be empty).
    WideString errorPath;
    NarrowString errorReason;
    int errorErrno = 0;  // behind errorReason, for telling it in another language
    // An interruption signal arrived while preparing, or the user stopped
    // the unpacking: the caller leaves without showing anything; the kit
    // has been released again.
    bool interrupted = false;
};

// silent: an unattended run checks its directory (the proposal or the
// chosen one) as the wizard's directory page does, before the kit is
// unpacked, and installs into the directory the check resolved. kit must be a fresh reader; on success
// it holds the loaded kit. feedback (may be null) shows a long unpacking.
// chosenTarget (--target, absolute), when not empty, is the target directory
// instead of the proposal; the proposal is still made, for the recording
// after success. kitFile (--kit, absolute), when not empty, is the kit
// instead of the one beside the program or in the current directory.
// trustedKeys (--trusted-key, absolute) are trusted with the installed
// keys; when any key is trusted, the kit's signature is checked before
// anything else is looked at or unpacked.
PreparationResult PrepareInstallation(bool useCurrentDirectory, bool silent, KitReader* kit,
                                      PreparedInstallation* out, UnpackFeedback* feedback = nullptr,
                                      const WideString& chosenTarget = WideString(),
                                      const WideString& kitFile = WideString(),
                                      const std::vector<WideString>& trustedKeys = {});

}  // namespace tpl
