#pragma once
// Loading and drawing skin images with GDI+, gradient fills, bitmap files and image saving.

#include "platform/CGdiObject.h"

#include <windows.h>
#include <objidl.h>
#include <gdiplus.h>

#include <memory>
#include <string_view>

// Draw modes of DrawImage.
inline constexpr int DRAW_IMAGE_FIT = 0;     // keep the aspect ratio, centred
inline constexpr int DRAW_IMAGE_STRETCH = 1; // fill the rectangle
inline constexpr int DRAW_IMAGE_ACTUAL = 2;  // own size at the rectangle's top-left
inline constexpr int DRAW_IMAGE_TILE = 3;    // repeated from the top-left, clipped to the rectangle

// Image formats of GetEncoderClsid and SaveImageAs; other values mean IMAGE_FORMAT_BMP.
inline constexpr int IMAGE_FORMAT_BMP = 0;
inline constexpr int IMAGE_FORMAT_JPEG = 1;
inline constexpr int IMAGE_FORMAT_GIF = 2;
inline constexpr int IMAGE_FORMAT_TIFF = 3;
inline constexpr int IMAGE_FORMAT_PNG = 4;

using SkinImagePtr = std::unique_ptr<Gdiplus::Image>;

// Starts GDI+ once per process (thread-safe); it stays up until the process ends.
// Every function below starts it itself, so callers need not.
bool StartGdiplus();

// The image of ResolveSkinFile(name), or null when it cannot be loaded.
SkinImagePtr LoadSkinImage(std::wstring_view name);

// Draws image into rect of dc by mode. An empty rect means the client rectangle of the window
// that owns dc (false when dc has none). True when GDI+ drew it.
bool DrawImage(Gdiplus::Image* image, HDC dc, RECT rect, int mode);

// LoadSkinImage + DrawImage; false when the file does not load.
bool DrawImageFile(std::wstring_view name, HDC dc, RECT rect, int mode);

// The same on the window's own device context; an empty rect means the client rectangle.
bool DrawImageOnWindow(Gdiplus::Image* image, HWND window, RECT rect, int mode);
bool DrawImageFileOnWindow(std::wstring_view name, HWND window, RECT rect, int mode);

// A two-colour gradient, top to bottom when vertical, else left to right.
bool GradientFillRect(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool vertical);

// count - 1 equal bands of two-colour gradients through colours (reversed order with reverse).
// A single colour fills the rectangle; fewer draw nothing.
bool MultiGradientFill(HDC dc, const RECT& rect, const COLORREF* colours, int count, bool reverse,
                       bool vertical);

// A device-dependent bitmap from a file; a name without a drive is taken from the default skin
// directory. Retried a few times, 5 ms apart, because the file may be being written.
CBitmap LoadBitmapFile(std::wstring_view name);

// The class id of the GDI+ encoder for format (IMAGE_FORMAT_*); out may be null.
bool GetEncoderClsid(CLSID* out, int format);

// Writes the image source (looked up like any skin) to target, width x height (0 = the image's),
// fitted to the image's aspect ratio unless exactSize. The format follows target's extension:
// bmp, jpg/jpeg, gif, tif/tiff, png; anything else is written as JPEG. With a mask, the pixels
// where the mask (stretched to the output) is white become white. True when the file was written.
bool SaveImageAs(std::wstring_view source, std::wstring_view target, int width, int height, HBITMAP mask,
                 bool exactSize);
