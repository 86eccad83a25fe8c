// The embedded pictures: the sizes and colour limits the window relies on,
// and data that the toolkit's loader accepts as it is.
#include <gdk-pixbuf/gdk-pixbuf.h>
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <set>
#include <string>

#include "ui/images/icon.xpm.h"
#include "ui/images/welcome_picture.xpm.h"

namespace tpl {

namespace {

struct XpmHeader {
    int width = 0;
    int height = 0;
    int colours = 0;
    int charsPerPixel = 0;
};

XpmHeader ParseHeader(const char* const* xpm) {
    XpmHeader h;
    EXPECT_EQ(4, std::sscanf(xpm[0], "%d %d %d %d", &h.width, &h.height, &h.colours,
                             &h.charsPerPixel));
    return h;
}

// Checks the palette and every pixel row; returns the codes the rows use.
std::set<std::string> CheckStructure(const char* const* xpm, size_t lineCount) {
    XpmHeader h = ParseHeader(xpm);
    EXPECT_EQ(2, h.charsPerPixel);
    EXPECT_EQ(static_cast<size_t>(1 + h.colours + h.height), lineCount);
    std::set<std::string> palette;
    for (int i = 0; i < h.colours; ++i) {
        std::string line = xpm[1 + i];
        EXPECT_EQ(" c ", line.substr(2, 3)) << line;
        EXPECT_TRUE(palette.insert(line.substr(0, 2)).second) << "duplicate code in " << line;
    }
    std::set<std::string> used;
    for (int y = 0; y < h.height; ++y) {
        const char* row = xpm[1 + h.colours + y];
        EXPECT_EQ(static_cast<size_t>(h.width) * 2, std::strlen(row)) << "row " << y;
        for (int x = 0; x + 1 < h.width * 2; x += 2) used.insert(std::string(row + x, 2));
    }
    for (const std::string& code : used) EXPECT_EQ(1u, palette.count(code)) << "undefined code " << code;
    return used;
}

GdkPixbuf* Load(const char* const* xpm) {
    return gdk_pixbuf_new_from_xpm_data(const_cast<const char**>(xpm));
}

}  // namespace

TEST(EmbeddedImages, WelcomePictureHasTheFixedSizeAndAtMost256Colours) {
    XpmHeader h = ParseHeader(kWelcomePictureXpm);
    EXPECT_EQ(158, h.width);
    EXPECT_EQ(286, h.height);
    EXPECT_LE(h.colours, 256);
    std::set<std::string> used =
        CheckStructure(kWelcomePictureXpm, sizeof(kWelcomePictureXpm) / sizeof(kWelcomePictureXpm[0]));
    EXPECT_EQ(static_cast<size_t>(h.colours), used.size()) << "palette entries without pixels";
}

TEST(EmbeddedImages, IconHasTheFixedSizeAndAtMost211Colours) {
    XpmHeader h = ParseHeader(kIconXpm);
    EXPECT_EQ(256, h.width);
    EXPECT_EQ(256, h.height);
    EXPECT_LE(h.colours, 211);
    std::set<std::string> used = CheckStructure(kIconXpm, sizeof(kIconXpm) / sizeof(kIconXpm[0]));
    EXPECT_EQ(static_cast<size_t>(h.colours), used.size()) << "palette entries without pixels";
}

TEST(EmbeddedImages, ToolkitLoadsBothWithTheirSizes) {
    GdkPixbuf* picture = Load(kWelcomePictureXpm);
    ASSERT_NE(nullptr, picture);
    EXPECT_EQ(158, gdk_pixbuf_get_width(picture));
    EXPECT_EQ(286, gdk_pixbuf_get_height(picture));
    g_object_unref(picture);

    GdkPixbuf* icon = Load(kIconXpm);
    ASSERT_NE(nullptr, icon);
    EXPECT_EQ(256, gdk_pixbuf_get_width(icon));
    EXPECT_EQ(256, gdk_pixbuf_get_height(icon));
    // The rounded corners are transparent, so the icon needs its alpha channel.
    EXPECT_TRUE(gdk_pixbuf_get_has_alpha(icon));
    g_object_unref(icon);
}

}  // namespace tpl
