// The PPG file and its pulse detector: frames of sync 231, channel A and channel B in the even
// bytes, one frame per 10 ms tick; the pulses of channel A become intervals in ticks.
#pragma once

#include "files/record_choice.h"
#include "signals/signal_recording.h"

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

inline constexpr std::size_t kPpgMinBytes = 4;        // smallest accepted file
inline constexpr std::size_t kPpgMaxBytes = 1079999;  // largest accepted file
inline constexpr std::size_t kPpgReadLimit = 2160000; // bytes taken from a file at most
inline constexpr int kPpgFrameCapacity = 360000;      // frames held
inline constexpr int kPulseCapacity = 100000;         // intervals held
inline constexpr std::uint8_t kSyncSample = 231;

// The decoder's working state, fixed size and reused for every file (about 0.5 MB: never on the
// stack). Channel B is carried in the frames but never used, so it is not kept. FileImage is the
// one buffer every open reads its file into (RR files too): it keeps its capacity, so opening
// files allocates nothing once it has grown to the largest.
struct PpgWorkspace {
    std::array<std::uint8_t, kPpgFrameCapacity + 1> ChannelA{};    // frames 1..F
    std::int32_t FrameCount = 0;                                   // F
    std::array<std::uint8_t, kPulseCapacity + 1> PulseIntervals{}; // ticks, positions 1..PulseCount
    std::int32_t PulseCount = 0;
    // The frame each kept interval ends at (its pulse), positions 1..PulseCount.
    std::array<std::int32_t, kPulseCapacity + 1> PulseFrames{};
    std::vector<std::uint8_t> FileImage; // the bytes of the file read last
    RecordChoice Record; // for an ECG record: its channel and beats, asked and taken
    // The recording of the file opened or read last (LoadFragmentFile, ReadRecording), a record's
    // with its channels; LastRecordFile names that file when LastRecord holds the whole of it.
    SignalRecording LastRecord;
    std::string LastRecordFile;
};

// Whether an interval (ticks) between two candidate beats is kept, given the previous interval:
// longer than 25, shorter than 250 and less than half a change from the previous one.
bool PulseAccepted(std::int32_t interval, std::int32_t previous);

// Decodes a PPG file image and detects its pulses. Returns false when the size is not accepted
// (fewer than 4 or 1,080,000 bytes or more); the outputs are then empty. Otherwise PulseIntervals
// holds PulseCount intervals and zeros after them.
bool DecodePpgBytes(std::span<const std::uint8_t> bytes, PpgWorkspace& w);

// Reads the file into w.FileImage (FileIoError when it cannot be read) and decodes it.
bool DecodePpgFile(const std::string& path, PpgWorkspace& w);

} // namespace hrv
