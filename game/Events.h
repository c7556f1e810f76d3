// SPDX-License-Identifier: MIT
// Requests from outside the screens: quitting by the close button or a signal, the focus, a held Esc.
#ifndef QUORVEX_EVENTS_H
#define QUORVEX_EVENTS_H

// True once the window's close button, or a termination, interrupt or hang-up signal, has asked
// the program to end: every screen loop then returns at once, and the title loop ends the program
// through its normal shut-down (which writes the high-score table).
bool QuitRequested();
void RequestQuit();  // safe to call from a signal handler
// Installs the close-button callback, the signal handlers and the focus-loss callback.
void InstallQuitAndFocusHandlers();
// True once for each time the window lost the focus since the last call (the play loop pauses).
bool TakeFocusLost();
// Esc (or the pad's leave button) by its state, for the screens that leave on it. An Esc that made another screen return
// does not count until it has been released, so holding Esc never chains through the screens.
bool EscapeDown();
// Called when a screen has returned to its caller: an Esc held now is not a fresh press.
void LatchEscape();

#endif
