#include "controls/SkinImage.h"

#include "controls/SkinFiles.h"
#include "controls/SkinPathText.h"
#include "platform/CClientDC.h"
#include "platform/CDC.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace {

bool IsEmpty(const RECT& r)
{
    return r.right - r.left <= 0 || r.bottom - r.top <= 0;
}

const wchar_t* MimeType(int format)
{
    switch (format) {
    case IMAGE_FORMAT_JPEG:
        return L"image/jpeg";
    case IMAGE_FORMAT_GIF:
        return L"image/gif";
    case IMAGE_FORMAT_TIFF:
        return L"image/tiff";
    case IMAGE_FORMAT_PNG:
        return L"image/png";
    default:
        return L"image/bmp";
    }
}

int FormatOfTarget(std::wstring_view target)
{
    const size_t slash = target.find_last_of(L"\\/");
    std::wstring_view file = slash == std::wstring_view::npos ? target : target.substr(slash + 1);
    const size_t dot = file.rfind(L'.');
    if (dot == std::wstring_view::npos)
        return IMAGE_FORMAT_JPEG;
    const std::wstring ext = SkinLower(file.substr(dot + 1));
    if (ext == L"bmp")
        return IMAGE_FORMAT_BMP;
    if (ext == L"jpg" || ext == L"jpeg")
        return IMAGE_FORMAT_JPEG;
    if (ext == L"gif")
        return IMAGE_FORMAT_GIF;
    if (ext == L"tiff" || ext == L"tif")
        return IMAGE_FORMAT_TIFF;
    if (ext == L"png")
        return IMAGE_FORMAT_PNG;
    return IMAGE_FORMAT_JPEG;
}

// The size of a w x h image fitted into rw x rh, keeping its aspect ratio (truncated).
SIZE FitSize(UINT w, UINT h, int rw, int rh)
{
    const double scale = std::min(static_cast<double>(rw) / w, static_cast<double>(rh) / h);
    return SIZE{static_cast<LONG>(w * scale), static_cast<LONG>(h * scale)};
}

// Draws image scaled into the given box. Mirrored wrapping keeps GDI+ from blending the image's
// border pixels with the transparent outside, which would fade the edges of a stretched skin.
bool DrawScaled(Gdiplus::Graphics& graphics, Gdiplus::Image* image, int x, int y, int w, int h)
{
    Gdiplus::ImageAttributes attributes;
    attributes.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    return graphics.DrawImage(image, Gdiplus::Rect(x, y, w, h), 0, 0, static_cast<INT>(image->GetWidth()),
                              static_cast<INT>(image->GetHeight()), Gdiplus::UnitPixel,
                              &attributes) == Gdiplus::Ok;
}

// The mask's pixels, 0x00RRGGBB, top row first; empty when the bitmap cannot be read.
std::vector<DWORD> ReadPixels(HBITMAP bitmap, int& width, int& height)
{
    BITMAP info = {};
    if (!GetObjectW(bitmap, sizeof(info), &info) || info.bmWidth < 1 || info.bmHeight < 1)
        return {};
    width = info.bmWidth;
    height = info.bmHeight;
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = -height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    bi.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> pixels(static_cast<size_t>(width) * height);
    const int rows = [&] {
        const CDC dc = CDC::CreateCompatibleDC(nullptr);
        return dc ? GetDIBits(dc, bitmap, 0, height, pixels.data(), &bi, DIB_RGB_COLORS) : 0;
    }();
    if (rows != height)
        return {};
    return pixels;
}

// Whitens the pixels of output (w x h) where mask, stretched to that size, is white.
bool ApplyWhiteMask(Gdiplus::Bitmap& output, HBITMAP mask, int w, int h)
{
    int mw = 0;
    int mh = 0;
    const std::vector<DWORD> maskPixels = ReadPixels(mask, mw, mh);
    if (maskPixels.empty())
        return false;
    Gdiplus::Rect all(0, 0, w, h);
    Gdiplus::BitmapData bits;
    if (output.LockBits(&all, Gdiplus::ImageLockModeRead | Gdiplus::ImageLockModeWrite, PixelFormat32bppARGB,
                        &bits) != Gdiplus::Ok)
        return false;
    for (int y = 0; y < h; ++y) {
        auto* row = reinterpret_cast<UINT32*>(static_cast<BYTE*>(bits.Scan0) +
                                              static_cast<ptrdiff_t>(y) * bits.Stride);
        const DWORD* maskRow =
            maskPixels.data() + static_cast<size_t>(static_cast<long long>(y) * mh / h) * mw;
        for (int x = 0; x < w; ++x)
            if ((maskRow[static_cast<long long>(x) * mw / w] & 0xFFFFFF) == 0xFFFFFF)
                row[x] = 0xFFFFFFFF;
    }
    output.UnlockBits(&bits);
    return true;
}

} // namespace

