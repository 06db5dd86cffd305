// Writer's key events to the add-in's keys: what a key press in Tibetan mode hands to the composer.
// Reads a key event's code, character and modifiers (as UNO's awt Key and KeyModifier give them).
#pragma once

namespace tibet::writer {

// The awt values the map reads.
inline constexpr int kAwtShift = 1;
inline constexpr int kAwtCtrl = 2;
inline constexpr int kAwtAlt = 4;
inline constexpr int kAwtBackspace = 1283;
inline constexpr int kAwtX = 535;

// The add-in's key for a key press (a printable ASCII character, 8 for BackSpace, 24 for Ctrl+X, 25 for
// Alt+X, as the Word bindings give them), or -1: the key is Writer's (Return, arrows, shortcuts).
int addin_key(int key_code, int key_char, int modifiers);

}  // namespace tibet::writer
