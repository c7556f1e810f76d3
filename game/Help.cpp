// The help screen shown over the play field.
#include "Quorvex.h"

void Help() {}
