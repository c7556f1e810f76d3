// Saving the running game to a file and loading one back.
#include "Quorvex.h"

void SaveGame() {}
void LoadGame() {}
