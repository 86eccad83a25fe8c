#pragma once
// Status line, progress bar with its percentage, and the file being copied,
// while the worker installs.
#include <cstdint>
#include "text/cow_string.h"
#include "ui/wizard_page.h"

namespace tpl {

class ProgressPage : public WizardDialogPage {
public:
    ProgressPage(GtkWidget* layout, int32_t barWidth);
    // "Copying complete..." at exactly 100, "Files being copied..." otherwise;
    // the restoring text once ShowRollback was called.
    void SetPercent(int32_t percent);
    // The destination the worker is at; shortened in the middle when long.
    // Shown a few times a second at most: each change is news for a screen
    // reader, and one per file slows a large copy down to its pace.
    void SetCurrentFile(const WideString& path);
    // The last destination given, shown now (at the end of the copy).
    void ShowLastFile();
    // A confirmed cancel: the worker now puts the template directory back.
    void ShowRollback();
    GtkWidget* TextWidget() const override { return status_; }

private:
    void SetStatusText(const NarrowString& text);
    void ShowFile(const NarrowString& text);

    GtkWidget* status_;
    GtkWidget* bar_;
    GtkWidget* file_;
    NarrowString startText_;
    NarrowString finishText_;
    NarrowString shownText_;
    int32_t shownPercent_ = -1;
    bool rollingBack_ = false;
    NarrowString lastFile_;     // given, perhaps not yet shown
    int64_t fileShownAt_ = 0;   // monotonic microseconds
};

}  // namespace tpl
