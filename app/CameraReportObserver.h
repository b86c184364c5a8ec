#pragma once
// What the main window tells others about the cameras it lists. Every call comes on the main
// window's thread, while the discovery worker that caused it waits (it may hold the camera
// table's lock): an observer only records what it needs and never waits for a worker.

#include "protocol/WireMessage.h"

#include <cstdint>

class CCameraReportObserver {
  public:
    virtual ~CCameraReportObserver() = default;
    // A discovery request is about to go out; replies to it are stamped with `nScanId` (see
    // DeviceRecord::scanId), and scan ids only grow. `bCleared`: an operator's rescan emptied the
    // list first; otherwise the listed cameras are asked again and keep their rows.
    virtual void OnScanStarted(std::uint32_t nScanId, bool bCleared)
    {
        (void)nScanId;
        (void)bCleared;
    }
    // A rescan emptied the list: every camera reported from now on answered after it.
    virtual void OnCamerasCleared() {}
    // A camera's reply was listed (a new row or an existing one rewritten).
    virtual void OnCameraReported(const DeviceRecord& record) = 0;
};