bool StartGdiplus()
{
    static const bool started = [] {
        Gdiplus::GdiplusStartupInput input;
        ULONG_PTR token = 0;
        return Gdiplus::GdiplusStartup(&token, &input, nullptr) == Gdiplus::Ok;
    }();
    return started;
}

SkinImagePtr LoadSkinImage(std::wstring_view name)
{
    if (!StartGdiplus())
        return nullptr;
    const std::wstring path = ResolveSkinFile(name);
    if (path.empty())
        return nullptr;
    SkinImagePtr image(new Gdiplus::Image(path.c_str()));
    if (image->GetLastStatus() != Gdiplus::Ok)
        return nullptr;
    return image;
}

bool DrawImage(Gdiplus::Image* image, HDC dc, RECT rect, int mode)
{
    if (!image || !dc || !StartGdiplus())
        return false;
    const UINT iw = image->GetWidth();
    const UINT ih = image->GetHeight();
    if (iw < 1 || ih < 1)
        return false;
    if (IsEmpty(rect)) {
        HWND window = WindowFromDC(dc);
        if (!window || !GetClientRect(window, &rect) || IsEmpty(rect))
            return false;
    }
    rect.left = std::max<LONG>(rect.left, 0);
    rect.top = std::max<LONG>(rect.top, 0);
    const int rw = rect.right - rect.left;
    const int rh = rect.bottom - rect.top;

    Gdiplus::Graphics graphics(dc);
    if (graphics.GetLastStatus() != Gdiplus::Ok)
        return false;
    const INT w = static_cast<INT>(iw);
    const INT h = static_cast<INT>(ih);
    switch (mode) {
    case DRAW_IMAGE_FIT: {
        const SIZE size = FitSize(iw, ih, rw, rh);
        if (size.cx < 1 || size.cy < 1)
            return false;
        return DrawScaled(graphics, image, rect.left + (rw - size.cx) / 2, rect.top + (rh - size.cy) / 2,
                          size.cx, size.cy);
    }
    case DRAW_IMAGE_STRETCH:
        if (rw < 1 || rh < 1)
            return false;
        return DrawScaled(graphics, image, rect.left, rect.top, rw, rh);
    case DRAW_IMAGE_ACTUAL:
        return graphics.DrawImage(image, static_cast<INT>(rect.left), static_cast<INT>(rect.top), w, h) ==
               Gdiplus::Ok;
    case DRAW_IMAGE_TILE: {
        // The last row and column of tiles would reach past the rectangle: clip them.
        graphics.SetClip(Gdiplus::Rect(rect.left, rect.top, rw, rh));
        bool any = false;
        for (LONG y = rect.top; y < rect.bottom; y += h)
            for (LONG x = rect.left; x < rect.right; x += w)
                any = (graphics.DrawImage(image, static_cast<INT>(x), static_cast<INT>(y), w, h) ==
                       Gdiplus::Ok) ||
                      any;
        return any;
    }
    default:
        return false;
    }
}

bool DrawImageFile(std::wstring_view name, HDC dc, RECT rect, int mode)
{
    SkinImagePtr image = LoadSkinImage(name);
    return image && DrawImage(image.get(), dc, rect, mode);
}

bool DrawImageOnWindow(Gdiplus::Image* image, HWND window, RECT rect, int mode)
{
    if (!image || !IsWindow(window))
        return false;
    if (IsEmpty(rect) && !GetClientRect(window, &rect))
        return false;
    const CClientDC dc(window);
    return dc && DrawImage(image, dc, rect, mode);
}

bool DrawImageFileOnWindow(std::wstring_view name, HWND window, RECT rect, int mode)
{
    SkinImagePtr image = LoadSkinImage(name);
    return image && DrawImageOnWindow(image.get(), window, rect, mode);
}

bool GradientFillRect(HDC dc, const RECT& rect, COLORREF from, COLORREF to, bool vertical)
{
    TRIVERTEX vertices[2] = {};
    vertices[0].x = rect.left;
    vertices[0].y = rect.top;
    vertices[0].Red = static_cast<COLOR16>(GetRValue(from) << 8);
    vertices[0].Green = static_cast<COLOR16>(GetGValue(from) << 8);
    vertices[0].Blue = static_cast<COLOR16>(GetBValue(from) << 8);
    vertices[1].x = rect.right;
    vertices[1].y = rect.bottom;
    vertices[1].Red = static_cast<COLOR16>(GetRValue(to) << 8);
    vertices[1].Green = static_cast<COLOR16>(GetGValue(to) << 8);
    vertices[1].Blue = static_cast<COLOR16>(GetBValue(to) << 8);
    GRADIENT_RECT mesh = {0, 1};
    return GradientFill(dc, vertices, 2, &mesh, 1, vertical ? GRADIENT_FILL_RECT_V : GRADIENT_FILL_RECT_H) !=
           FALSE;
}

