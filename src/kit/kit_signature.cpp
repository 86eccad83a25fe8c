#include "kit/kit_signature.h"

#include <sodium.h>

#include <algorithm>
#include <cerrno>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>
#include <memory>

#include "fs/file_finder.h"
#include "fs/file_io.h"
#include "fs/last_error.h"
#include "fs/unique_file_handle.h"
#include "text/convert.h"

namespace tpl {

namespace {

// minisign's own limits: a trusted comment of at most 8 KiB, an untrusted
// one of 1 KiB. Anything much larger is no key or signature file, and is
// not read into memory.
constexpr uint32_t kMaxKeyFileBytes = 4096;
constexpr uint32_t kMaxSignatureFileBytes = 16384;
constexpr uint32_t kHashChunkBytes = 0x40000;
constexpr char kUntrustedPrefix[] = "untrusted comment:";
constexpr char kTrustedPrefix[] = "trusted comment: ";
constexpr unsigned char kAlgorithmLegacy[2] = {'E', 'd'};
constexpr unsigned char kAlgorithmPrehashed[2] = {'E', 'D'};

bool StartsWith(const std::string& text, const char* prefix) {
    return text.compare(0, std::strlen(prefix), prefix) == 0;
}

// The lines of a small text file, each without its "\n" or "\r\n"; a last
// line without "\n" counts too.
std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t begin = 0;
    while (begin < text.size()) {
        size_t end = text.find('\n', begin);
        if (end == std::string::npos) end = text.size();
        std::string line = text.substr(begin, end - begin);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
        begin = end + 1;
    }
    return lines;
}

// Decodes one line of standard base64 into exactly size bytes.
bool DecodeBase64(const std::string& line, unsigned char* out, size_t size) {
    size_t decoded = 0;
    const char* end = nullptr;
    if (sodium_base642bin(out, size, line.data(), line.size(), nullptr, &decoded, &end,
                          sodium_base64_VARIANT_ORIGINAL) != 0)
        return false;
    return decoded == size && end == line.data() + line.size();
}

// Reads a file of at most limit bytes. On failure *errnoOut holds the
// system's reason, or stays 0 when the file is merely too large.
bool ReadSmallFile(const WideString& path, uint32_t limit, std::string* text, int* errnoOut) {
    *errnoOut = 0;
    UniqueFileHandle file;
    if (FileOpen(path, GENERIC_READ, 0, OPEN_EXISTING, file.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0) {
        *errnoOut = GetLastFileErrno();
        return false;
    }
    text->clear();
    char chunk[4096];
    for (;;) {
        uint32_t got = 0;
        if (FileRead(file.Get(), chunk, sizeof chunk, &got, nullptr) != 0) {
            *errnoOut = GetLastFileErrno();
            return false;
        }
        if (got == 0) return true;
        if (text->size() + got > limit) return false;
        text->append(chunk, got);
    }
}

// What the system said, in the locale's words.
std::string ReasonText(int systemErrno) {
    const NarrowString text = SystemErrorText(systemErrno);
    return std::string(text.Data(), text.Length());
}

// The message the signature covers: the kit's BLAKE2b-512 hash, or, for
// the legacy algorithm, the kit's bytes themselves. Read in pieces for the
// hash, so that a large kit costs no memory.
// *version is the file's version, which must be the same after the read as
// before it: bytes read while someone wrote would prove nothing.
bool ReadSignedMessage(const WideString& kitPath, bool prehashed, std::vector<unsigned char>* message,
                       FileVersion* version, int* errnoOut) {
    UniqueFileHandle kit;
    if (FileOpen(kitPath, GENERIC_READ, 0, OPEN_EXISTING, kit.OutPtr(), FILE_ATTRIBUTE_NORMAL) != 0 ||
        GetFileVersion(kit.Get(), version) != 0) {
        *errnoOut = GetLastFileErrno();
        return false;
    }
    crypto_generichash_state state;
    if (prehashed) crypto_generichash_init(&state, nullptr, 0, crypto_generichash_BYTES_MAX);
    message->clear();
    std::unique_ptr<unsigned char[]> chunk(new unsigned char[kHashChunkBytes]);
    for (;;) {
        uint32_t got = 0;
        if (FileRead(kit.Get(), chunk.get(), kHashChunkBytes, &got, nullptr) != 0) {
            *errnoOut = GetLastFileErrno();
            return false;
        }
        if (got == 0) break;
        if (prehashed) crypto_generichash_update(&state, chunk.get(), got);
        else message->insert(message->end(), chunk.get(), chunk.get() + got);
    }
    if (prehashed) {
        message->resize(crypto_generichash_BYTES_MAX);
        crypto_generichash_final(&state, message->data(), message->size());
    }
    FileVersion after;
    if (GetFileVersion(kit.Get(), &after) != 0) {
        *errnoOut = GetLastFileErrno();
        return false;
    }
    if (after != *version) {
        *errnoOut = 0;
        return false;
    }
    return true;
}

KitSignatureCheck Problem(SignatureProblem problem, const WideString& path, std::string reason, int systemErrno = 0) {
    KitSignatureCheck check;
    check.problem = problem;
    check.path = path;
    check.reason = std::move(reason);
    check.systemErrno = systemErrno;
    return check;
}

WideString TrustedKeysDirectory() {
    const char* chosen = std::getenv(kTrustedKeysDirectoryVariable);
    WideString directory = ToWide(NarrowString(chosen != nullptr && *chosen != '\0' ? chosen : kTrustedKeysDirectory));
    if (!directory.Empty() && directory[directory.Length() - 1] != u'/') directory += u"/";
    return directory;
}

}  // namespace

bool ParseMinisignPublicKey(const std::string& text, MinisignPublicKey* key, std::string* why) {
    std::vector<std::string> lines = SplitLines(text);
    // The comment line is optional, as in a key pasted on its own.
    if (!lines.empty() && StartsWith(lines[0], kUntrustedPrefix)) lines.erase(lines.begin());
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.size() != 1) {
        *why = "not a minisign public key (expected one line of base64 after the comment)";
        return false;
    }
    unsigned char bytes[2 + 8 + 32];
    if (!DecodeBase64(lines[0], bytes, sizeof bytes)) {
        *why = "not a minisign public key (the key line is not 42 bytes of base64)";
        return false;
    }
    if (std::memcmp(bytes, kAlgorithmLegacy, 2) != 0) {
        *why = "not an Ed25519 minisign public key";
        return false;
    }
    std::copy(bytes + 2, bytes + 10, key->keyId.begin());
    std::copy(bytes + 10, bytes + 42, key->key.begin());
    return true;
}

