#pragma once
// The tests' message pump: what the layer's own loops do with a message (pre-translation through
// the window tree, then translate and dispatch), for the test's thread. A WM_QUIT met on the way
// stays in the queue for the test to find, and ends that round of pumping.

#include <windows.h>

#include <functional>

namespace lvtest {

// Handles what is queued now.
void Pump();
// Handles what is queued and what arrives within nMs milliseconds.
void PumpFor(DWORD nMs);
// Pumps until done() holds or nMaxMs pass; returns done().
bool PumpUntil(const std::function<bool()>& done, DWORD nMaxMs = 5000);

} // namespace lvtest
