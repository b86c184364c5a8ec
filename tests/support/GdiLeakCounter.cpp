#include "GdiLeakCounter.h"

// The flat GDI+ declarations name the types the hooks copy.
#include <objidl.h>
#include <gdiplus.h>

#include <atomic>
#include <cstring>

// GDI: a Wine handle is a table index in its low word and the slot's generation and type in its
// high word; the handle table holds at most 0x10000 slots. Wine's gdi32 also accepts a handle whose
// high word is 0 and then trusts the index alone, so GetObjectType(index) tells the type of the
// object in that slot whatever its generation, and 0 for a free slot. Asking every index (about a
// third of a millisecond, no server call: the table is mapped into the process) counts exactly the
// objects alive now: raw CreateSolidBrush or CreateCompatibleBitmap results count as much as the
// layer's owners, and so do device contexts from GetDC or CreateCompatibleDC. Windows checks the
// high word too, so there every probe answers 0: the counter test catches that.
//
// GDI+: Wine keeps most GDI+ images (32-bit ones, which PNG files load as) in plain memory, not in
// a GDI bitmap, so the table above misses them. This executable reaches gdiplus.dll only through
// its import address table (the C++ wrapper classes call the flat API), so the creating and
// disposing entries there are replaced, before main, by functions that call the real ones and
// count each success: +1 for a created, loaded or cloned object, -1 for one deleted or disposed.

long CGdiTally::Gdi() const
{
    long n = 0;
    for (int kind = 1; kind <= GDI_LAST; ++kind)
        n += m_n[kind];
    return n;
}

long CGdiTally::Gdiplus() const
{
    long n = 0;
    for (int kind = GDI_LAST + 1; kind < KIND_COUNT; ++kind)
        n += m_n[kind];
    return n;
}

const char* CGdiTally::KindName(int kind)
{
    static const char* const names[KIND_COUNT] = {"?",
                                                  "pen",
                                                  "brush",
                                                  "DC",
                                                  "metafile DC",
                                                  "palette",
                                                  "font",
                                                  "bitmap",
                                                  "region",
                                                  "metafile",
                                                  "memory DC",
                                                  "extended pen",
                                                  "enhanced DC",
                                                  "enhanced metafile",
                                                  "colour space",
                                                  "GDI+ image",
                                                  "GDI+ graphics",
                                                  "GDI+ image attributes",
                                                  "GDI+ brush",
                                                  "GDI+ pen",
                                                  "GDI+ font",
                                                  "GDI+ font family",
                                                  "GDI+ string format",
                                                  "GDI+ path",
                                                  "GDI+ region",
                                                  "GDI+ matrix"};
    return kind >= 0 && kind < KIND_COUNT ? names[kind] : "?";
}

std::string CGdiTally::Difference(const CGdiTally& before, const CGdiTally& after)
{
    std::string text;
    for (int kind = 0; kind < KIND_COUNT; ++kind) {
        long delta = after[kind] - before[kind];
        if (delta == 0)
            continue;
        if (!text.empty())
            text += ", ";
        text += KindName(kind);
        text += delta > 0 ? " +" : " ";
        text += std::to_string(delta);
    }
    return text;
}

CGdiTally CountLiveGdiObjects()
{
    CGdiTally tally;
    for (UINT_PTR index = 1; index < 0x10000; ++index) {
        DWORD type = ::GetObjectType(reinterpret_cast<HGDIOBJ>(index));
        tally.m_n[type <= CGdiTally::GDI_LAST ? type : 0]++;
    }
    tally.m_n[0] = 0; // free slots
    return tally;
}

namespace {

std::array<std::atomic<long>, CGdiTally::KIND_COUNT> s_gdiplus{};

template <class Tag, class F> struct CCountingHook;
template <class Tag, class... A> struct CCountingHook<Tag, Gdiplus::GpStatus (*)(A...)> {
    static inline Gdiplus::GpStatus (*s_pReal)(A...) = nullptr;
    static Gdiplus::GpStatus Call(A... args)
    {
        Gdiplus::GpStatus status = s_pReal(args...);
        if (status == Gdiplus::Ok)
            s_gdiplus[Tag::KIND] += Tag::DELTA;
        return status;
    }
};

struct CHookSlot {
    const char* pszName;
    void** ppReal;
    void* pHook;
};

#define LV_COUNT_GDIP(name, kind, delta)                                                                     \
    struct CTag_##name {                                                                                     \
        static constexpr int KIND = CGdiTally::kind;                                                         \
        static constexpr long DELTA = delta;                                                                 \
    };                                                                                                       \
    using CHook_##name = CCountingHook<CTag_##name, decltype(&Gdiplus::DllExports::name)>;
