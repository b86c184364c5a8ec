#pragma once
// The simulator's ready-made fleets.

#include "tools/camsim/SimCamera.h"

#include <cstddef>
#include <vector>

inline constexpr std::size_t MAX_FLEET = 6000;

// A dozen cameras: seven wired (lanIp in 198.18.1.128/25, link lab0c) and five WiFi (wifiIp in
// 198.18.2.128/25, link lab1c), with Chinese and English names. Every camera owns both a
// lanIp and a wifiIp that the lab can send from, so any of them can answer from either.
std::vector<CSimCamera> DefaultFleet();

// count wired cameras on lab0c (count <= MAX_FLEET); lanIp in 198.18.16.0/20 for the first 2000,
// in 198.18.32.0/20 for the rest (see CSimCamera::Generated).
std::vector<CSimCamera> GeneratedFleet(std::size_t count);
