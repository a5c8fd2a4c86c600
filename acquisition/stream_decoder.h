// The decoder of the device's byte stream: 3-byte groups of status, interval and third byte,
// fed one byte at a time into the current fragment's RrTicks and RrAux, with the two stop rules.
// No I/O: the recording feeds it what the port delivers.
#pragma once

#include "analysis/fragment_data.h"

#include <cstdint>

namespace hrv {

inline constexpr std::int32_t kStopTicks = 33000;      // a recording ends past 330 s (10 ms ticks)
inline constexpr std::int32_t kRecordSlotLimit = 2000; // a recording ends when RecIndex reaches it
inline constexpr std::int32_t kScaleSecondModel = 8;   // DeviceScale of the second device model
inline constexpr std::uint8_t kLastStatusCode = 5;     // status bytes 0..5 end the hunt
inline constexpr std::uint8_t kAuxOffset = 100;        // third bytes are aux + 100; less is broken

// Decoder states, as kept in StreamState.
inline constexpr std::uint8_t kExpectStatus = 0;
inline constexpr std::uint8_t kExpectInterval = 1;
inline constexpr std::uint8_t kExpectThird = 2;
inline constexpr std::uint8_t kHunting = 10;

// How a step of the decoder ended the recording.
enum class RecordingEnd {
    None,      // the recording goes on
    Broken,    // a third byte below 100 in an interval group (or the link failed): a read error
    SlotLimit, // 1999 groups complete: RecIndex reached 2000
    TimeLimit, // the stored intervals add up to more than 33000 ticks
};

// What one byte did.
struct DecodeStep {
    bool statusReceived = false; // a status byte was taken: show its text
    std::uint8_t status = 0;
    bool intervalStored = false; // an interval was stored in this step: update the display
    std::uint8_t interval = 0;   // ticks, as stored
    RecordingEnd end = RecordingEnd::None;
};

class StreamDecoder {
public:
    // The decoder writes RrTicks and RrAux of `fragment` at RecIndex.
    explicit StreamDecoder(FragmentData& fragment) : fragment_(fragment) {}

    // A new recording: RecTotalTicks 0, RecIndex 1, hunting. `deviceScale` 8 converts interval
    // bytes by x * 8 div 10 (the second device model); any other value takes them as ticks.
    void Reset(std::int32_t deviceScale);

    // Decodes one byte and applies the stop rules. After an end other than None the caller
    // stops feeding. The interval's aux slot is set to 0 when the interval is stored, so a
    // recording that stops before its last third byte passes on 0 there; at the slot limit slot
    // 2000, never received, is set to 0 in RrTicks and RrAux.
    DecodeStep Feed(std::uint8_t byte);

    // The time-limit rule alone (a tick that brought no byte).
    bool TimeLimitReached() const { return recTotalTicks_ > kStopTicks; }

    std::uint8_t StreamState() const { return streamState_; }
    std::uint8_t RecStatus() const { return recStatus_; }
    std::int32_t RecIndex() const { return recIndex_; } // slot of the next interval, from 1
    std::int32_t RecTotalTicks() const { return recTotalTicks_; } // sum of the stored intervals

private:
    // A status byte starts a group: the interval byte comes next.
    void TakeStatus(std::uint8_t byte, DecodeStep& step);
    FragmentData& fragment_;
    std::int32_t deviceScale_ = 10;
    std::uint8_t streamState_ = kHunting;
    std::uint8_t recStatus_ = 0;
    std::int32_t recIndex_ = 1;
    std::int32_t recTotalTicks_ = 0;
};

// The device's status code as shown in the recording dialog: 1..5 have a text, every other code
// an empty one.
const char* DeviceStatusText(std::uint8_t code);

} // namespace hrv
