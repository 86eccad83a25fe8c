#include "support/minisign_tool.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace tpl {

namespace {

// Single quotes for the shell; the tests' own paths and texts only.
std::string Quoted(const std::string& text) {
    std::string quoted = "'";
    for (char c : text) {
        if (c == '\'') quoted += "'\\''";
        else quoted += c;
    }
    return quoted + "'";
}

}  // namespace

bool MinisignAvailable() {
    return std::system("minisign -v >/dev/null 2>&1") == 0;
}

MinisignKeyPair MakeMinisignKeys(const std::string& directory, const std::string& name) {
    MinisignKeyPair keys;
    keys.publicKeyFile = directory + "/" + name + ".pub";
    keys.secretKeyFile = directory + "/" + name + ".key";
    const std::string command = "minisign -G -f -W -p " + Quoted(keys.publicKeyFile) + " -s " +
                                Quoted(keys.secretKeyFile) + " >/dev/null 2>&1 </dev/null";
    if (std::system(command.c_str()) != 0) return MinisignKeyPair();
    std::ifstream in(keys.publicKeyFile);
    std::string comment;
    std::getline(in, comment);
    const size_t space = comment.rfind(' ');
    if (space != std::string::npos) keys.keyId = comment.substr(space + 1);
    return keys;
}

bool SignWithMinisign(const MinisignKeyPair& keys, const std::string& file, const std::string& trustedComment,
                      bool legacy, const std::string& signatureFile) {
    std::string command = "minisign -S -s " + Quoted(keys.secretKeyFile) + " -m " + Quoted(file) + " -t " +
                          Quoted(trustedComment);
    if (legacy) command += " -l";
    if (!signatureFile.empty()) command += " -x " + Quoted(signatureFile);
    command += " >/dev/null 2>&1 </dev/null";
    return std::system(command.c_str()) == 0;
}

}  // namespace tpl
