// Draws mock-ups of the game's screens from quorvex.dat into PCX files, to judge the art in place.
#include <allegro.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

enum {
  PIC_BUTTON = 9, PIC_DECREASE = 10, PIC_INCREASE = 11, PIC_TITLE_BUTTON = 12, PIC_CREDITS = 14,
  PIC_PREVIEW_EMPTY = 17, PIC_FRAME_H = 18, PIC_FRAME_V, PIC_FRAME_TL, PIC_FRAME_TR, PIC_FRAME_BL,
  PIC_FRAME_BR, PAL_GAME = 25, PIC_LOGO = 27, PIC_TITLE = 29, PAT_SCREENS = 30, PAT_MENU = 31,
  PAT_PLAY = 32, FONT_TEXT = 33, FONT_TABLE = 34, FONT_TITLE = 35
};

DATAFILE *data;
BITMAP *scr;

BITMAP *B(int i) { return static_cast<BITMAP *>(data[i].dat); }
FONT *F(int i) { return static_cast<FONT *>(data[i].dat); }

void frame(int x1, int y1, int x2, int y2, int a, int b) {
  hline(scr, x1, y1, x2, a); hline(scr, x1, y2, x2, b);
  vline(scr, x1, y1, y2, a); vline(scr, x2, y1, y2, b);
  hline(scr, x1 + 1, y1 + 1, x2 - 1, a); hline(scr, x1 + 1, y2 - 1, x2 - 1, b);
  vline(scr, x1 + 1, y1 + 1, y2 - 1, a); vline(scr, x2 - 1, y1 + 1, y2 - 1, b);
}

void button(const char *label, int x1, int y1, int x2, int y2, int c1, int c2, int pic, bool pressed = false) {
  if (!*label) blit(B(pic), scr, 0, 0, x1, y1, x2 - x1, y2 - y1);
  else rectfill(scr, x1, y1, x2, y2, 1);
  int ty = y1 + ((y2 - y1) - text_height(F(FONT_TITLE))) / 2, cx = x1 + (x2 - x1) / 2;
  int a = pressed ? c1 : c2, b = pressed ? c2 : c1;
  frame(x1, y1, x2, y2, a, b);
  textout_centre_ex(scr, F(FONT_TITLE), label, cx + 1, ty + 1, b, -1);
  textout_centre_ex(scr, F(FONT_TITLE), label, cx, ty, a, -1);
}

void pattern(int item) {
  drawing_mode(DRAW_MODE_COPY_PATTERN, B(item), 0, 0);
  rectfill(scr, 0, 0, 640, 480, 0);
  solid_mode();
}

void save(const std::string &dir, const char *name) {
  save_pcx((dir + "/" + name + ".pcx").c_str(), scr, static_cast<RGB *>(data[PAL_GAME].dat));
}

const char *FOOTER = "Quorvex Vastrelon v2.0 - a falling-block game";

void tile_frame(int x1, int y1, int x2, int y2, bool corners_last = false) {
  auto corners = [&] {
    draw_sprite(scr, B(PIC_FRAME_TL), x1, y1); draw_sprite(scr, B(PIC_FRAME_TR), x2, y1);
    draw_sprite(scr, B(PIC_FRAME_BL), x1, y2); draw_sprite(scr, B(PIC_FRAME_BR), x2, y2);
  };
  if (!corners_last) corners();
  for (int x = corners_last ? x1 : x1 + 20; x < (corners_last ? x2 + 1 : x2); x += 20) {
    draw_sprite(scr, B(PIC_FRAME_H), x, y1); draw_sprite(scr, B(PIC_FRAME_H), x, y2);
  }
  for (int y = y1 + 20; y < y2; y += 20) {
    draw_sprite(scr, B(PIC_FRAME_V), x1, y); draw_sprite(scr, B(PIC_FRAME_V), x2, y);
  }
  if (corners_last) corners();
}

}  // namespace

