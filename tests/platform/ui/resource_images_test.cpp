#include "ui/resource_images.h"

#include "sample_library.h"
#include "ui/icon.h"

using namespace uitest;

class ResourceImagesTest : public SampleTest {};

TEST_F(ResourceImagesTest, BitmapsKeepTheirPixelsAndRowOrder) {
    HBITMAP bmp = LoadBitmapW(m_library, MAKEINTRESOURCEW(200));
    ASSERT_NE(bmp, nullptr);
    auto bitmap = plat::ui::Lookup<plat::ui::Bitmap>(bmp);
    ASSERT_TRUE(bitmap);
    ASSERT_EQ(bitmap->Width(), 4);
    ASSERT_EQ(bitmap->Height(), 3);
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 4; ++x)
            EXPECT_EQ(Pixel(*bitmap, x, y), std::uint32_t((x * 60) << 16 | (y * 80) << 8 | 200)) << x << "," << y;
    DeleteObject(bmp);
}

TEST_F(ResourceImagesTest, IconsComeFromPngWithAlpha) {
    HICON icon = LoadIconW(m_library, MAKEINTRESOURCEW(1));
    ASSERT_NE(icon, nullptr);
    auto object = plat::ui::Lookup<plat::ui::Icon>(icon);
    ASSERT_TRUE(object);
    EXPECT_EQ(object->color->Get(0, 0), 0xFFFF0000u);
    EXPECT_EQ(object->color->Get(1, 0) >> 24, 128u);
    DestroyIcon(icon);
}

TEST_F(ResourceImagesTest, MissingIdsAndWrongTypesGiveNull) {
    SetLastError(0);
    EXPECT_EQ(LoadBitmapW(m_library, MAKEINTRESOURCEW(201)), nullptr);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_EQ(LoadBitmapW(m_library, MAKEINTRESOURCEW(1)), nullptr);  // an icon, not a bitmap
    EXPECT_EQ(LoadIconW(nullptr, MAKEINTRESOURCEW(1)), nullptr);
}
