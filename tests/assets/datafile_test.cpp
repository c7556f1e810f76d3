// SPDX-License-Identifier: MIT
// Checks the built quorvex.dat: every item's kind and index, and the sizes and colours the screens rely on.
#include <allegro.h>

#include <gtest/gtest.h>

#include "GameData.h"
#include "qvmod.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr int CELL = 20;

class Datafile : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        register_datafile_qvmod();  // item 24 then loads as a module, as it does in the game
        data = load_datafile(QVX_DATAFILE);
        ASSERT_NE(data, nullptr) << "cannot load " << QVX_DATAFILE;
    }
    static void TearDownTestSuite()
    {
        if (data) unload_datafile(data);
        data = nullptr;
    }
    void SetUp() override { ASSERT_NE(data, nullptr); }

    static BITMAP *bmp(int i) { return static_cast<BITMAP *>(data[i].dat); }
    static FONT *fnt(int i) { return static_cast<FONT *>(data[i].dat); }
    static SAMPLE *smp(int i) { return static_cast<SAMPLE *>(data[i].dat); }
    static const RGB *pal() { return static_cast<const RGB *>(data[PAL_GAME].dat); }

    // WCAG relative luminance of a palette entry, as the screen shows its 6-bit value.
    static double luminance(int index)
    {
        const RGB &c = pal()[index];
        auto lin = [](int v6) {
            double v = v6 / 63.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
    }
    static double contrast(int a, int b)
    {
        double la = luminance(a), lb = luminance(b);
        return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
    }
    // The colour of a picture that lies nearest in lightness to a text colour: the worst background.
    static double worst_contrast(BITMAP *b, int text)
    {
        double worst = 1e9;
        for (int y = 0; y < b->h; y++)
            for (int x = 0; x < b->w; x++)
                worst = std::min(worst, contrast(getpixel(b, x, y), text));
        return worst;
    }
    // Share of a picture's pixels on which text of a colour reads with at least the given contrast.
    static double readable_share(BITMAP *b, int text, double ratio)
    {
        long good = 0;
        for (int y = 0; y < b->h; y++)
            for (int x = 0; x < b->w; x++) good += contrast(getpixel(b, x, y), text) >= ratio;
        return static_cast<double>(good) / (b->w * b->h);
    }
};

TEST_F(Datafile, HoldsExactlyTheGamesItemsEachOfItsKind)
{
    int count = 0;
    while (data[count].type != DAT_END) count++;
    ASSERT_EQ(count, DATA_ITEM_COUNT);
    for (const DataItemKind &expected : DATA_ITEM_KINDS) {
        const DATAFILE &object = data[expected.item];
        if (expected.kind != ANY_KIND) {
            EXPECT_EQ(object.type, expected.kind) << "item " << expected.item;
        }
        EXPECT_NE(object.dat, nullptr) << "item " << expected.item;
    }
    EXPECT_TRUE(DatafileMatches(data)) << "the game's start-up check takes the built datafile";
}

TEST_F(Datafile, StartUpRefusesAShortDatafileOrAnItemOfAnotherKind)
{
    std::vector<DATAFILE> copy(data, data + DATA_ITEM_COUNT + 1);
    copy[SND_KEY].type = DAT_END;
    EXPECT_FALSE(DatafileMatches(copy.data())) << "the last item missing";
    copy[SND_KEY] = data[SND_KEY];
    std::swap(copy[FONT_TEXT].type, copy[PIC_LOGO].type);
    EXPECT_FALSE(DatafileMatches(copy.data())) << "a font where a bitmap belongs";
    std::swap(copy[FONT_TEXT].type, copy[PIC_LOGO].type);
    copy[ITEM_UNUSED_8].type = DAT_FONT;
    copy[ITEM_UNUSED_15].type = DAT_MIDI;
    EXPECT_TRUE(DatafileMatches(copy.data())) << "an unused index holds anything";
}

