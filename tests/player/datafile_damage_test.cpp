// SPDX-License-Identifier: MIT
// The "QVM " datafile object with damaged module data: the datafile still loads (Allegro 4.4 frees
// its object table twice when an object loader fails), the module is a silent one, nothing leaks.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include <allegro.h>

#include "module_builder.h"
#include "qvmod.h"
#include "scratch.h"

namespace {

using Bytes = std::vector<unsigned char>;

Bytes header_only()
{
    Bytes b(QVM_SIGNATURE, QVM_SIGNATURE + QVM_SIGNATURE_SIZE);
    b.resize(68, 0);
    b[48] = 1;  // one order, then the file ends
    return b;
}

}  // namespace

TEST(QvmDatafileDamage, RefusedModuleDataLoadsAsASilentModule)
{
    register_datafile_qvmod();
    for (const Bytes &damaged : {Bytes{}, Bytes{'j', 'u', 'n', 'k'}, header_only()}) {
        const qvx_test::TempDir dir;
        const std::string path = dir.file("damaged.dat");
        ASSERT_TRUE(write_module_datafile(path.c_str(), damaged, "after"));
        qvmod_error[0] = '\0';
        DATAFILE *dat = load_datafile(path.c_str());
        ASSERT_NE(dat, nullptr);
        EXPECT_NE(qvmod_error[0], '\0') << "the reason is kept";
        ASSERT_EQ(dat[0].type, QVMOD_DAT_ID);
        const QVMOD *m = static_cast<const QVMOD *>(dat[0].dat);
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->channel_count, 1);
        EXPECT_EQ(m->order_count, 1);
        EXPECT_EQ(m->order_table[0], 0);
        ASSERT_EQ(m->pattern_count, 1);
        EXPECT_EQ(m->pattern_info[0].row_count, 1);
        EXPECT_EQ(m->pattern_info[0].notes[0].sample, 0);
        ASSERT_EQ(m->sample_count, 1);
        EXPECT_EQ(m->samples[0].len, 0u);
        EXPECT_NE(m->samples[0].data, nullptr);
        EXPECT_GT(m->initial_speed, 0);
        // The objects after it are read as usual.
        ASSERT_EQ(dat[1].type, DAT_DATA);
        EXPECT_EQ(std::memcmp(dat[1].dat, "after", 5), 0);
        unload_datafile(dat);  // the silent module goes with it (the leak checker watches)
    }
}
