#include "headless/unpack_progress_line.h"

#include "session/console_text.h"

namespace tpl {

UnpackProgressLine::UnpackProgressLine(std::FILE* out, bool inPlace)
    : reporter_(out, inPlace, ConsoleCatalogText("IDS_PREPARECOPY")) {}

bool UnpackProgressLine::ShowUnpacking(int32_t percent) {
    reporter_.Show(percent);
    // Only a signal stops a run without a window; the preparation watches for it.
    return true;
}

}  // namespace tpl
