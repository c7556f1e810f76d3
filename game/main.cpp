// SPDX-License-Identifier: MIT
// Program entry: the library's entry wrapper hands control to the game.
#include "Quorvex.h"

int main(int argc, char *argv[])
{
    return QuorvexMain(argc, argv);
}
END_OF_MAIN()
