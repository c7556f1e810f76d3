// The settings kept between runs in quorvex.cfg: sound and music, volumes, starting stage and rows.
#include "SettingsFile.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "OptionSettings.h"
#include "Quorvex.h"
#include "SafeFile.h"

namespace {

constexpr char SECTION[] = "quorvex";
// Far more than a valid file holds, comments and all; the rest of a larger file is not read.
constexpr size_t MAX_FILE_SIZE = 64 * 1024;

enum class Kind { Switch, Volume, Count };

struct Setting {
    const char *key;
    int *value;
    Kind kind;
    int top;  // largest count (Kind::Count)
};

// clang-format off
const Setting SETTINGS[] = {
    {"sound", &sound_on, Kind::Switch, 0},
    {"music", &music_on, Kind::Switch, 0},
    {"sound_volume", &sound_volume, Kind::Volume, VOLUME_MAX},
    {"music_volume", &music_volume, Kind::Volume, VOLUME_MAX},
    {"start_level", &start_level, Kind::Count, LEVEL_MAX},
    {"start_blocks", &start_blocks, Kind::Count, BLOCKS_MAX},
};
// clang-format on

std::string Trim(const std::string &s)
{
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) return "";
    return s.substr(first, s.find_last_not_of(" \t\r") - first + 1);
}

// A plain decimal number of at most three digits.
bool Number(const std::string &s, int &out)
{
    if (s.empty() || s.size() > 3) return false;
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
    case Kind::Count: return Number(value, out) && out <= setting.top;
    }
    return false;
}

void TakeLine(const std::string &line, bool &in_section)
{
    const std::string s = Trim(line);
    if (s.empty() || s[0] == '#' || s[0] == ';') return;
    if (s[0] == '[') {
        in_section = s == std::string("[") + SECTION + "]";
        return;
    }
    const size_t eq = s.find('=');
    if (!in_section || eq == std::string::npos) return;
    const std::string key = Trim(s.substr(0, eq));
    const std::string value = Trim(s.substr(eq + 1));
    for (const Setting &setting : SETTINGS) {
        int parsed = 0;
        if (key == setting.key && Parse(setting, value, parsed)) *setting.value = parsed;
    }
}

}  // namespace

std::string FormatSettings()
{
    std::string out = "# Quorvex Vastrelon settings, written by the game at exit\n[";
    out += SECTION;
    out += "]\n";
    for (const Setting &setting : SETTINGS) {
        char line[64];
        if (setting.kind == Kind::Switch) {
            std::snprintf(line, sizeof line, "%s = %s\n", setting.key,
                          *setting.value ? "on" : "off");
        } else {
            std::snprintf(line, sizeof line, "%s = %d\n", setting.key, *setting.value);
        }
        out += line;
    }
    return out;
}

void ParseSettings(const char *contents, size_t size)
{
    bool in_section = false;
    std::string line;
    for (size_t i = 0; i < size; i++) {
        if (contents[i] == '\n') {
            TakeLine(line, in_section);
            line.clear();
        } else {
            line += contents[i];
        }
    }
    TakeLine(line, in_section);
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