bool ParseMinisignSignature(const std::string& text, MinisignSignature* signature, std::string* why) {
    std::vector<std::string> lines = SplitLines(text);
    while (!lines.empty() && lines.back().empty()) lines.pop_back();
    if (lines.size() != 4 || !StartsWith(lines[0], kUntrustedPrefix) || !StartsWith(lines[2], kTrustedPrefix)) {
        *why = "not a minisign signature (expected a comment, the signature, a trusted comment and its signature)";
        return false;
    }
    unsigned char bytes[2 + 8 + 64];
    if (!DecodeBase64(lines[1], bytes, sizeof bytes)) {
        *why = "not a minisign signature (the signature line is not 74 bytes of base64)";
        return false;
    }
    if (std::memcmp(bytes, kAlgorithmPrehashed, 2) == 0) {
        signature->prehashed = true;
    } else if (std::memcmp(bytes, kAlgorithmLegacy, 2) == 0) {
        signature->prehashed = false;
    } else {
        *why = "unknown signature algorithm";
        return false;
    }
    std::copy(bytes + 2, bytes + 10, signature->keyId.begin());
    std::copy(bytes + 10, bytes + 74, signature->signature.begin());
    signature->trustedComment = lines[2].substr(std::strlen(kTrustedPrefix));
    if (!DecodeBase64(lines[3], signature->globalSignature.data(), signature->globalSignature.size())) {
        *why = "not a minisign signature (the trusted comment's signature is not 64 bytes of base64)";
        return false;
    }
    return true;
}

std::string KeyIdText(const std::array<unsigned char, 8>& keyId) {
    uint64_t number = 0;
    for (int i = 7; i >= 0; --i) number = number << 8 | keyId[i];
    char text[17];
    std::snprintf(text, sizeof text, "%" PRIX64, number);
    return text;
}

