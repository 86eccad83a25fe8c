// Signatures made by the real minisign program are accepted with their key,
// and every way a kit or its signature can be wrong is refused with its own
// kind of problem. Keys are made at test time.
#include <sys/stat.h>
#include <time.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "kit/kit_reader.h"
#include "kit/kit_signature.h"
#include "support/kit_test_support.h"
#include "support/minisign_tool.h"

namespace tpl {

namespace {

std::string ReadText(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteText(const std::string& path, const std::string& text) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << text;
}

// The line'th line (from 0) of a text, without its "\n".
std::string Line(const std::string& text, int line) {
    size_t begin = 0;
    for (int i = 0; i < line; ++i) begin = text.find('\n', begin) + 1;
    return text.substr(begin, text.find('\n', begin) - begin);
}

std::string ReplaceLine(const std::string& text, int line, const std::string& with) {
    size_t begin = 0;
    for (int i = 0; i < line; ++i) begin = text.find('\n', begin) + 1;
    const size_t end = text.find('\n', begin);
    return text.substr(0, begin) + with + text.substr(end);
}

// Replaces the base64 character at index of a line with another valid one,
// so that the decoded bytes differ in exactly that place.
std::string FlipBase64(const std::string& line, size_t index) {
    std::string flipped = line;
    flipped[index] = flipped[index] == 'A' ? 'B' : 'A';
    return flipped;
}

class KitSignatureTest : public KitTest {
protected:
    void SetUp() override {
        KitTest::SetUp();
        if (!MinisignAvailable()) GTEST_SKIP() << "minisign is not installed (the test command installs it)";
        vendor_ = MakeMinisignKeys(root_, "vendor");
        other_ = MakeMinisignKeys(root_, "other");
        ASSERT_FALSE(vendor_.keyId.empty());
        ASSERT_FALSE(other_.keyId.empty());
        kit_ = Path("qbx4.tkx");
        WriteText(kit_, NoiseBytes(70000, 7));
        ASSERT_TRUE(SignWithMinisign(vendor_, kit_, "qbx4 4.1 for the fleet"));
    }
    KitSignatureCheck Check(const std::vector<std::string>& keys) const {
        std::vector<WideString> files;
        for (const std::string& key : keys) files.push_back(Wide(key));
        return CheckKitSignature(Wide(kit_), files);
    }
    std::string Signature() const { return kit_ + ".minisig"; }

