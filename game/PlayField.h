// SPDX-License-Identifier: MIT
// Drawing the play screen: the frames, the panel, the well and the preview of the next piece.
#ifndef QUORVEX_PLAYFIELD_H
#define QUORVEX_PLAYFIELD_H

// The whole play screen around an empty well: background, frames, title, legend, panel labels.
void InitGameGraphics();
void Draw_Frame();
// The well with the falling piece, through the well's back buffer, and the four panel numbers.
void Draw_Map();
// The preview box: the top two rows of the next piece's box, one tile per cell.
void DrawPreview();

#endif