TEST_F(Datafile, CellSizedPicturesAreTwentyPixelsSquare)
{
    std::vector<int> cells = {PIC_PREVIEW_EMPTY};
    for (int i = TILE_1; i < TILE_1 + 8; i++) cells.push_back(i);
    for (int i = PIC_FRAME_H; i <= PIC_FRAME_BR; i++) cells.push_back(i);
    for (int i : cells) {
        EXPECT_EQ(bmp(i)->w, CELL) << "item " << i;
        EXPECT_EQ(bmp(i)->h, CELL) << "item " << i;
    }
}

TEST_F(Datafile, PicturesFitWhereTheScreensDrawThem)
{
    for (int i = 0; i < DATA_ITEM_COUNT; i++)
        if (data[i].type == DAT_BITMAP) {
            EXPECT_EQ(bitmap_color_depth(bmp(i)), 8) << "item " << i;
        }
    for (int i : {PIC_TITLE, PIC_CREDITS}) {
        EXPECT_EQ(bmp(i)->w, 640);
        EXPECT_EQ(bmp(i)->h, 480);
    }
    // Inside the menu's 390x70 outline, and not a sliver of it.
    EXPECT_LE(bmp(PIC_LOGO)->w, 390);
    EXPECT_LE(bmp(PIC_LOGO)->h, 70);
    EXPECT_GE(bmp(PIC_LOGO)->w, 300);
    // Faces must cover the largest button they are given to: menu 240x30, title 140x25, arrows 30x30.
    EXPECT_GE(bmp(PIC_BUTTON)->w, 240);
    EXPECT_GE(bmp(PIC_BUTTON)->h, 30);
    EXPECT_GE(bmp(PIC_TITLE_BUTTON)->w, 140);
    EXPECT_GE(bmp(PIC_TITLE_BUTTON)->h, 25);
    for (int i : {PIC_DECREASE, PIC_INCREASE}) {
        EXPECT_EQ(bmp(i)->w, 30);
        EXPECT_EQ(bmp(i)->h, 30);
    }
    EXPECT_NE(memcmp(bmp(PIC_DECREASE)->line[15], bmp(PIC_INCREASE)->line[15], 30), 0)
        << "decrease and increase faces look the same";
}

TEST_F(Datafile, FillPatternsHavePowerOfTwoSides)
{
    for (int i : {PAT_SCREENS, PAT_MENU, PAT_PLAY}) {
        int w = bmp(i)->w, h = bmp(i)->h;
        EXPECT_TRUE(w > 0 && (w & (w - 1)) == 0) << "item " << i << " width " << w;
        EXPECT_TRUE(h > 0 && (h & (h - 1)) == 0) << "item " << i << " height " << h;
    }
}

TEST_F(Datafile, TilesAreSolidAndTellApartWithoutHue)
{
    std::vector<std::vector<double>> grey(8);
    for (int k = 0; k < 8; k++) {
        BITMAP *t = bmp(TILE_1 + k);
        for (int y = 0; y < CELL; y++)
            for (int x = 0; x < CELL; x++) {
                int c = getpixel(t, x, y);
                EXPECT_NE(c, 0) << "tile " << k + 1 << " has a transparent pixel at " << x << ","
                                << y;
                grey[k].push_back(luminance(c));
            }
    }
    // Two kinds must differ in lightness over a good part of the cell, not only in hue.
    for (int a = 0; a < 8; a++)
        for (int b = a + 1; b < 8; b++) {
            int differing = 0;
            for (size_t p = 0; p < grey[a].size(); p++)
                if (std::fabs(grey[a][p] - grey[b][p]) > 0.04) differing++;
            EXPECT_GT(differing, CELL * CELL / 4) << "tiles " << a + 1 << " and " << b + 1;
        }
}

