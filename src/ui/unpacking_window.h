#pragma once
// The small window shown while a large kit is unpacked, before the wizard's
// own window exists: the text "Preparing to copy...", a progress bar and
// Cancel. It appears only when the preparation calls it (after its delay)
// and handles the toolkit's events on each call, so the window is drawn and
// answers while the unpacking runs on the same thread.
#include "session/unpack_feedback.h"
#include "text/cow_string.h"
#include "ui/gtk_fwd.h"

namespace tpl {

class UnpackingWindow final : public UnpackFeedback {
public:
    // title is UTF-8, as the wizard's.
    explicit UnpackingWindow(const NarrowString& title);
    // Takes the window down, so that an error box or the wizard follows alone.
    ~UnpackingWindow() override;
    UnpackingWindow(const UnpackingWindow&) = delete;
    UnpackingWindow& operator=(const UnpackingWindow&) = delete;

    // Cancel, Escape and the window manager's close all stop the unpacking.
    bool ShowUnpacking(int32_t percent) override;
    void Stop() noexcept { stopped_ = true; }

private:
    void Create();

    NarrowString title_;
    GtkWidget* window_ = nullptr;
    GtkWidget* bar_ = nullptr;
    GdkPixbuf* icon_ = nullptr;
    bool stopped_ = false;
};

}  // namespace tpl
