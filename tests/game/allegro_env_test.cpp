// Brings the library up without a display for every game test (files, bitmaps, fonts, datafile).
#include <gtest/gtest.h>

#include <allegro.h>

#include <cerrno>
#include <cstdlib>

namespace {

class AllegroWithoutDisplay : public testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_EQ(install_allegro(SYSTEM_NONE, &errno, atexit), 0);
        set_color_depth(8);
        set_color_conversion(COLORCONV_NONE);
    }
};

const testing::Environment *const allegro_env =
    testing::AddGlobalTestEnvironment(new AllegroWithoutDisplay);

}  // namespace
