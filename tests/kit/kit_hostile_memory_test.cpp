// A small kit whose body claims a huge name is refused without the loader's
// memory growing with the name.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include "kit/kit_reader.h"
#include "support/kit_test_support.h"

namespace tpl {

namespace {

long MaxResidentKiB() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// A single-language kit with one file entry whose name has nameUnits units,
// streamed so that the test itself never holds the body.
WideString WriteHugeNameKit(const WideString& path, uint32_t nameUnits) {
    KitStreamWriter writer;
    EXPECT_EQ(writer.Open(path, 9), 0u);
    ByteVector head;
    for (uint32_t word : {0u, 0u, 0u, 0u, 1u, 4u + 4u + 2u * nameUnits + 16u, nameUnits}) AppendU32(head, word);
    EXPECT_EQ(writer.Write(head.data(), static_cast<uint32_t>(head.size())), 0u);
    const ByteVector chunk(1 << 16, 'a');  // 'a' 'a' is the unit U+6161
    for (uint64_t left = 2ull * nameUnits; left > 0;) {
        const uint32_t take = static_cast<uint32_t>(left < chunk.size() ? left : chunk.size());
        EXPECT_EQ(writer.Write(chunk.data(), take), 0u);
        left -= take;
    }
    const ByteVector fixed(16, 0);
    EXPECT_EQ(writer.Write(fixed.data(), 16), 0u);
    EXPECT_EQ(writer.Finish(true), 0u);
    return path;
}

}  // namespace

TEST_F(KitTest, AHugeNameIsRefusedWithoutMemoryGrowingWithIt) {
    constexpr uint32_t kNameUnits = 12u << 20;  // a 24 MiB name in a kit of a few dozen KiB
    const WideString kit = WriteHugeNameKit(WPath("huge.tkx"), kNameUnits);
    ASSERT_LT(ReadWholeFile(Path("huge.tkx")).size(), 256u << 10);

    int report[2];
    ASSERT_EQ(pipe(report), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Measured in a child, whose high-water mark starts from this test's.
        const long before = MaxResidentKiB();
        uint32_t code = 0;
        {
            KitReader reader;
            code = reader.Load(kit);
        }
        const long result[2] = {static_cast<long>(code), MaxResidentKiB() - before};
        (void)!write(report[1], result, sizeof result);
        _exit(0);
    }
    close(report[1]);
    long result[2] = {-1, -1};
    const ssize_t got = read(report[0], result, sizeof result);
    close(report[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_EQ(got, static_cast<ssize_t>(sizeof result));
    EXPECT_EQ(result[0], static_cast<long>(ERROR_INVALID_DATA));
    EXPECT_LT(result[1], 16L << 10) << "KiB of growth while loading";
    EXPECT_EQ(LeftoverTempFiles(), 0);
}

}  // namespace tpl
