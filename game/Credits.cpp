// The scrolling credits screen.
#include "Quorvex.h"

void ViewCredits() {}