bool MultiGradientFill(HDC dc, const RECT& rect, const COLORREF* colours, int count, bool reverse,
                       bool vertical)
{
    if (!colours || count < 1)
        return false;
    if (count == 1)
        return GradientFillRect(dc, rect, colours[0], colours[0], vertical);
    const int length = vertical ? rect.bottom - rect.top : rect.right - rect.left;
    const double band = static_cast<double>(length) / (count - 1);
    bool ok = true;
    for (int i = 0; i < count - 1; ++i) {
        RECT part = rect;
        const int start = static_cast<int>(i * band);
        // The last band ends exactly at the far edge, whatever the rounding.
        const int end = i == count - 2 ? length : static_cast<int>((i + 1) * band);
        if (vertical) {
            part.top = rect.top + start;
            part.bottom = rect.top + end;
        } else {
            part.left = rect.left + start;
            part.right = rect.left + end;
        }
        const COLORREF from = reverse ? colours[count - 1 - i] : colours[i];
        const COLORREF to = reverse ? colours[count - 2 - i] : colours[i + 1];
        ok = GradientFillRect(dc, part, from, to, vertical) && ok;
    }
    return ok;
}

CBitmap LoadBitmapFile(std::wstring_view name)
{
    std::wstring path(name);
    if (path.size() < 2 || path[1] != L':')
        path = GetDefaultSkinDir() + path;
    for (int attempt = 0; attempt < 5; ++attempt) {
        if (attempt > 0)
            Sleep(5);
        HANDLE loaded = LoadImageW(nullptr, path.c_str(), IMAGE_BITMAP, 0, 0, LR_LOADFROMFILE);
        if (loaded)
            return CBitmap(static_cast<HBITMAP>(loaded));
    }
    return CBitmap();
}

bool GetEncoderClsid(CLSID* out, int format)
{
    if (!StartGdiplus())
        return false;
    UINT count = 0;
    UINT bytes = 0;
    if (Gdiplus::GetImageEncodersSize(&count, &bytes) != Gdiplus::Ok || count == 0 || bytes == 0)
        return false;
    std::vector<BYTE> buffer(bytes);
    auto* encoders = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    if (Gdiplus::GetImageEncoders(count, bytes, encoders) != Gdiplus::Ok)
        return false;
    const wchar_t* mime = MimeType(format);
    for (UINT i = 0; i < count; ++i) {
        if (encoders[i].MimeType && SkinEqualNoCase(encoders[i].MimeType, mime)) {
            if (out)
                *out = encoders[i].Clsid;
            return true;
        }
    }
    return false;
}

bool SaveImageAs(std::wstring_view source, std::wstring_view target, int width, int height, HBITMAP mask,
                 bool exactSize)
{
    SkinImagePtr image = LoadSkinImage(source);
    if (!image || target.empty())
        return false;
    const UINT iw = image->GetWidth();
    const UINT ih = image->GetHeight();
    if (iw < 1 || ih < 1)
        return false;
    int w = width > 0 ? width : static_cast<int>(iw);
    int h = height > 0 ? height : static_cast<int>(ih);
    if (!exactSize) {
        const SIZE fitted = FitSize(iw, ih, w, h);
        w = fitted.cx;
        h = fitted.cy;
    }
    if (w < 1 || h < 1)
        return false;

    const int format = FormatOfTarget(target);
    CLSID encoder;
    if (!GetEncoderClsid(&encoder, format))
        return false;

    // PNG keeps transparency; the other formats get a white background.
    const bool alpha = format == IMAGE_FORMAT_PNG;
    Gdiplus::Bitmap output(w, h, alpha ? PixelFormat32bppARGB : PixelFormat24bppRGB);
    if (output.GetLastStatus() != Gdiplus::Ok)
        return false;
    {
        Gdiplus::Graphics graphics(&output);
        graphics.Clear(alpha ? Gdiplus::Color(0, 0, 0, 0) : Gdiplus::Color(255, 255, 255, 255));
        graphics.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
        if (graphics.DrawImage(image.get(), 0, 0, w, h) != Gdiplus::Ok)
            return false;
    }
    if (mask && !ApplyWhiteMask(output, mask, w, h))
        return false;
    const std::wstring file(target);
    return output.Save(file.c_str(), &encoder, nullptr) == Gdiplus::Ok;
}
