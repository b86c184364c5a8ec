#pragma once
// Helpers of the tests that drive the tool's windows in process: message pumping as the layer's
// loops do, reading list rows and controls, clicking rows.

#include "tests/support/DosPath.h"
#include "tests/support/TestPump.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace apptest {

using lvtest::DosPathOfUnixPath;
using lvtest::Pump;
using lvtest::PumpFor;
using lvtest::PumpUntil;

std::wstring TextOf(HWND hWnd);
std::wstring ItemText(HWND hDlg, int nID);
int RowCount(HWND hList);
std::vector<std::wstring> RowTexts(HWND hList, int nRow, int nColumns);
std::wstring ColumnTitle(HWND hList, int nCol);
// The first row whose column nCol reads `text`, or -1.
int FindRow(HWND hList, int nCol, const std::wstring& text);

// A left click (or double-click) in the middle of a cell, as the mouse would send it.
void ClickCell(HWND hList, int nRow, int nCol, bool bDouble = false);

// Removes GlobalLang.ini and the language file beside the test executable.
void RemoveLanguageFiles();

std::wstring Widen(const std::string& utf8);
std::string Lower(std::string text);

} // namespace apptest
