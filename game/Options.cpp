// The options screen: sound and music switches and volumes, starting level and blocks.
#include "Quorvex.h"

void Options() {}
