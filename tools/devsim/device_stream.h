// The byte stream the pulse sensor device sends for a fragment: one 3-byte group per beat
// (status 0, the interval byte, 100 + aux), optionally with status groups, junk and a broken
// third byte, each chunk with the time to wait before it.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace hrv::devsim {

struct StreamOptions {
    int deviceIndex = 0;            // 1: interval bytes of the second model
    std::vector<std::uint8_t> junk; // sent before the first group
    std::map<int, std::vector<std::uint8_t>>
        statusBefore; // status groups before interval k (from 1)
    int breakAt = 0;  // interval k with the third byte 99; 0 none
};

struct Beat {
    std::uint8_t ticks = 0; // interval, 10 ms ticks
    std::uint8_t aux = 0;
};

struct Chunk {
    std::int64_t waitMs = 0; // at the device's own pace, before the bytes are sent
    std::vector<std::uint8_t> bytes;
};

// The interval byte the device model sends for `ticks`: the ticks themselves, or for the second
// model the smallest byte b with b * 8 div 10 = ticks (ticks above 204 become 255, read as 204).
std::uint8_t IntervalByte(std::uint8_t ticks, int deviceIndex);

// The device's chunks for `beats`: junk first (no wait), then for each beat its status groups
// (no wait) and its interval group after the beat's length.
std::vector<Chunk> DeviceStream(const std::vector<Beat>& beats, const StreamOptions& options);

// The beats of an RR file image (ticks = high byte, aux = low byte of each word).
std::vector<Beat> BeatsOfRrFile(const std::string& path);

// `count` beats of a steady rhythm of about 75 per minute with a slow (0.1 Hz) and a breathing
// (0.25 Hz) swing, aux 0. The same every time.
std::vector<Beat> GeneratedBeats(int count);

} // namespace hrv::devsim
