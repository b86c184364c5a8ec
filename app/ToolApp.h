#pragma once
// CToolApp: starts Windows sockets, runs the main window modally and ends the program when it
// closes.

#include "platform/CWinApp.h"

class CToolApp : public CWinApp {
  public:
    CToolApp();
    // Always FALSE: the program ends when the main window has closed (or sockets did not start).
    BOOL InitInstance() override;
};
