#pragma once
// The progress line of an installation without a window, on a stdio stream.
#include <cstdint>
#include <cstdio>
#include "text/cow_string.h"

namespace tpl {

class ProgressReporter {
public:
    // inPlace: a terminal, where one line is rewritten after "\r"; otherwise
    // (a log file, a pipe) a new line only each time ten more percent are done,
    // so a log of a long installation stays short. The stream is not owned.
    ProgressReporter(std::FILE* out, bool inPlace, const NarrowString& label);

    // Called with every percentage read; repeats are ignored.
    void Show(int32_t percent);
    // Ends a line written in place, so that what follows starts on its own line.
    void End();

private:
    std::FILE* out_;
    bool inPlace_;
    NarrowString label_;
    int32_t shown_ = -1;       // percent on the line in place
    int32_t lastDecile_ = -1;  // tens of percent last written as a line
    bool lineOpen_ = false;
};

}  // namespace tpl
