#pragma once

namespace tpl {

// Lays every window out in the direction of the current language's texts:
// left to right for all of them today, also for the English texts of "ar"
// under an Arabic locale, which would otherwise mirror the toolkit's layouts.
void UseDirectionOfCatalogTexts();

}  // namespace tpl
