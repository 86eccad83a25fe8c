#pragma once
// Root of the window classes: anything that can own a message box.
#include "text/cow_string.h"

namespace tpl {

class CWnd {
public:
    virtual ~CWnd() = default;
    // The title a message box owned by this window carries.
    virtual WideString GetTitle() const { return WideString(); }
};

}  // namespace tpl
