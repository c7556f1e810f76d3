// The high-score screens: qualification and insertion, name entry, the table.
#include "Quorvex.h"

void GotHighScore() {}
void GetHighScore() {}
void ViewHighScores() {}
void DrawHighScores() {}