TEST_F(Datafile, PaletteGivesEveryNamedColourItsRole)
{
    const RGB &black = pal()[0];
    EXPECT_EQ(black.r + black.g + black.b, 0) << "colour 0 is black";
    // Text drawn on black: panel labels and numbers, legend, pause, game over, title words.
    for (int text : {5, 15, 54, 65, 70, 86})
        EXPECT_GE(contrast(text, 0), 4.5) << "colour " << text << " on black";
    EXPECT_GE(contrast(176, 0), 1.8) << "legend separators must show on black";
    EXPECT_LT(luminance(176), luminance(54)) << "separators stay quieter than the legend text";
    // Button labels on the button face, in both states.
    for (int text : {25, 15, 14})
        EXPECT_GE(contrast(text, 1), 4.5) << "colour " << text << " on face 1";
    EXPECT_GE(contrast(48, 1), 2.0) << "pressed title button label";
    // Bevel pairs: the light edge lighter than the dark edge.
    EXPECT_GT(luminance(25), luminance(15));
    EXPECT_GT(luminance(14), luminance(48));
    // Text on the screens' fill pattern, and the borders around it.
    for (int text : {5, 15, 85, 86, 255})
        EXPECT_GE(worst_contrast(bmp(PAT_SCREENS), text), 3.0)
            << "colour " << text << " on PAT_SCREENS";
    for (int border : {142, 143}) EXPECT_GE(worst_contrast(bmp(PAT_SCREENS), border), 1.5);
    EXPECT_GE(worst_contrast(bmp(PAT_MENU), 15), 3.0) << "footer on PAT_MENU";
    EXPECT_GE(worst_contrast(bmp(PAT_MENU), 227), 2.0) << "logo outline on PAT_MENU";
}

TEST_F(Datafile, TitleAndCreditsLeaveRoomForTheirTexts)
{
    // The version and authorship lines at y 450 and 460 in colour 15, the credits lines in colour 5.
    BITMAP *title = create_sub_bitmap(bmp(PIC_TITLE), 190, 448, 260, 22);
    ASSERT_NE(title, nullptr);
    EXPECT_GE(worst_contrast(title, 15), 4.5);
    destroy_bitmap(title);
    // Stars and the logo plate's rim may be bright; the rest must be quiet.
    EXPECT_GE(readable_share(bmp(PIC_CREDITS), 5, 4.5), 0.97);
}

TEST_F(Datafile, FontHeightsFitTheLayouts)
{
    // Table rows and credits lines are 20 pixels apart; title buttons are 25 high with a 2-pixel bevel.
    EXPECT_LE(text_height(fnt(FONT_TABLE)), 19);
    EXPECT_LE(text_height(fnt(FONT_TEXT)), 19);
    EXPECT_LE(text_height(fnt(FONT_TITLE)), 21);
    for (int f : {FONT_TEXT, FONT_TABLE, FONT_TITLE}) {
        EXPECT_GE(text_height(fnt(f)), 10) << "font " << f;
        for (int c = ' '; c <= '~'; c++) {
            char s[2] = {static_cast<char>(c), 0};
            EXPECT_GT(text_length(fnt(f), s), 0) << "font " << f << " lacks '" << s << "'";
        }
    }
}

TEST_F(Datafile, FontWidthsFitTheLayouts)
{
    // "Vastrelon" from x 500 inside the title panel, which ends at x 580.
    EXPECT_LE(text_length(fnt(FONT_TITLE), "Vastrelon"), 80);
    EXPECT_LE(text_length(fnt(FONT_TITLE), "View High Scores"), 236);
    // Pause lines over the well (x 40..239).
    EXPECT_LE(75 + text_length(fnt(FONT_TEXT), "to continue..."), 239);
    // High-score table: the last heading at x 590 inside the border at x 639, names clear of the scores.
    EXPECT_LE(590 + text_length(fnt(FONT_TABLE), "Pieces"), 638);
    EXPECT_LE(600 + text_length(fnt(FONT_TABLE), "0000"), 638);
    EXPECT_LE(55 + text_length(fnt(FONT_TABLE), "15      Quorvex Champion"), 375);
    EXPECT_LE(380 + text_length(fnt(FONT_TABLE), "000000"), 455);
    // Panel numbers start at 550 - 56 and must stay inside the panel (x < 580).
    EXPECT_LE(494 + text_length(fnt(FONT_TABLE), "9999999"), 579);
}

