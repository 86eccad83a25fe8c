#pragma once
// The progress line of a long unpacking without a window: "Preparing to
// copy... 40%", in place on a terminal, one line per ten percent in a log.
#include <cstdio>
#include "headless/progress_reporter.h"
#include "session/unpack_feedback.h"

namespace tpl {

class UnpackProgressLine final : public UnpackFeedback {
public:
    UnpackProgressLine(std::FILE* out, bool inPlace);
    bool ShowUnpacking(int32_t percent) override;
    // Ends a line written in place.
    void End() { reporter_.End(); }

private:
    ProgressReporter reporter_;
};

}  // namespace tpl
