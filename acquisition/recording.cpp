// The recording: port set-up, decoding steps, stop and hand-over.
#include "acquisition/recording.h"

#include <algorithm>

namespace hrv {

namespace {
constexpr std::int32_t kMinAnalysedSlots = 3; // fewer slots are not analysed
}

bool HandOverRecording(FragmentData& f, std::int32_t recIndex) {
    const std::int32_t count = std::clamp(recIndex, 0, kRrCapacity);
    f.RrCount = count;
    for (std::int32_t k = 1; k <= count; ++k) {
        const auto i = static_cast<std::size_t>(k);
        f.RrWords[i] = static_cast<std::uint16_t>(f.RrTicks[i] * 256 + f.RrAux[i]);
    }
    f.AnalysisSeries.fill(0);
    if (count < kMinAnalysedSlots) {
        return false;
    }
    std::copy(f.RrTicks.begin() + 1, f.RrTicks.begin() + 1 + count, f.AnalysisSeries.begin() + 1);
    return true;
}

bool RecordingSession::Start(const SettingsRecord& settings, std::int32_t deviceScale) {
    active_ = false;
    decoder_.Reset(deviceScale);
    // Values only a settings file can bring: refused before a port is touched.
    if (settings.PortIndex > kUsbPortIndex || settings.BaudIndex < 0 ||
        settings.BaudIndex >= kBaudCount) {
        throw ComError();
    }
    try {
        link_.ComOpen(settings.PortIndex);
        link_.ComSetState(settings.BaudIndex);
        link_.ComSetQueues(kQueueBytes, kQueueBytes);
        link_.ComSetTimeouts();
    } catch (...) {
        link_.ComClose(); // the port is open only during a recording
        throw;
    }
    active_ = link_.ComOpened();
    return active_;
}

RecordingTick RecordingSession::Tick() {
    if (!active_) {
        return {};
    }
    const auto byte = link_.ComReadByte();
    if (!byte) {
        RecordingTick tick;
        if (decoder_.TimeLimitReached()) {
            tick.step.end = RecordingEnd::TimeLimit;
        } else if (!link_.ComOpened()) {
            // The read failed and closed the port: the device hung up or went away.
            tick.step.end = RecordingEnd::Broken;
        }
        return Finish(tick);
    }
    return Step(*byte);
}

RecordingTick RecordingSession::Step(std::uint8_t byte) {
    if (!active_) {
        return {};
    }
    RecordingTick tick;
    tick.byteRead = true;
    tick.step = decoder_.Feed(byte);
    return Finish(tick);
}

RecordingTick RecordingSession::Finish(RecordingTick tick) {
    if (tick.step.end != RecordingEnd::None) {
        // Cleared before anything is shown: ticks inside a message box's loop do nothing.
        active_ = false;
    }
    if (tick.step.end == RecordingEnd::Broken) {
        link_.ComClose();
    }
    return tick;
}

bool RecordingSession::Stop() {
    active_ = false;
    link_.ComClose();
    return HandOverRecording(fragment_, decoder_.RecIndex());
}

void RecordingSession::Abort() {
    active_ = false;
    link_.ComClose();
}

} // namespace hrv
