#pragma once
// Registers the common control classes (list view, header, track bar, progress bar, tool tips) once
// per process. Dialog creation and CWnd::CreateEx call it, so templates that name those classes
// load; calling it again is harmless.

bool InitPlatformControls();
