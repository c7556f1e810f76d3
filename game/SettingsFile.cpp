// SPDX-License-Identifier: MIT
// The settings kept between runs in quorvex.cfg: sound and music, volumes, starting stage and rows.
#include "SettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "KeyBindings.h"
#include "OptionSettings.h"
#include "Pad.h"
#include "Quorvex.h"
#include "SafeFile.h"

namespace {

// The file's sections: the settings of the options and Controls screens, the keys, the pad.
enum class Section { Other, Game, Keys, Pad };
constexpr const char *SECTION_NAMES[] = {"", "quorvex", "keys", "joystick"};
// Far more than a valid file holds, comments and all; the rest of a larger file is not read.
constexpr size_t MAX_FILE_SIZE = 64 * 1024;

enum class Kind { Switch, Volume, Count };

struct Setting {
    Section section;
    const char *key;
    int *value;
    Kind kind;
    int top;         // largest count (Kind::Count)
    int bottom = 0;  // smallest count
};

// clang-format off
const Setting SETTINGS[] = {
    {Section::Game, "sound", &sound_on, Kind::Switch, 0},
    {Section::Game, "music", &music_on, Kind::Switch, 0},
    {Section::Game, "sound_volume", &sound_volume, Kind::Volume, VOLUME_MAX},
    {Section::Game, "music_volume", &music_volume, Kind::Volume, VOLUME_MAX},
    {Section::Game, "start_level", &start_level, Kind::Count, LEVEL_MAX},
    {Section::Game, "start_blocks", &start_blocks, Kind::Count, BLOCKS_MAX},
    {Section::Game, "ghost_piece", &ghost_piece, Kind::Switch, 0},
    {Section::Pad, "turn", &pad_settings.turn, Kind::Count, PAD_BUTTON_MAX, 1},
    {Section::Pad, "drop", &pad_settings.drop, Kind::Count, PAD_BUTTON_MAX, 1},
    {Section::Pad, "leave", &pad_settings.leave, Kind::Count, PAD_BUTTON_MAX, 1},
    {Section::Pad, "pause", &pad_settings.pause, Kind::Count, PAD_BUTTON_MAX, 1},
    {Section::Pad, "select", &pad_settings.select, Kind::Count, PAD_BUTTON_MAX, 1},
    {Section::Pad, "dead_zone", &pad_settings.dead_zone, Kind::Count, DEAD_ZONE_MAX},
    {Section::Pad, "repeat_delay", &pad_settings.repeat_delay, Kind::Count, REPEAT_DELAY_MAX, REPEAT_DELAY_MIN},
    {Section::Pad, "repeat_interval", &pad_settings.repeat_interval, Kind::Count, REPEAT_INTERVAL_MAX, REPEAT_INTERVAL_MIN},
};
// clang-format on

// The keys the file's [keys] section asks for while it is read (0: none asked).
struct KeyEntries {
    int wanted[ACTION_COUNT] = {};
};

std::string Trim(const std::string &s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A plain decimal number of at most four digits.
bool Number(const std::string &s, int &out)
{
    if (s.empty() || s.size() > 4) return false;
    for (char c : s)
        if (c < '0' || c > '9') return false;
    out = std::atoi(s.c_str());
    return true;
}

bool Parse(const Setting &setting, const std::string &value, int &out)
{
    switch (setting.kind) {
    case Kind::Switch:
        if (value == "on")
            out = YES;
        else if (value == "off")
            out = NO;
        else
            return false;
        return true;
    case Kind::Volume: return Number(value, out) && out <= setting.top && out % VOLUME_STEP == 0;
    case Kind::Count: return Number(value, out) && out >= setting.bottom && out <= setting.top;
    }
    return false;
}

void TakeLine(const std::string &line, Section &section, KeyEntries &keys)
{
    const std::string s = Trim(line);
    if (s.empty() || s[0] == '#' || s[0] == ';') return;
    if (s[0] == '[') {
        section = Section::Other;
        for (Section named : {Section::Game, Section::Keys, Section::Pad}) {
            if (s == std::string("[") + SECTION_NAMES[static_cast<int>(named)] + "]")
                section = named;
        }
        return;
    }
    const size_t eq = s.find('=');
    if (section == Section::Other || eq == std::string::npos) return;
    const std::string key = Trim(s.substr(0, eq));
    const std::string value = Trim(s.substr(eq + 1));
    if (section == Section::Keys) {
        for (int a = 0; a < ACTION_COUNT; a++)
            if (key == ActionConfigName(a)) keys.wanted[a] = KeyOfConfigName(value);
        return;
    }
    for (const Setting &setting : SETTINGS) {
        int parsed = 0;
        if (setting.section == section && key == setting.key && Parse(setting, value, parsed))
            *setting.value = parsed;
    }
}

void FormatSection(std::string &out, Section section)
{
    out += std::string("[") + SECTION_NAMES[static_cast<int>(section)] + "]\n";
    for (const Setting &setting : SETTINGS) {
        if (setting.section != section) continue;
        char line[64];
        if (setting.kind == Kind::Switch) {
            std::snprintf(line, sizeof line, "%s = %s\n", setting.key,
                          *setting.value ? "on" : "off");
        } else {
            std::snprintf(line, sizeof line, "%s = %d\n", setting.key, *setting.value);
        }
        out += line;
    }
}

}  // namespace

std::string FormatSettings()
{
    std::string out = "# Quorvex Vastrelon settings, written by the game at exit\n";
    FormatSection(out, Section::Game);
    out += "\n";
    FormatSection(out, Section::Pad);
    out += "\n[";
    out += SECTION_NAMES[static_cast<int>(Section::Keys)];
    out += "]\n";
    for (int a = 0; a < ACTION_COUNT; a++)
        out += std::string(ActionConfigName(a)) + " = " + KeyConfigName(key_bindings[a]) + "\n";
    return out;
}

void ParseSettings(const char *contents, size_t size)
{
    Section section = Section::Other;
    KeyEntries keys;
    std::string line;
    for (size_t i = 0; i < size; i++) {
        if (contents[i] == '\n') {
            TakeLine(line, section, keys);
            line.clear();
        } else {
            line += contents[i];
        }
    }
    TakeLine(line, section, keys);
    TakeKeyEntries(keys.wanted);
}

void ReadSettingsFile(const char *path)
{
    FilePtr f = OpenRegularFile(path);
    if (!f) return;
    // One byte more than is read, to see whether the file goes on.
    std::vector<char> contents(MAX_FILE_SIZE + 1);
    size_t size = std::fread(contents.data(), 1, contents.size(), f.get());
    if (size > MAX_FILE_SIZE) {
        // The line the bound cuts is not read as a shorter value; what follows keeps its value.
        size = MAX_FILE_SIZE;
        while (size > 0 && contents[size - 1] != '\n') size--;
    }
    ParseSettings(contents.data(), size);
}

bool WriteSettingsFile(const char *path)
{
    const std::string contents = FormatSettings();
    return WriteFileAtomically(path, contents.data(), contents.size());
}
