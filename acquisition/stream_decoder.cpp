// The device stream decoder.
#include "acquisition/stream_decoder.h"

#include <array>
#include <cassert>

namespace hrv {

void StreamDecoder::Reset(std::int32_t deviceScale) {
    deviceScale_ = deviceScale;
    recTotalTicks_ = 0;
    recIndex_ = 1;
    streamState_ = kHunting;
    recStatus_ = 0;
}

void StreamDecoder::TakeStatus(std::uint8_t byte, DecodeStep& step) {
    streamState_ = kExpectInterval;
    recStatus_ = byte;
    step.statusReceived = true;
    step.status = byte;
}

DecodeStep StreamDecoder::Feed(std::uint8_t byte) {
    DecodeStep step;
    switch (streamState_) {
    case kHunting:
        // Until the first status byte, everything else is dropped.
        if (byte <= kLastStatusCode) {
            TakeStatus(byte, step);
        }
        break;
    case kExpectStatus:
        // Locked: every third byte is a status byte, whatever its value.
        TakeStatus(byte, step);
        break;
    case kExpectInterval:
        streamState_ = kExpectThird;
        if (recStatus_ == 0) {
            std::uint8_t ticks = byte;
            if (deviceScale_ == kScaleSecondModel) {
                ticks = static_cast<std::uint8_t>(byte * 8 / 10); // truncating: 255 -> 204
            }
            assert(recIndex_ >= 1 && recIndex_ < kRecordSlotLimit);
            const auto slot = static_cast<std::size_t>(recIndex_);
            fragment_.RrTicks[slot] = ticks;
            fragment_.RrAux[slot] = 0; // until this group's third byte arrives
            recTotalTicks_ += ticks;
            step.intervalStored = true;
            step.interval = ticks;
        }
        break;
    case kExpectThird:
        streamState_ = kExpectStatus;
        if (recStatus_ == 0) {
            if (byte < kAuxOffset) {
                step.end = RecordingEnd::Broken;
                return step; // the time limit is not looked at in this step
            }
            fragment_.RrAux[static_cast<std::size_t>(recIndex_)] =
                static_cast<std::uint8_t>(byte - kAuxOffset);
            ++recIndex_;
            if (recIndex_ >= kRecordSlotLimit) {
                // Slot 2000 is handed over without having been received.
                fragment_.RrTicks[kRecordSlotLimit] = 0;
                fragment_.RrAux[kRecordSlotLimit] = 0;
                step.end = RecordingEnd::SlotLimit;
                return step;
            }
        }
        break;
    default:
        break;
    }
    if (TimeLimitReached()) {
        step.end = RecordingEnd::TimeLimit;
    }
    return step;
}

const char* DeviceStatusText(std::uint8_t code) {
    static constexpr std::array<const char*, kLastStatusCode + 1> kTexts = {
        "", "Нет датчика", "Нет пациента", "Нет пульса", "Ограничение", "Отказ датчика"};
    return code <= kLastStatusCode ? kTexts[code] : "";
}

} // namespace hrv
