#include "headless/progress_reporter.h"

namespace tpl {

ProgressReporter::ProgressReporter(std::FILE* out, bool inPlace, const NarrowString& label)
    : out_(out), inPlace_(inPlace), label_(label) {}

void ProgressReporter::Show(int32_t percent) {
    if (percent < 0) percent = 0;
    if (percent > 100) percent = 100;
    if (inPlace_) {
        if (percent == shown_) return;
        shown_ = percent;
        std::fprintf(out_, "\r%s %3d%%", label_.Data(), static_cast<int>(percent));
        lineOpen_ = true;
    } else {
        const int32_t decile = percent / 10;
        if (decile <= lastDecile_) return;
        lastDecile_ = decile;
        std::fprintf(out_, "%s %d%%\n", label_.Data(), static_cast<int>(percent));
    }
    std::fflush(out_);
}

void ProgressReporter::End() {
    if (!lineOpen_) return;
    std::fputc('\n', out_);
    std::fflush(out_);
    lineOpen_ = false;
}

}  // namespace tpl
