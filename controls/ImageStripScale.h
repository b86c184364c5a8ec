#pragma once
// A strip of square pictures (an image list's source bitmap) redrawn for a display scale. The
// strip's pictures are scaled one by one, so no picture bleeds into its neighbour, and each comes
// out exactly ScaleForDpi(cell) pixels wide, so an image list of that size cuts the strip where
// the pictures are. A whole multiple of 96 dpi copies pixels (crisp, no blur at 200 %); any other
// scale averages them (HALFTONE), which looks better than uneven doubled pixels.

#include <windows.h>

// A new 24-bit bitmap holding hStrip's pictures (each nCell pixels square at 96 dpi) at dpi, or
// null when the strip cannot be read. The caller deletes the result; hStrip stays the caller's.
HBITMAP ScaleImageStrip(HBITMAP hStrip, int nCell, int dpi);