#define LV_SLOT(name)                                                                                        \
    CHookSlot                                                                                                \
    {                                                                                                        \
#name, reinterpret_cast < void**>(&CHook_##name::s_pReal),                                           \
            reinterpret_cast < void*>(&CHook_##name::Call)                                                   \
    }

#define LV_GDIP_LIST(X)                                                                                      \
    X(GdipLoadImageFromFile, GP_IMAGE, 1)                                                                    \
    X(GdipLoadImageFromFileICM, GP_IMAGE, 1)                                                                 \
    X(GdipLoadImageFromStream, GP_IMAGE, 1)                                                                  \
    X(GdipLoadImageFromStreamICM, GP_IMAGE, 1)                                                               \
    X(GdipCreateBitmapFromFile, GP_IMAGE, 1)                                                                 \
    X(GdipCreateBitmapFromFileICM, GP_IMAGE, 1)                                                              \
    X(GdipCreateBitmapFromStream, GP_IMAGE, 1)                                                               \
    X(GdipCreateBitmapFromStreamICM, GP_IMAGE, 1)                                                            \
    X(GdipCreateBitmapFromScan0, GP_IMAGE, 1)                                                                \
    X(GdipCreateBitmapFromGraphics, GP_IMAGE, 1)                                                             \
    X(GdipCreateBitmapFromHBITMAP, GP_IMAGE, 1)                                                              \
    X(GdipCreateBitmapFromHICON, GP_IMAGE, 1)                                                                \
    X(GdipCreateBitmapFromResource, GP_IMAGE, 1)                                                             \
    X(GdipCreateBitmapFromGdiDib, GP_IMAGE, 1)                                                               \
    X(GdipCloneImage, GP_IMAGE, 1)                                                                           \
    X(GdipCloneBitmapArea, GP_IMAGE, 1)                                                                      \
    X(GdipCloneBitmapAreaI, GP_IMAGE, 1)                                                                     \
    X(GdipGetImageThumbnail, GP_IMAGE, 1)                                                                    \
    X(GdipDisposeImage, GP_IMAGE, -1)                                                                        \
    X(GdipCreateFromHDC, GP_GRAPHICS, 1)                                                                     \
    X(GdipCreateFromHDC2, GP_GRAPHICS, 1)                                                                    \
    X(GdipCreateFromHWND, GP_GRAPHICS, 1)                                                                    \
    X(GdipCreateFromHWNDICM, GP_GRAPHICS, 1)                                                                 \
    X(GdipGetImageGraphicsContext, GP_GRAPHICS, 1)                                                           \
    X(GdipDeleteGraphics, GP_GRAPHICS, -1)                                                                   \
    X(GdipCreateImageAttributes, GP_IMAGE_ATTRIBUTES, 1)                                                     \
    X(GdipCloneImageAttributes, GP_IMAGE_ATTRIBUTES, 1)                                                      \
    X(GdipDisposeImageAttributes, GP_IMAGE_ATTRIBUTES, -1)                                                   \
    X(GdipCreateSolidFill, GP_BRUSH, 1)                                                                      \
    X(GdipCreateLineBrush, GP_BRUSH, 1)                                                                      \
    X(GdipCreateLineBrushI, GP_BRUSH, 1)                                                                     \
    X(GdipCreateLineBrushFromRect, GP_BRUSH, 1)                                                              \
    X(GdipCreateLineBrushFromRectI, GP_BRUSH, 1)                                                             \
    X(GdipCreateHatchBrush, GP_BRUSH, 1)                                                                     \
    X(GdipCreateTexture, GP_BRUSH, 1)                                                                        \
    X(GdipCreateTexture2, GP_BRUSH, 1)                                                                       \
    X(GdipCreateTexture2I, GP_BRUSH, 1)                                                                      \
    X(GdipCreateTextureIA, GP_BRUSH, 1)                                                                      \
    X(GdipCreatePathGradient, GP_BRUSH, 1)                                                                   \
    X(GdipCreatePathGradientI, GP_BRUSH, 1)                                                                  \
    X(GdipCreatePathGradientFromPath, GP_BRUSH, 1)                                                           \
    X(GdipCloneBrush, GP_BRUSH, 1)                                                                           \
    X(GdipDeleteBrush, GP_BRUSH, -1)                                                                         \
    X(GdipCreatePen1, GP_PEN, 1)                                                                             \
    X(GdipCreatePen2, GP_PEN, 1)                                                                             \
    X(GdipClonePen, GP_PEN, 1)                                                                               \
    X(GdipDeletePen, GP_PEN, -1)                                                                             \
    X(GdipCreateFont, GP_FONT, 1)                                                                            \
    X(GdipCreateFontFromDC, GP_FONT, 1)                                                                      \
    X(GdipCreateFontFromLogfontA, GP_FONT, 1)                                                                \
    X(GdipCreateFontFromLogfontW, GP_FONT, 1)                                                                \
    X(GdipCloneFont, GP_FONT, 1)                                                                             \
    X(GdipDeleteFont, GP_FONT, -1)                                                                           \
    X(GdipCreateFontFamilyFromName, GP_FONT_FAMILY, 1)                                                       \
    X(GdipCloneFontFamily, GP_FONT_FAMILY, 1)                                                                \
    X(GdipDeleteFontFamily, GP_FONT_FAMILY, -1)                                                              \
    X(GdipCreateStringFormat, GP_STRING_FORMAT, 1)                                                           \
    X(GdipCloneStringFormat, GP_STRING_FORMAT, 1)                                                            \
    X(GdipDeleteStringFormat, GP_STRING_FORMAT, -1)                                                          \
    X(GdipCreatePath, GP_PATH, 1)                                                                            \
    X(GdipCreatePath2, GP_PATH, 1)                                                                           \
    X(GdipCreatePath2I, GP_PATH, 1)                                                                          \
    X(GdipClonePath, GP_PATH, 1)                                                                             \
    X(GdipDeletePath, GP_PATH, -1)                                                                           \
    X(GdipCreateRegion, GP_REGION, 1)                                                                        \
    X(GdipCreateRegionRect, GP_REGION, 1)                                                                    \
    X(GdipCreateRegionRectI, GP_REGION, 1)                                                                   \
    X(GdipCreateRegionPath, GP_REGION, 1)                                                                    \
    X(GdipCreateRegionHrgn, GP_REGION, 1)                                                                    \
    X(GdipCloneRegion, GP_REGION, 1)                                                                         \
    X(GdipDeleteRegion, GP_REGION, -1)                                                                       \
    X(GdipCreateMatrix, GP_MATRIX, 1)                                                                        \
    X(GdipCreateMatrix2, GP_MATRIX, 1)                                                                       \
    X(GdipCreateMatrix3, GP_MATRIX, 1)                                                                       \
    X(GdipCreateMatrix3I, GP_MATRIX, 1)                                                                      \
    X(GdipCloneMatrix, GP_MATRIX, 1)                                                                         \
    X(GdipDeleteMatrix, GP_MATRIX, -1)

LV_GDIP_LIST(LV_COUNT_GDIP)

#define LV_SLOT_ENTRY(name, kind, delta) LV_SLOT(name),
const CHookSlot HOOKS[] = {LV_GDIP_LIST(LV_SLOT_ENTRY)};

// Replaces this executable's gdiplus.dll import slots named in HOOKS.
bool InstallGdiplusHooks()
{
    auto* base = reinterpret_cast<BYTE*>(::GetModuleHandleW(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return false;
    for (auto* dll = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); dll->Name;
         ++dll) {
        if (_stricmp(reinterpret_cast<const char*>(base + dll->Name), "gdiplus.dll") != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(
            base + (dll->OriginalFirstThunk ? dll->OriginalFirstThunk : dll->FirstThunk));
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
        for (; names->u1.AddressOfData; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            const char* name =
                reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData)->Name;
            for (const CHookSlot& hook : HOOKS) {
                if (std::strcmp(name, hook.pszName) != 0)
                    continue;
                DWORD protect = 0;
                ::VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &protect);
                *hook.ppReal = reinterpret_cast<void*>(slots->u1.Function);
                slots->u1.Function = reinterpret_cast<ULONG_PTR>(hook.pHook);
                ::VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), protect, &protect);
            }
        }
    }
    return true;
}

// Before main, so that no GDI+ object is made uncounted.
const bool s_bHooked = InstallGdiplusHooks();

} // namespace

CGdiTally CountLiveObjects()
{
    (void)s_bHooked;
    CGdiTally tally = CountLiveGdiObjects();
    for (int kind = CGdiTally::GDI_LAST + 1; kind < CGdiTally::KIND_COUNT; ++kind)
        tally.m_n[kind] = s_gdiplus[kind].load();
    return tally;
}