int main(int argc, char **argv) {
  if (argc != 3) { fprintf(stderr, "usage: %s quorvex.dat outdir\n", argv[0]); return 2; }
  if (install_allegro(SYSTEM_NONE, &errno, atexit) != 0) return 1;
  set_color_depth(8);
  data = load_datafile(argv[1]);
  if (!data) { fprintf(stderr, "cannot load %s\n", argv[1]); return 1; }
  std::string out = argv[2];
  scr = create_bitmap(640, 480);

  // Title screen.
  blit(B(PIC_TITLE), scr, 0, 0, 0, 0, 640, 480);
  textout_ex(scr, font, "NEW! Windows only version", 210, 450, 15, -1);
  textout_ex(scr, font, "(c) 2026 The Quorvex Team", 202, 460, 15, -1);
  button("PLAY GAME", 245, 320, 385, 345, 48, 14, PIC_TITLE_BUTTON);
  button("EXIT", 245, 350, 385, 375, 48, 14, PIC_TITLE_BUTTON, true);
  save(out, "title");

  // Main menu.
  pattern(PAT_MENU);
  rect(scr, 0, 0, 639, 479, 142);
  textout_ex(scr, font, FOOTER, 150, 468, 15, -1);
  draw_sprite(scr, B(PIC_LOGO), 135, 25);
  rect(scr, 135, 25, 524, 94, 227);
  const char *labels[] = {"Start Game", "Options", "View High Scores", "Credits", "Previous Menu"};
  for (int i = 0; i < 5; i++) button(labels[i], 200, 140 + 40 * i, 440, 170 + 40 * i, 15, 25, PIC_BUTTON, i == 2);
  save(out, "menu");

  // Play screen, mid-game.
  pattern(PAT_PLAY);
  tile_frame(20, 20, 240, 440);
  tile_frame(340, 20, 580, 135);
  tile_frame(340, 165, 440, 225);
  tile_frame(340, 260, 580, 440);
  tile_frame(460, 165, 580, 225, true);
  rectfill(scr, 360, 40, 580, 135, 0);
  rectfill(scr, 360, 280, 580, 440, 0);
  rectfill(scr, 480, 185, 580, 225, 0);
  textout_ex(scr, F(FONT_TITLE), "Quorvex", 505, 190, 5, -1);
  textout_ex(scr, F(FONT_TITLE), "Vastrelon", 500, 205, 5, -1);
  const char *keys[][3] = {{"Left & Right Arrows", "[Move piece left & right]", "381"}, {"Up Arrow", "[Rotate piece]", "470"},
                           {"Down Arrow", "[Lower piece]", "478"}, {"Space Bar", "[Drop piece]", "485"},
                           {"F2", "[New Game]", "501"}, {"F3", "[Screenshot]", "485"},
                           {"P", "[Pause Game]", "485"}, {"ESC", "[Quit Game]", "493"}};
  for (int i = 0; i < 8; i++) {
    int y = i == 0 ? 282 : 292 + 20 * i;
    textout_ex(scr, font, keys[i][0], 365, y, 86, -1);
    textout_ex(scr, font, keys[i][1], atoi(keys[i][2]), i == 0 ? 292 : y, 54, -1);
    if (i < 7) textout_ex(scr, font, "---------------------------", 365, 302 + 20 * i, 176, -1);
  }
  const char *caps[] = {"Score:", "Stage:", "Lines:", "Pieces:"};
  int values[] = {123450, 7, 73, 212};
  BITMAP *well = create_bitmap(200, 400);
  clear_to_color(well, 0);
  for (int c = 0; c < 10; c++)
    for (int r = 12; r < 20; r++)
      if ((c * 7 + r * 3) % 5 != 0) draw_sprite(well, B((c + r) % 8), 20 * c, 20 * r);
  for (int k = 0; k < 4; k++) draw_sprite(well, B(6), 20 * (3 + k), 20 * 4);
  blit(well, scr, 0, 0, 40, 40, 200, 400);
  destroy_bitmap(well);
  for (int i = 0; i < 4; i++) {
    textout_ex(scr, F(FONT_TEXT), caps[i], 365, 42 + 24 * i, 65, -1);
    char t[16];
    snprintf(t, sizeof t, "%7d", values[i]);
    textout_ex(scr, F(FONT_TABLE), t, 550 - text_length(font, t), 42 + 24 * i, 5, 0);
  }
  for (int c = 0; c < 4; c++)
    for (int r = 0; r < 2; r++)
      blit((r == 1 || c == 0) ? B(3) : B(PIC_PREVIEW_EMPTY), scr, 0, 0, 360 + 20 * c, 185 + 20 * r, 80, 40);
  textout_ex(scr, F(FONT_TEXT), "Paused", 100, 100, 70, -1);
  textout_ex(scr, F(FONT_TEXT), "Press [C]", 90, 150, 70, -1);
  textout_ex(scr, F(FONT_TEXT), "to continue...", 75, 200, 70, -1);
  save(out, "play");

  // Game over over the well.
  textout_centre_ex(scr, font, "G A M E", 135, 152, 15, -1);
  textout_centre_ex(scr, font, "O V E R", 135, 202, 15, -1);
  textout_ex(scr, font, "Press <Enter> to", 70, 252, 15, -1);
  textout_ex(scr, font, "start over again", 70, 277, 15, -1);
  save(out, "gameover");

  // Name entry over the play screen.
  drawing_mode(DRAW_MODE_COPY_PATTERN, B(PAT_SCREENS), 0, 0);
  rectfill(scr, 100, 150, 340, 280, 0);
  solid_mode();
  rect(scr, 100, 150, 340, 280, 142);
  textout_centre_ex(scr, F(FONT_TITLE), "You got high score", 210, 160, 15, -1);
  rectfill(scr, 150, 200, 290, 240, 0);
  rect(scr, 150, 200, 290, 240, 142);
  textout_ex(scr, F(FONT_TITLE), "Champion Zed_", 155, 212, 15, -1);
  save(out, "nameentry");

  // Options.
  pattern(PAT_SCREENS);
  rect(scr, 0, 0, 639, 479, 142);
  textout_centre_ex(scr, F(FONT_TITLE), "O P T I O N S", 320, 20, 5, -1);
  textout_centre_ex(scr, F(FONT_TEXT), "Sound Volume", 190, 160, 15, -1);
  textout_centre_ex(scr, F(FONT_TEXT), "Music Volume", 455, 160, 15, -1);
  textout_centre_ex(scr, F(FONT_TITLE), "STAGE OPTIONS", 320, 280, 5, -1);
  textout_centre_ex(scr, F(FONT_TEXT), "Starting Level", 185, 320, 15, -1);
  textout_centre_ex(scr, F(FONT_TEXT), "Starting Blocks", 450, 320, 15, -1);
  textout_ex(scr, font, FOOTER, 150, 468, 15, -1);
  button("E x i t", 215, 400, 425, 430, 15, 25, PIC_BUTTON);
  button("Sound On", 80, 100, 290, 130, 15, 25, PIC_BUTTON);
  button("Music Off", 350, 100, 560, 130, 15, 25, PIC_BUTTON);
  for (int y : {200, 350}) {
    button("", 80, y, 110, y + 30, 15, 25, PIC_DECREASE);
    button("", 260, y, 290, y + 30, 15, 25, PIC_INCREASE, y == 350);
    button("", 350, y, 380, y + 30, 15, 25, PIC_DECREASE, y == 350);
    button("", 530, y, 560, y + 30, 15, 25, PIC_INCREASE);
    button(y == 200 ? "200" : "3", 111, y, 259, y + 30, 15, 25, PIC_BUTTON);
    button(y == 200 ? "150" : "10", 381, y, 529, y + 30, 15, 25, PIC_BUTTON);
  }
  save(out, "options");

  // High scores.
  pattern(PAT_SCREENS);
  textout_ex(scr, font, FOOTER, 150, 468, 15, -1);
  rect(scr, 0, 0, 639, 479, 142);
  textout_centre_ex(scr, F(FONT_TITLE), "H I G H   S C O R E S", 320, 20, 15, -1);
  const char *heads[] = {"Name", "Score", "Level", "Lines", "Pieces"};
  int hx[] = {150, 380, 450, 520, 590};
  for (int i = 0; i < 5; i++) textout_ex(scr, F(FONT_TABLE), heads[i], hx[i], 60, 15, -1);
  for (int i = 0; i < 15; i++) {
    char t[64];
    snprintf(t, sizeof t, "%2d      %s", i + 1, i == 0 ? "Wide Wilhelmina W" : "Quorvex Champion");
    textout_ex(scr, F(FONT_TABLE), t, 55, 80 + 20 * i, 15, -1);
    snprintf(t, sizeof t, "%06d", i == 0 ? 987654 : 0);
    textout_ex(scr, F(FONT_TABLE), t, 380, 80 + 20 * i, 15, -1);
    snprintf(t, sizeof t, "%03d", 1);
    textout_ex(scr, F(FONT_TABLE), t, 460, 80 + 20 * i, 15, -1);
    snprintf(t, sizeof t, "%05d", 0);
    textout_ex(scr, F(FONT_TABLE), t, 530, 80 + 20 * i, 15, -1);
    snprintf(t, sizeof t, "%04d", 0);
    textout_ex(scr, F(FONT_TABLE), t, 600, 80 + 20 * i, 15, -1);
  }
  button("E x i t", 100, 420, 300, 450, 15, 25, PIC_BUTTON);
  button("R e s e t", 340, 420, 540, 450, 15, 25, PIC_BUTTON);
  save(out, "highscores");

  // Help.
  pattern(PAT_SCREENS);
  rect(scr, 0, 0, 639, 479, 143);
  textout_centre_ex(scr, F(FONT_TEXT), "HELP", 320, 10, 255, -1);
  textout_ex(scr, font, "Keys", 60, 100, 5, -1);
  textout_ex(scr, font, "--------", 45, 115, 15, -1);
  textout_ex(scr, font, "Action", 330, 100, 5, -1);
  textout_ex(scr, font, "--------------------------------------", 330, 115, 15, -1);
  const char *help[][2] = {{"Left & Right Arrow", ": Move The Piece Left & Right"}, {"Up Arrow", ": Rotate Piece"},
                           {"Down Arrow", ": Lowers Piece"}, {"Space Bar", ": Drops Piece To The Bottom"},
                           {"F1", ": Help (What You Are Looking At)"}, {"F2", ": Start A New Game"},
                           {"F3", ": Screenshot In PCX Format"}, {"ESC", ": Quit Game And/Or Menu"}};
  for (int i = 0; i < 8; i++) {
    textout_ex(scr, font, help[i][0], 20, 130 + 15 * i, 85, -1);
    textout_ex(scr, font, help[i][1], 330, 130 + 15 * i, 85, -1);
  }
  textout_centre_ex(scr, font, "Press ESC To Exit", 320, 450, 86, -1);
  save(out, "help");

  // Credits, mid-scroll.
  blit(B(PIC_CREDITS), scr, 0, 0, 0, 0, 640, 480);
  blit(B(PIC_LOGO), scr, 0, 0, 126, 25, 640, 480);
  const char *lines[] = {"Programming, Graphics, Level Design", "Music and Sounds  :  The Quorvex Team", " ",
                         "Dedicated to", "everyone who stacks", " ", "May your rows be full", "and your wells deep",
                         "and your pieces fall", "where you want them", " ", "Press ESC to continue"};
  for (int i = 0; i < 12; i++) textout_centre_ex(scr, F(FONT_TEXT), lines[i], 320, 120 + 20 * i, 5, -1);
  save(out, "credits");

  destroy_bitmap(scr);
  unload_datafile(data);
  return 0;
}
