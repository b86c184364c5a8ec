#pragma once
// Helpers for the skin tests: scratch directories, hand-written image files and a pixel canvas.

#include "tests/support/PixelCanvas.h"

#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A fresh directory under the temporary folder, removed with its files at the end.
class CTempDir {
  public:
    CTempDir();
    ~CTempDir();
    CTempDir(const CTempDir&) = delete;
    CTempDir& operator=(const CTempDir&) = delete;
    // Ends in a backslash.
    const std::wstring& Path() const { return m_path; }

  private:
    std::wstring m_path;
};

// Deletes a directory tree (files and subdirectories).
void RemoveTree(const std::wstring& dir);

// Writes a 24-bit bottom-up BMP; pixel(x, y) gives 0x00BBGGRR.
void WriteBmp(const std::wstring& path, int width, int height,
              const std::function<COLORREF(int, int)>& pixel);
void WriteSolidBmp(const std::wstring& path, int width, int height, COLORREF colour);

void WriteBytes(const std::wstring& path, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> ReadBytes(const std::wstring& path);
bool FileExists(const std::wstring& path);

// A canvas filled with one colour (white unless told).
using CCanvas = lvtest::CPixelCanvas;

// True when every channel of a and b differs by at most tolerance.
bool Near(COLORREF a, COLORREF b, int tolerance = 8);
