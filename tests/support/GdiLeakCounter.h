#pragma once
// What the process really holds in GDI and GDI+ objects, for leak checks that must see raw handles
// as well as the platform layer's owners.
//
// GDI: every live object of the process (pens, brushes, fonts, bitmaps, regions, palettes, device
// contexts, including those Wine makes for itself), read from Wine's handle table.
// GDI+: images, graphics, brushes, pens, fonts, attributes, paths, regions, matrices and string
// formats created through this executable's imports of gdiplus.dll and not yet disposed.

#include <windows.h>

#include <array>
#include <string>

// Live objects by kind.
struct CGdiTally {
    enum Kind {
        // GDI, by GetObjectType value (OBJ_PEN = 1 ... OBJ_COLORSPACE = 14).
        GDI_LAST = 14,
        // GDI+ families.
        GP_IMAGE,
        GP_GRAPHICS,
        GP_IMAGE_ATTRIBUTES,
        GP_BRUSH,
        GP_PEN,
        GP_FONT,
        GP_FONT_FAMILY,
        GP_STRING_FORMAT,
        GP_PATH,
        GP_REGION,
        GP_MATRIX,
        KIND_COUNT
    };
    std::array<long, KIND_COUNT> m_n{};

    long Gdi() const;
    long Gdiplus() const;
    long Total() const { return Gdi() + Gdiplus(); }
    long operator[](int kind) const { return m_n[static_cast<size_t>(kind)]; }
    // "" when equal, otherwise the kinds that differ, e.g. "brush +1, GDI+ image +2".
    static std::string Difference(const CGdiTally& before, const CGdiTally& after);
    static const char* KindName(int kind);
};

// The GDI objects of the process right now. Wine only (GetGuiResources answers 0 there).
CGdiTally CountLiveGdiObjects();

// GDI objects and GDI+ objects together.
CGdiTally CountLiveObjects();

// Records the tally when made; Leaks() names what is held now and was not then.
class CGdiLeakScope {
  public:
    CGdiLeakScope() : m_before(CountLiveObjects()) {}
    const CGdiTally& Before() const { return m_before; }
    std::string Leaks() const { return CGdiTally::Difference(m_before, CountLiveObjects()); }

  private:
    CGdiTally m_before;
};
