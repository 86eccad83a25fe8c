#pragma once
// The per-language text tables. Each lives in a file of its own (texts_xx.cpp)
// and is defined constexpr, so it is part of the program image and needs no
// code to run before main.
#include "catalog/message_catalog.h"

namespace tpl {

extern const CatalogText kTexts_hy[kCatalogTextCount];  // Armenian
extern const CatalogText kTexts_az[kCatalogTextCount];  // Azerbaijani
extern const CatalogText kTexts_bg[kCatalogTextCount];  // Bulgarian
extern const CatalogText kTexts_zh[kCatalogTextCount];  // Chinese
extern const CatalogText kTexts_en[kCatalogTextCount];  // English (also "ar")
extern const CatalogText kTexts_fr[kCatalogTextCount];  // French
extern const CatalogText kTexts_ka[kCatalogTextCount];  // Georgian
extern const CatalogText kTexts_de[kCatalogTextCount];  // German
extern const CatalogText kTexts_es[kCatalogTextCount];  // Spanish
extern const CatalogText kTexts_hu[kCatalogTextCount];  // Hungarian
extern const CatalogText kTexts_it[kCatalogTextCount];  // Italian
extern const CatalogText kTexts_kk[kCatalogTextCount];  // Kazakh
extern const CatalogText kTexts_lv[kCatalogTextCount];  // Latvian
extern const CatalogText kTexts_lt[kCatalogTextCount];  // Lithuanian
extern const CatalogText kTexts_pl[kCatalogTextCount];  // Polish
extern const CatalogText kTexts_ro[kCatalogTextCount];  // Romanian
extern const CatalogText kTexts_ru[kCatalogTextCount];  // Russian
extern const CatalogText kTexts_tr[kCatalogTextCount];  // Turkish
extern const CatalogText kTexts_uk[kCatalogTextCount];  // Ukrainian
extern const CatalogText kTexts_vi[kCatalogTextCount];  // Vietnamese
extern const CatalogText kTexts_tk[kCatalogTextCount];  // Turkmen
extern const CatalogText kTexts_el[kCatalogTextCount];  // Greek

}  // namespace tpl
