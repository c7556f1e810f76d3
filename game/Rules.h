// SPDX-License-Identifier: MIT
// The rules on the game record: fitting, turning, locking, removing rows, dealing pieces.
#ifndef QUORVEX_RULES_H
#define QUORVEX_RULES_H

// -1 when every cell of the falling piece lies inside the well on an empty cell, else 0.
int Can_Put();
// The row the falling piece's box would rest on if dropped now (its own row when it does not fit);
// the record is left as it is.
int LandingRow();
// Turns the piece a quarter clockwise, or leaves it as it was when the turned piece does not fit.
void Rotate_Block();
// Locks the piece into the well and removes full rows; returns the new fall delay.
int Put_Block();
// Removes full rows, scores them and the locked piece, and recomputes the fall delay.
int Delete_Row();
// Brings in the announced piece at the top, announces the next, and ends the game when it
// cannot be placed.
void Generate_New();
// Empties the well and deals the first two pieces (the next one first, then the falling one).
void ResetWell();
// Fills each cell of the bottom `rows` rows with colour code 1 at random (probability 1/2).
void FillStartingRows(int rows);

#endif
