#pragma once
// CDialogFrame: how a dialog looks and sits. Background (colour, gradient, image or the parent's
// background), drawn items and borders painted through one off-screen buffer, control colours
// and fonts, transparent controls, on top, showing and maximising, dragging by the top band,
// anchors, and the layout moves that record a control's new place in the language file.

#include "platform/CGdiObject.h"

#include <windows.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

class CMyDialog;
class CSkinningPass;

class CDialogFrame {
  public:
    static constexpr int MAX_GRADIENT_COLORS = 20;

    // The skinning pass tells which controls draw themselves and which ones the frame borders.
    CDialogFrame(CMyDialog& dlg, CSkinningPass& skins);
    CDialogFrame(const CDialogFrame&) = delete;
    CDialogFrame& operator=(const CDialogFrame&) = delete;

    // The window exists: background brushes, the inherit flag, resizing and dragging.
    void Init();
    // The dialog is going: brushes, fonts, bitmaps.
    void Release();

    // ---- Colours, fonts, background ---------------------------------------------------------
    void SetBackgroundColor(COLORREF clr);
    COLORREF GetBackgroundColor() const { return m_clrBack; }
    BOOL SetBackgroundGradient(const COLORREF* pColors, int nCount, int nDirection);
    void SetControlBackColor(COLORREF clr);
    void SetItemColors(int nID, COLORREF clrText, COLORREF clrBack);
    void RegisterStatic(int nID, COLORREF clrText, COLORREF clrBack);
    void SetItemFont(int nID, int nHeight, int nWeight, LPCWSTR lpszFace);
    void SetFocusBorderColor(int nID, COLORREF clr);
    void SetBackgroundImage(LPCWSTR lpszFile);
    const std::wstring& GetBackgroundImage() const { return m_strBackImage; }
    void AddTransparentItem(HWND hItem);
    void SetDialogFontSize(float fPoints);

    // ---- On top, showing, layout --------------------------------------------------------------
    void SetTopMost(BOOL bOn);
    void ToggleOnTop();
    BOOL IsOnTop() const { return m_bOnTop; }
    // The on-top box's command is posted once, so the window follows its state.
    void RegisterOnTopCheckBox(int nOnTopId);
    int GetOnTopCheckId() const { return m_nOnTopCheckId; }
    void ShowDialog(int nMode);
    void ToggleMaximise();
    void MoveItem(HWND hItem, int x, int y, BOOL bAbsolute);
    void AlignItem(HWND hItem, int nMargin, int nEdge);
    void ResizeItem(HWND hItem, int nWidth, int nHeight);
    void SetItemBorder(HWND hItem, BOOL bOn);
    void AddAnchor(HWND hItem, int nLeft, int nRightMargin, int nTop, int nBottomMargin);
    // A window taller than its display's work area (a large scale on a small display) is made to
    // fit: hStretch (a list) gives up the height, down to a few rows, the controls below it move up
    // by as much; then the window is moved into the work area.
    static void FitToWorkArea(HWND hDlg, HWND hStretch);

    // ---- Drawn items and painting -------------------------------------------------------------
    void AddDrawnRect(int x, int y, int cx, int cy, int nBorderWidth, int nDirection, int nFillMode,
                      COLORREF clrBorder, const std::vector<COLORREF>& fillColors);
    void AddDrawnLine(int x1, int y1, int x2, int y2, int nWidth, int nPenStyle, COLORREF clr);
    void AddDrawnImage(int x, int y, int cx, int cy, int nAngle, LPCWSTR lpszFile);
    void AddDrawnText(int x, int y, LPCWSTR lpszText, COLORREF clrText, COLORREF clrBack, HFONT hFont);
    void ClearDrawnItems();
    // Paints the whole client area into hDC. Returns the id of the focused edit it framed, if any.
    std::optional<int> PaintClient(HDC hDC);
    HBITMAP GetCachedBackground() const { return m_bmpCache.GetSafeHandle(); }

    // ---- Framework timers and messages --------------------------------------------------------
    void ApplyFontSize();      // timer 2201
    void RepaintTransparent(); // timer 2204
    // Painting, control colours, dragging and double-clicks on the top band, the on-top box.
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // After the default handling: a new size moves the anchored and transparent controls.
    void AfterMessage(UINT message);

  private:
    struct ItemColor {
        int nID;
        COLORREF clrText;
        COLORREF clrBack;
        CBrush brush;
    };
    struct DrawnRect {
        int x, y, cx, cy, nBorderWidth, nDirection, nFillMode;
        COLORREF clrBorder;
        std::vector<COLORREF> fill;
    };
    struct DrawnLine {
        int x1, y1, x2, y2, nWidth, nPenStyle;
        COLORREF clr;
    };
    struct DrawnImage {
        int x, y, cx, cy, nAngle;
        std::wstring file;
    };
    struct DrawnText {
        int x, y;
        std::wstring text;
        COLORREF clrText, clrBack;
        HFONT hFont;
    };
    struct Anchor {
        HWND hWnd;
        int nLeft, nRight, nTop, nBottom;
    };
    struct TransparentItem {
        HWND hWnd;
        CBitmap snapshot;
        CBrush brush;
    };
    void PaintBackground(HDC hDC, const RECT& rc);
    void PaintDrawnItems(HDC hDC, const RECT& rc);
    std::optional<int> PaintBorders(HDC hDC);
    void StoreBackground(HDC hDC, const RECT& rc);
    LRESULT OnCtlColor(UINT message, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    void ApplyAnchors();
    // WM_DPICHANGED: takes the suggested rectangle and tells the child controls the new dpi.
    void OnDpiChanged(int nNewDpi, const RECT* pSuggested);
    void OnOnTopCheckClicked();

    CMyDialog& m_dlg;
    CSkinningPass& m_skins;
    COLORREF m_clrBack;
    CBrush m_brBack;
    BOOL m_bInheritBack = FALSE;
    COLORREF m_clrGradient[MAX_GRADIENT_COLORS] = {};
    int m_nGradientCount = 0;
    int m_nGradientDirection = 1;
    CBitmap m_bmpCache;
    CBrush m_brBackPattern;
    COLORREF m_clrText;
    CBrush m_brControlBack;
    COLORREF m_clrBorder;
    COLORREF m_clrFocusBorder;
    int m_nTopBand;
    BOOL m_bDragEnabled = TRUE;
    BOOL m_bBandDrag = TRUE;
    BOOL m_bResizable = FALSE;
    BOOL m_bMaximised = FALSE;
    BOOL m_bOnTop = FALSE;
    int m_nOnTopCheckId = -1;
    std::vector<ItemColor> m_lstItemColors;
    std::vector<ItemColor> m_lstStatics; // the static registry
    std::vector<std::pair<int, COLORREF>> m_lstFocusBorders;
    std::vector<TransparentItem> m_lstTransparent;
    std::vector<DrawnRect> m_lstDrawnRects;
    std::vector<DrawnLine> m_lstDrawnLines;
    std::vector<DrawnImage> m_lstDrawnImages;
    std::vector<DrawnText> m_lstDrawnTexts;
    std::vector<Anchor> m_lstAnchors;
    std::wstring m_strBackImage;
    float m_fFontPoints = 0.0f;
    CFont m_fontPrivate;
};
