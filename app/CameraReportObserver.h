#pragma once
// What the main window tells others about the cameras it lists. Both calls come on the main
// window's thread, while the discovery worker that caused them waits (it may hold the camera
// table's lock): an observer only records what it needs and never waits for a worker.

#include "protocol/WireMessage.h"

class CCameraReportObserver {
  public:
    virtual ~CCameraReportObserver() = default;
    // A rescan emptied the list: every camera reported from now on answered after it.
    virtual void OnCamerasCleared() = 0;
    // A camera's reply was listed (a new row or an existing one rewritten).
    virtual void OnCameraReported(const DeviceRecord& record) = 0;
};
