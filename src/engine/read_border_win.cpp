// Alone in its file: a test program that defines at_read_border itself links its own, and
// this one is then never taken from the library.
#include "engine/read_border_win.h"

void at_read_border(Thread&, uint64_t, uint32_t) {}