    MinisignKeyPair vendor_, other_;
    std::string kit_;
};

}  // namespace

TEST_F(KitSignatureTest, ASignatureByATrustedKeyIsVerifiedInBothAlgorithms) {
    KitSignatureCheck check = Check({vendor_.publicKeyFile});
    ASSERT_TRUE(check.Ok()) << check.reason;
    EXPECT_TRUE(check.verified);
    EXPECT_EQ(check.keyId, vendor_.keyId);  // as minisign itself names the key
    EXPECT_EQ(check.trustedComment, "qbx4 4.1 for the fleet");

    // Any of several keys will do, in any order.
    check = Check({other_.publicKeyFile, vendor_.publicKeyFile});
    EXPECT_TRUE(check.verified) << check.reason;

    // The legacy algorithm signs the bytes themselves rather than their hash.
    ASSERT_TRUE(SignWithMinisign(vendor_, kit_, "legacy", true));
    check = Check({vendor_.publicKeyFile});
    EXPECT_TRUE(check.verified) << check.reason;
    EXPECT_EQ(check.trustedComment, "legacy");

    // With no key nothing is checked, not even that a signature exists.
    std::filesystem::remove(Signature());
    check = Check({});
    EXPECT_TRUE(check.Ok());
    EXPECT_FALSE(check.verified);
}

TEST_F(KitSignatureTest, EveryBadKitOrSignatureIsRefusedWithItsOwnProblem) {
    const std::string signed_ = ReadText(Signature());
    const std::string kitBytes = ReadText(kit_);
    struct Case {
        const char* what;
        std::function<void()> spoil;
        SignatureProblem expected;
    };
    const std::vector<Case> cases = {
        {"a byte of the kit flipped",
         [&] {
             std::string bytes = kitBytes;
             bytes[40000] ^= 0x01;
             WriteText(kit_, bytes);
         },
         SignatureProblem::Mismatch},
        {"a byte appended to the kit", [&] { WriteText(kit_, kitBytes + "x"); }, SignatureProblem::Mismatch},
        {"the kit cut short", [&] { WriteText(kit_, kitBytes.substr(0, 69999)); }, SignatureProblem::Mismatch},
        {"signed by another key", [&] { ASSERT_TRUE(SignWithMinisign(other_, kit_, "other")); },
         SignatureProblem::UntrustedKey},
        {"no signature file", [&] { std::filesystem::remove(Signature()); }, SignatureProblem::Missing},
        {"the signature file cut in half",
         [&] { WriteText(Signature(), signed_.substr(0, signed_.size() / 2)); }, SignatureProblem::Malformed},
        {"the signature's last line cut short",
         [&] { WriteText(Signature(), signed_.substr(0, signed_.size() - 10)); }, SignatureProblem::Malformed},
        {"an empty signature file", [&] { WriteText(Signature(), ""); }, SignatureProblem::Malformed},
        {"the signature line not base64",
         [&] { WriteText(Signature(), ReplaceLine(signed_, 1, "not*base64")); }, SignatureProblem::Malformed},
        {"an unknown algorithm",
         [&] { WriteText(Signature(), ReplaceLine(signed_, 1, FlipBase64(Line(signed_, 1), 1))); },
         SignatureProblem::Malformed},
        {"no trusted comment line",
         [&] { WriteText(Signature(), ReplaceLine(signed_, 2, "comment: qbx4 4.1 for the fleet")); },
         SignatureProblem::Malformed},
        {"a signature byte flipped",
         [&] { WriteText(Signature(), ReplaceLine(signed_, 1, FlipBase64(Line(signed_, 1), 40))); },
         SignatureProblem::Mismatch},
        {"the trusted comment changed",
         [&] { WriteText(Signature(), ReplaceLine(signed_, 2, "trusted comment: qbx4 9.9 for the fleet")); },
         SignatureProblem::Mismatch},
        {"the trusted comment's signature flipped",
         [&] { WriteText(Signature(), ReplaceLine(signed_, 3, FlipBase64(Line(signed_, 3), 5))); },
         SignatureProblem::Mismatch},
        {"another key's signature under the trusted key's id",
         [&] {
             ASSERT_TRUE(SignWithMinisign(other_, kit_, "other"));
             const std::string forged = ReadText(Signature());
             // Bytes 2..9 of the signature line are the key id; base64
             // characters 0..15 hold bytes 0..11, the algorithm, the id
             // and the first two bytes of the trusted key's signature.
             const std::string line = Line(signed_, 1).substr(0, 16) + Line(forged, 1).substr(16);
             WriteText(Signature(), ReplaceLine(forged, 1, line));
         },
         SignatureProblem::Mismatch},
        {"the signature file is a directory",
         [&] {
             std::filesystem::remove(Signature());
             std::filesystem::create_directory(Signature());
         },
         SignatureProblem::Malformed},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(kit_, kitBytes);
        std::filesystem::remove(Signature());
        WriteText(Signature(), signed_);
        c.spoil();
        const KitSignatureCheck check = Check({vendor_.publicKeyFile});
        EXPECT_EQ(check.problem, c.expected) << check.reason;
        EXPECT_FALSE(check.verified);
        EXPECT_FALSE(check.reason.empty());
        EXPECT_TRUE(check.trustedComment.empty());
        if (c.expected == SignatureProblem::UntrustedKey) {
            EXPECT_EQ(check.keyId, other_.keyId);
        }
        std::filesystem::remove_all(Signature());
    }
}

TEST_F(KitSignatureTest, AnUnusableTrustedKeyRefusesEveryKit) {
    const std::string garbage = Path("garbage.pub");
    WriteText(garbage, "untrusted comment: minisign public key 0\nnot a key\n");
    const std::string shortKey = Path("short.pub");
    const std::string keyText = ReadText(vendor_.publicKeyFile);
    WriteText(shortKey, keyText.substr(0, keyText.size() - 5));
    const std::string signatureAsKey = Path("signature.pub");
    WriteText(signatureAsKey, ReadText(Signature()));
    for (const std::string& bad : {garbage, shortKey, signatureAsKey, Path("missing.pub")}) {
        SCOPED_TRACE(bad);
        // Even beside a good key: the administrator meant that key too.
        const KitSignatureCheck check = Check({vendor_.publicKeyFile, bad});
        EXPECT_EQ(check.problem, SignatureProblem::KeyUnusable) << check.reason;
        EXPECT_EQ(Narrow(check.path), bad);
    }
    // A key line alone, without its comment, is a key.
    const std::string bare = Path("bare.pub");
    WriteText(bare, Line(keyText, 1) + "\n");
    EXPECT_TRUE(Check({bare}).verified);
}

TEST_F(KitSignatureTest, InstalledKeysComeAfterTheGivenOnesInNameOrder) {
    EXPECT_EQ(TrustedKeyFiles({}).size(), 0u);  // no such directory: no key
    std::filesystem::create_directories(trustedKeysDir_ + "/sub.pub");
    std::filesystem::copy_file(vendor_.publicKeyFile, trustedKeysDir_ + "/b-vendor.pub");
    std::filesystem::copy_file(other_.publicKeyFile, trustedKeysDir_ + "/a-other.pub");
    WriteText(trustedKeysDir_ + "/notes.txt", "not a key");
    const std::vector<WideString> files = TrustedKeyFiles({Wide("/given.pub")});
    ASSERT_EQ(files.size(), 3u);
    EXPECT_EQ(Narrow(files[0]), "/given.pub");
    EXPECT_EQ(Narrow(files[1]), trustedKeysDir_ + "/a-other.pub");
    EXPECT_EQ(Narrow(files[2]), trustedKeysDir_ + "/b-vendor.pub");
    // The installed keys alone verify the kit.
    const KitSignatureCheck check = CheckKitSignature(Wide(kit_), TrustedKeyFiles({}));
    EXPECT_TRUE(check.verified) << check.reason;
}

// The kit unpacked is the kit checked: one written to, or another put in
// its place (even with the same bytes), after the check is not unpacked.
TEST_F(KitSignatureTest, OnlyTheKitAsCheckedIsUnpacked) {
    WriteSimpleKit("qbx4.tkx", {{u"a.cfg", 0, "alpha"}});
    ASSERT_TRUE(SignWithMinisign(vendor_, kit_, "real kit"));
    const std::string packed = ReadText(kit_);
    struct Case {
        const char* what;
        std::function<void()> change;
        uint32_t expected;
    };
    const std::vector<Case> cases = {
        {"nothing changed", [] {}, 0},
        {"the same bytes written again", [&] { WriteText(kit_, packed); }, ERROR_FILE_INVALID},
        {"a copy renamed into its place",
         [&] {
             WriteText(kit_ + ".new", packed);
             std::filesystem::rename(kit_ + ".new", kit_);
         },
         ERROR_FILE_INVALID},
        {"a byte appended", [&] { std::ofstream(kit_, std::ios::app | std::ios::binary) << "x"; }, ERROR_FILE_INVALID},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        WriteText(kit_, packed);
        // A new change time needs time to pass since the last write.
        struct timespec pause = {0, 20000000};
        nanosleep(&pause, nullptr);
        const KitSignatureCheck check = Check({vendor_.publicKeyFile});
        ASSERT_TRUE(check.verified) << check.reason;
        nanosleep(&pause, nullptr);
        c.change();
        KitReader reader;
        EXPECT_EQ(reader.Load(Wide(kit_), nullptr, &check.kitVersion), c.expected);
        EXPECT_EQ(reader.GetFileEntryCount(), c.expected == 0 ? 1u : 0u);
        EXPECT_EQ(LeftoverTempFiles(), c.expected == 0 ? 1 : 0);
    }
}

TEST(MinisignFormat, KeyIdsReadAsMinisignPrintsThem) {
    EXPECT_EQ(KeyIdText({0x22, 0xF3, 0x09, 0x07, 0xB1, 0xF4, 0xA5, 0xB9}), "B9A5F4B10709F322");
    // minisign drops leading zeros; an id must read the same in its key file.
    EXPECT_EQ(KeyIdText({0x19, 0xF4, 0x28, 0xD5, 0x9F, 0x10, 0x67, 0x07}), "767109FD528F419");
    MinisignPublicKey key;
    std::string why;
    // A key of the right length in the wrong algorithm, and one a byte short.
    EXPECT_FALSE(ParseMinisignPublicKey("untrusted comment: x\nRUQi8wkHsfSluYA0icUFAMmJvhSm7WZg+nosO/CNEdqthp7dDIQc1iVS\n",
                                        &key, &why));
    EXPECT_FALSE(ParseMinisignPublicKey("RWQi8wkHsfSluYA0icUFAMmJvhSm7WZg+nosO/CNEdqthp7dDIQc1g==\n", &key, &why));
    EXPECT_FALSE(ParseMinisignPublicKey("", &key, &why));
    ASSERT_TRUE(ParseMinisignPublicKey("RWQi8wkHsfSluYA0icUFAMmJvhSm7WZg+nosO/CNEdqthp7dDIQc1iVS\r\n", &key, &why)) << why;
    EXPECT_EQ(KeyIdText(key.keyId), "B9A5F4B10709F322");
}

}  // namespace tpl