std::vector<WideString> TrustedKeyFiles(const std::vector<WideString>& given) {
    std::vector<WideString> files = given;
    const WideString directory = TrustedKeysDirectory();
    std::vector<WideString> installed;
    for (const DirectoryEntry& entry : ListDirectory(directory, u"*.pub")) {
        if (entry.isDirectory) continue;
        WideString path = directory;
        path += entry.name;
        installed.push_back(path);
    }
    // The directory's order is the file system's; a fixed order makes the
    // log and the first unusable key the same on every machine.
    std::sort(installed.begin(), installed.end(), [](const WideString& a, const WideString& b) {
        return std::u16string_view(a.Data(), a.Length()) < std::u16string_view(b.Data(), b.Length());
    });
    files.insert(files.end(), installed.begin(), installed.end());
    return files;
}

KitSignatureCheck CheckKitSignature(const WideString& kitPath, const std::vector<WideString>& keyFiles) {
    if (keyFiles.empty()) return KitSignatureCheck();
    if (sodium_init() < 0) return Problem(SignatureProblem::Malformed, kitPath, "the signature library cannot start");

    // Every trusted key must be usable: a key file that is damaged would
    // otherwise quietly trust nothing, or less than the administrator meant.
    std::vector<MinisignPublicKey> keys;
    for (const WideString& file : keyFiles) {
        std::string text;
        std::string why;
        int systemErrno = 0;
        MinisignPublicKey key;
        if (!ReadSmallFile(file, kMaxKeyFileBytes, &text, &systemErrno))
            return Problem(SignatureProblem::KeyUnusable, file,
                           systemErrno != 0 ? ReasonText(systemErrno) : "not a minisign public key (too large)",
                           systemErrno);
        if (!ParseMinisignPublicKey(text, &key, &why)) return Problem(SignatureProblem::KeyUnusable, file, why);
        keys.push_back(key);
    }

    WideString signaturePath = kitPath;
    signaturePath += ToWide(NarrowString(kSignatureSuffix));
    std::string text;
    int systemErrno = 0;
    if (!ReadSmallFile(signaturePath, kMaxSignatureFileBytes, &text, &systemErrno)) {
        if (systemErrno == ENOENT)
            return Problem(SignatureProblem::Missing, signaturePath, ReasonText(systemErrno), systemErrno);
        return Problem(SignatureProblem::Malformed, signaturePath,
                       systemErrno != 0 ? ReasonText(systemErrno) : "not a minisign signature (too large)",
                       systemErrno);
    }
    MinisignSignature signature;
    std::string why;
    if (!ParseMinisignSignature(text, &signature, &why)) return Problem(SignatureProblem::Malformed, signaturePath, why);

    const std::string keyId = KeyIdText(signature.keyId);
    const auto key = std::find_if(keys.begin(), keys.end(),
                                  [&](const MinisignPublicKey& k) { return k.keyId == signature.keyId; });
    if (key == keys.end()) {
        KitSignatureCheck check = Problem(SignatureProblem::UntrustedKey, signaturePath,
                                          "signed by key " + keyId + ", which is not trusted");
        check.keyId = keyId;
        return check;
    }

    std::vector<unsigned char> message;
    FileVersion version;
    if (!ReadSignedMessage(kitPath, signature.prehashed, &message, &version, &systemErrno))
        return Problem(SignatureProblem::Mismatch, kitPath,
                       systemErrno != 0 ? ReasonText(systemErrno) : "the kit changed while its signature was checked",
                       systemErrno);
    KitSignatureCheck check;
    check.keyId = keyId;
    check.kitVersion = version;
    if (crypto_sign_verify_detached(signature.signature.data(), message.data(), message.size(), key->key.data()) != 0) {
        check = Problem(SignatureProblem::Mismatch, kitPath, "the kit's bytes do not match the signature by key " + keyId);
        check.keyId = keyId;
        return check;
    }
    // The trusted comment is signed apart, with the signature in front, so
    // that it cannot be moved onto another file's signature.
    std::vector<unsigned char> global(signature.signature.begin(), signature.signature.end());
    global.insert(global.end(), signature.trustedComment.begin(), signature.trustedComment.end());
    if (crypto_sign_verify_detached(signature.globalSignature.data(), global.data(), global.size(),
                                    key->key.data()) != 0) {
        check = Problem(SignatureProblem::Mismatch, signaturePath, "the trusted comment does not match its signature");
        check.keyId = keyId;
        return check;
    }
    check.verified = true;
    check.trustedComment = signature.trustedComment;
    return check;
}

}  // namespace tpl
