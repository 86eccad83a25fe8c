#pragma once
// The message page after a successful installation, with the choice to open
// the kit's description on Finish.
#include "ui/message_page.h"

namespace tpl {

class SuccessFinalPage : public MessagePage {
public:
    SuccessFinalPage(GtkWidget* layout, GdkPixbuf* picture, const WideString& text);
    bool IsOpenDescriptionChecked() const;

private:
    GtkWidget* openDescription_;
};

}  // namespace tpl
