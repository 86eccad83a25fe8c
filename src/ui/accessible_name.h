#pragma once
// Names that screen readers read for the wizard's controls.
#include <string>

namespace tpl {

// A button's label as a name: without the arrows that point the way ("<",
// ">") and the blanks around them, so "< Back" is read as "Back". A label
// of nothing but arrows stays as it is.
std::string PlainButtonName(const std::string& label);

}  // namespace tpl
