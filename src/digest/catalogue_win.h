// Filling the dialog's algorithm lists from the catalogue (Windows only).
#pragma once

#include <windows.h>

// Empties the combo box, appends the name of every id 0..23 in id order (so a name's list
// index equals its AlgorithmId) and selects index 0, "--------".
void fill_algorithm_combo(HWND combo);