TEST_F(Datafile, TableDigitsAndSpacesShareOneWidth)
{
    FONT *f = fnt(FONT_TABLE);
    int w = text_length(f, "0");
    for (const char *d : {"1", "2", "3", "4", "5", "6", "7", "8", "9", " "})
        EXPECT_EQ(text_length(f, d), w) << d;
    char a[16], b[16];
    snprintf(a, sizeof a, "%7d", 1);
    snprintf(b, sizeof b, "%7d", 1234567);
    EXPECT_EQ(text_length(f, a), text_length(f, b)) << "padded numbers must line up on the right";
}

TEST_F(Datafile, SamplesAreShortAndClean)
{
    for (int i : {SND_CLICK, SND_ROWS, SND_HIGH_SCORE, SND_KEY}) {
        SAMPLE *s = smp(i);
        ASSERT_GT(s->len, 0UL) << "item " << i;
        EXPECT_EQ(s->stereo, 0) << "item " << i;
        ASSERT_TRUE(s->bits == 8 || s->bits == 16) << "item " << i;
        EXPECT_LE(s->len, static_cast<unsigned long>(s->freq) * 2)
            << "item " << i << " longer than 2 s";
        // Allegro holds samples unsigned: silence is the middle value.
        const double mid = s->bits == 16 ? 32768.0 : 128.0;
        auto at = [&](unsigned long k) {
            double v = s->bits == 16 ? static_cast<const unsigned short *>(s->data)[k]
                                     : static_cast<const unsigned char *>(s->data)[k];
            return (v - mid) / mid;
        };
        double peak = 0, sum = 0;
        for (unsigned long k = 0; k < s->len; k++) {
            peak = std::max(peak, std::fabs(at(k)));
            sum += at(k);
        }
        EXPECT_GT(peak, 0.2) << "item " << i << " is nearly silent";
        EXPECT_LT(peak, 0.95) << "item " << i << " reaches full scale";
        EXPECT_LT(std::fabs(sum / s->len), 0.01) << "item " << i << " has a DC offset";
        EXPECT_LT(std::fabs(at(0)), 0.02) << "item " << i << " starts with a click";
        EXPECT_LT(std::fabs(at(s->len - 1)), 0.02) << "item " << i << " ends with a click";
    }
}

TEST_F(Datafile, CreditsSongIsAMidiFileWithNotes)
{
    MIDI *m = static_cast<MIDI *>(data[MIDI_CREDITS].dat);
    EXPECT_GT(m->divisions, 0);
    int note_ons = 0;
    for (const auto &track : m->track)
        for (int k = 0; track.data && k + 2 < track.len; k++)
            if ((track.data[k] & 0xF0) == 0x90 && track.data[k + 2] > 0) note_ons++;
    EXPECT_GT(note_ons, 50);
}

