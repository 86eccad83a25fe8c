#pragma once
// Keys and signatures made with the real minisign program, at test time, so
// that no key material lives in the tree and the format is the tool's own.
#include <string>

namespace tpl {

// True when the minisign program can be run; tests that need it skip
// otherwise (the test command installs it).
bool MinisignAvailable();

struct MinisignKeyPair {
    std::string publicKeyFile;
    std::string secretKeyFile;
    std::string keyId;  // as minisign prints it in the public key's comment
};

// A new key pair without a password, "<directory>/<name>.pub" and ".key".
MinisignKeyPair MakeMinisignKeys(const std::string& directory, const std::string& name);

// Signs file into file + ".minisig" (or signatureFile), prehashed unless
// legacy; false when minisign failed.
bool SignWithMinisign(const MinisignKeyPair& keys, const std::string& file, const std::string& trustedComment,
                      bool legacy = false, const std::string& signatureFile = std::string());

}  // namespace tpl
