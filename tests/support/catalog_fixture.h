#pragma once
// Tests of the catalog and the start-up choose a language, which is process
// state; every test starts in a UTF-8 locale with English and leaves English.
#include <gtest/gtest.h>

#include <clocale>

#include "catalog/message_catalog.h"

namespace tpl {

class CatalogTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_NE(setlocale(LC_ALL, "C.UTF-8"), nullptr);
        MessageCatalog::SetCurrentLanguage(kEnglishLanguageId);
    }
    void TearDown() override { MessageCatalog::SetCurrentLanguage(kEnglishLanguageId); }
};

}  // namespace tpl