// Length of a MIDI song in seconds: the latest event of any track, at the song's tempo changes.
// Returns a negative value for a track that does not parse.
double midi_seconds(const MIDI *m)
{
    struct Tempo {
        long tick;
        long us_per_quarter;
    };
    std::vector<Tempo> tempos{{0, 500000}};  // the standard's default, 120 beats a minute
    long last = 0;
    for (const auto &track : m->track) {
        const unsigned char *d = track.data;
        long pos = 0, tick = 0;
        int status = 0;
        auto vlq = [&](long &out) {
            out = 0;
            for (int k = 0; k < 4; k++) {
                if (pos >= track.len) return false;
                const unsigned char b = d[pos++];
                out = (out << 7) | (b & 0x7F);
                if (!(b & 0x80)) return true;
            }
            return false;
        };
        while (d && pos < track.len) {
            long delta = 0, len = 0;
            if (!vlq(delta)) return -1;
            tick += delta;
            if (pos >= track.len) return -1;
            int b = d[pos];
            if (b == 0xFF) {
                if (pos + 2 > track.len) return -1;
                const int type = d[pos + 1];
                pos += 2;
                if (!vlq(len) || pos + len > track.len) return -1;
                if (type == 0x51 && len == 3)
                    tempos.push_back(
                        {tick, (static_cast<long>(d[pos]) << 16) | (d[pos + 1] << 8) | d[pos + 2]});
                pos += len;
            } else if (b == 0xF0 || b == 0xF7) {
                pos++;
                if (!vlq(len) || pos + len > track.len) return -1;
                pos += len;
            } else {
                if (b & 0x80) status = b, pos++;
                if (!status) return -1;
                pos += ((status & 0xF0) == 0xC0 || (status & 0xF0) == 0xD0) ? 1 : 2;
            }
            last = std::max(last, tick);
        }
    }
    std::sort(tempos.begin(), tempos.end(),
              [](const Tempo &a, const Tempo &b) { return a.tick < b.tick; });
    double seconds = 0;
    for (size_t i = 0; i < tempos.size() && tempos[i].tick < last; i++) {
        const long end = i + 1 < tempos.size() ? std::min(last, tempos[i + 1].tick) : last;
        seconds += static_cast<double>(end - tempos[i].tick) / m->divisions *
                   tempos[i].us_per_quarter / 1e6;
    }
    return seconds;
}

TEST_F(Datafile, CreditsSongLastsAboutAMinute)
{
    const MIDI *m = static_cast<const MIDI *>(data[MIDI_CREDITS].dat);
    ASSERT_GT(m->divisions, 0);
    const double seconds = midi_seconds(m);
    EXPECT_GE(seconds, 45.0);
    EXPECT_LE(seconds, 90.0);
}

TEST_F(Datafile, ModuleItemIsAFourChannelModuleThePlayerCanWalk)
{
    const QVMOD *m = static_cast<const QVMOD *>(data[MOD_GAME].dat);
    // The game installs the player with four voices: more channels would go unheard.
    EXPECT_EQ(m->channel_count, 4);
    ASSERT_GE(m->order_count, 2);
    ASSERT_LE(m->order_count, QVMOD_MAX_ORDERS);
    EXPECT_LT(m->restart_order, m->order_count);
    EXPECT_GT(m->initial_speed, 0);
    EXPECT_GE(m->initial_bpm, 32);
    EXPECT_GT(m->initial_global_volume, 0);
    ASSERT_GE(m->sample_count, 1);
    for (int i = 0; i < m->order_count; i++) {
        EXPECT_GE(m->order_table[i], 0);
        EXPECT_LT(m->order_table[i], m->pattern_count) << "order " << i;
    }
    for (int i = 0; i < m->sample_count; i++) {
        const SAMPLE &s = m->samples[i];
        EXPECT_GT(s.len, 0UL) << "sample " << i;
        EXPECT_EQ(s.stereo, 0);
        EXPECT_LE(s.loop_start, s.loop_end);
        EXPECT_LE(s.loop_end, s.len);
        EXPECT_GT(m->sample_info[i].volume, 0);
        EXPECT_LE(m->sample_info[i].volume, 64);
    }
    int notes = 0;
    for (int p = 0; p < m->pattern_count; p++) {
        const PATTERN_INFO &pat = m->pattern_info[p];
        ASSERT_GT(pat.row_count, 0);
        for (int c = 0; c < pat.row_count * m->channel_count; c++) {
            const NOTE_INFO &n = pat.notes[c];
            EXPECT_LE(n.sample, m->sample_count) << "pattern " << p << " cell " << c;
            if (n.note > 0) notes++;
        }
    }
    EXPECT_GT(notes, 100) << "a real tune, not an empty placeholder";
}

}  // namespace
