#pragma once
// Sends one datagram as a simulated device: from the device's own address (routed locally on the
// camera side by scripts/lab.sh) and out of the link it lives on, retrying while the link's queue
// is full during a large burst.

#include <cstddef>
#include <cstdint>

// target and source in host order; false (errno set) when it could not be sent.
bool SendFromDevice(int socket, const void* bytes, std::size_t size, std::uint32_t source, int ifindex,
                    std::uint32_t target, std::uint16_t port);
