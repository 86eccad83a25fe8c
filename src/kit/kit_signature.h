#pragma once
// Signed kits. A vendor signs the kit with minisign, which writes
// "KIT.minisig" beside it; an administrator trusts the vendor's public key
// (a minisign ".pub" file). When any key is trusted, a kit is accepted only
// with a valid signature by one of them, checked over the kit file's bytes
// before anything is unpacked. A CRC catches accidents; this catches
// tampering.
#include <array>
#include <cstdint>
#include <string>
#include <vector>
#include "fs/path_identity.h"
#include "text/cow_string.h"

namespace tpl {

// The directory whose "*.pub" files are trusted on every run. The
// environment variable TPLSETUP_TRUSTED_KEYS_DIR names another one (tests
// and staged installations use it), so that nothing has to be written to
// /etc to try a key out.
constexpr char kTrustedKeysDirectory[] = "/etc/tplsetup/trusted-keys";
constexpr char kTrustedKeysDirectoryVariable[] = "TPLSETUP_TRUSTED_KEYS_DIR";
constexpr char kSignatureSuffix[] = ".minisig";

struct MinisignPublicKey {
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 32> key{};
};

struct MinisignSignature {
    bool prehashed = false;  // "ED": over the BLAKE2b-512 hash of the file; "Ed": over its bytes
    std::array<unsigned char, 8> keyId{};
    std::array<unsigned char, 64> signature{};
    std::string trustedComment;  // after "trusted comment: ", as signed
    std::array<unsigned char, 64> globalSignature{};  // over signature + trusted comment
};

// Parse the two text formats. False with the reason (English, one line)
// when the text is not one; nothing is checked cryptographically here.
bool ParseMinisignPublicKey(const std::string& text, MinisignPublicKey* key, std::string* why);
bool ParseMinisignSignature(const std::string& text, MinisignSignature* signature, std::string* why);

// A key id as minisign prints it in its key files' comments: the 8 bytes as
// one little-endian number in upper-case hexadecimal, without leading zeros.
std::string KeyIdText(const std::array<unsigned char, 8>& keyId);

enum class SignatureProblem {
    None,          // no key is trusted, or the signature is valid
    KeyUnusable,   // a trusted key file cannot be read or is no minisign public key
    Missing,       // keys are trusted, but the kit has no signature file
    Malformed,     // the signature file cannot be read or is no minisign signature
    UntrustedKey,  // signed, but by a key that is not trusted
    Mismatch,      // the key is trusted, but the kit's bytes or the trusted comment do not match
};

struct KitSignatureCheck {
    SignatureProblem problem = SignatureProblem::None;
    bool verified = false;       // a trusted key's valid signature was found
    std::string keyId;           // the signature's key id (KeyIdText), when it could be read
    std::string trustedComment;  // once verified
    WideString path;             // the file a problem concerns: the key, the signature or the kit
    std::string reason;          // what is wrong, in English (a parse or system reason)
    int systemErrno = 0;         // when reading a file failed
    // The kit file as it was when verified: unpack only this version of it.
    FileVersion kitVersion;

    bool Ok() const noexcept { return problem == SignatureProblem::None; }
};

// The key files to trust: those given (--trusted-key) in their order, then
// every "*.pub" of the trusted-keys directory in name order. A directory
// that does not exist adds none.
std::vector<WideString> TrustedKeyFiles(const std::vector<WideString>& given);

// Checks the kit's signature ("<kit>.minisig") against the key files. With
// no key file the kit is accepted as it is (nothing is read).
KitSignatureCheck CheckKitSignature(const WideString& kitPath, const std::vector<WideString>& keyFiles);

}  // namespace tpl
