// Screens still to be built; each returns at once so the title screen works end to end.
#include "Quorvex.h"

Button *btn_start_game = nullptr;
Button *btn_options = nullptr;
Button *btn_high_scores = nullptr;
Button *btn_credits = nullptr;
Button *btn_prev_menu = nullptr;

void StartGameMenu() {}
