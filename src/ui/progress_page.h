#pragma once
// Status line and progress bar while the worker installs.
#include <cstdint>
#include "text/cow_string.h"
#include "ui/wizard_page.h"

class ProgressPage : public WizardDialogPage {
public:
    ProgressPage(GtkWidget* layout, int32_t barWidth);
    // "Copying complete..." at exactly 100, "Files being copied..." otherwise.
    void SetPercent(int32_t percent);

private:
    GtkWidget* status_;
    GtkWidget* bar_;
    NarrowString startText_;
    NarrowString finishText_;
};
