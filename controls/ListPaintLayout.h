// ListPaintLayout.h - what every row of one list paint shares.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <vector>

// Under Wine every list-view or header question is a message worth tens of microseconds, and a
// row asked them for each cell: a paint of 40 rows held the window for 150 ms. Within one paint
// the columns do not move, so the first row drawn asks once and the other rows are placed by
// their offset from it.
struct ListPaintLayout {
    struct Column {
        int left = 0; // from the row's left edge
        int right = 0;
        int format = 0; // LVCFMT_JUSTIFYMASK bits
    };

    bool bInPaint = false; // set while the platform draws the rows of one paint
    bool bReady = false;   // the first row has filled the rest
    int columns = 0;
    RECT rcClient{};
    bool bWindowDisabled = false;
    bool bRowCheckBoxes = false; // LVS_EX_CHECKBOXES
    HFONT hFont = nullptr;
    HIMAGELIST hSmallImages = nullptr;
    int focusRow = -1; // the row outlined as the keyboard's, -1 for none
    int cellTop = 0;   // from the row's top edge
    int cellBottom = 0;
    RECT icon{}; // column 0's icon, from the row's top-left corner
    std::vector<Column> cells;

    // The cell's rectangle in a row whose drawing rectangle is rcRow.
    RECT CellIn(const RECT& rcRow, int col) const
    {
        const Column& column = cells[static_cast<size_t>(col)];
        return {rcRow.left + column.left, rcRow.top + cellTop, rcRow.left + column.right,
                rcRow.top + cellBottom};
    }
};
