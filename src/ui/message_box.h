#pragma once
// The one flags word and result code of every question and error box.
#include <cstdint>
#include "ui/gtk_fwd.h"

namespace tpl {

// Top byte: kind; low byte: buttons.
constexpr uint32_t kMessageBoxErrorOk = 0x01000001u;
constexpr uint32_t kMessageBoxQuestionYesNo = 0x02000002u;
constexpr uint32_t kMessageBoxPlainOk = 0x00000001u;

constexpr int32_t kMessageBoxResultNone = 0;  // closed without an answer
constexpr int32_t kMessageBoxResultYes = 1;
constexpr int32_t kMessageBoxResultNo = 2;
constexpr int32_t kMessageBoxResultOk = 3;

// A modal box of the given kind and buttons with UTF-8 text and title (no
// title when null), not yet run; the caller runs and destroys it. Its buttons
// speak the catalog's language. With a parent it belongs to that window and
// is centred on it, else centred on the screen. detail (UTF-8, may be null)
// is a secondary text under the main one.
GtkWidget* CreateMessageBox(const char* text, uint32_t flags, const char* title,
                            GtkWidget* parent = nullptr, const char* detail = nullptr);

}  // namespace tpl
