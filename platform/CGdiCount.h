#pragma once
// CGdiCount: process-wide counts of the GDI objects and device contexts that the layer's owners
// hold right now. The system's own count (GetGuiResources) is not available under Wine, so leak
// checks compare these before and after the work under test.

class CGdiCount {
  public:
    static long LiveObjects();
    static long LiveDCs();
    static long Live() { return LiveObjects() + LiveDCs(); }

    // Used by the owners only.
    static void AddObject();
    static void RemoveObject();
    static void AddDC();
    static void RemoveDC();
};
