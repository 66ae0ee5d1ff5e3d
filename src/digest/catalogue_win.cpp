#include "digest/catalogue_win.h"

#include "digest/catalogue.h"

void fill_algorithm_combo(HWND combo)
{
    SendMessageW(combo, CB_RESETCONTENT, 0, 0);
    for (AlgorithmId id = 0; id < algorithm_end; ++id) {
        for (const AlgorithmEntry* row = AlgorithmCatalogue; row->id != algorithm_end; ++row) {
            if (row->id == id) {
                SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(row->name));
                break;
            }
        }
    }
    SendMessageW(combo, CB_SETCURSEL, 0, 0);
}
