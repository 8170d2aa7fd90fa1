// The rules of the mirror and flip states of the second channel, as plain C++:
// the toggle's step and the reading of a value stored in mirror.ini.
#pragma once

namespace mirror {

// The state after a click: one more, back to 0 once that would exceed 1 (so a
// stored 5, which counts as on, goes off at the first click).
int NextState(int state);
// A stored text as the state: the integer part of its leading number; an
// empty or non-numeric text gives 0, numbers beyond the int range are clamped
// to it (the conversion never overflows).
int StateFromText(const char* text);
// Whether a state counts as on (anything but 0).
inline bool IsOn(int state) { return state != 0; }

}  // namespace mirror
