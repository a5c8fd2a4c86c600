// A whole recording as the analysis by windows takes it.
#include "files/recording.h"

#include "files/ecg_record.h"
#include "files/rr_file.h"
#include "files/rr_text.h"

#include <algorithm>
#include <numeric>

namespace hrv {

namespace {

void CheckLength(const std::string& path, std::size_t intervals) {
    if (intervals > kRecordingCapacity) {
        throw RecordingTooLong("Файл " + path + ": в записи больше " +
                               std::to_string(kRecordingCapacity) +
                               " RR-интервалов, столько анализ по окнам не принимает");
    }
}

} // namespace

LoadResult ReadRecording(const std::string& path, FileKind kind, PpgWorkspace& w,
                         std::vector<std::uint16_t>& words) {
    words.clear();
    if (kind == FileKind::Rr) {
        // One word more than the limit, so that a longer file is told from one at the limit.
        ReadFileInto(path, kRrHeaderBytes + 2 * (kRecordingCapacity + 1), w.FileImage);
        const std::span<const std::uint8_t> bytes = w.FileImage;
        const std::size_t count =
            bytes.size() > kRrHeaderBytes ? (bytes.size() - kRrHeaderBytes) / 2 : 0;
        CheckLength(path, count);
        const std::string fault = RrFileFault(path, bytes);
        if (!fault.empty()) {
            throw NotAnRrFile(fault);
        }
        words.resize(count);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = kRrHeaderBytes + 2 * k;
            words[k] = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        }
        return LoadResult::Loaded;
    }
    if (kind == FileKind::Txt) {
        const std::vector<std::uint8_t> ticks = ReadRrTextTicks(path, w.FileImage);
        CheckLength(path, ticks.size());
        words.resize(ticks.size());
        std::transform(ticks.begin(), ticks.end(), words.begin(),
                       [](std::uint8_t t) { return static_cast<std::uint16_t>(t * 256); });
        return LoadResult::Loaded;
    }
    if (kind == FileKind::Wfdb || kind == FileKind::Edf) {
        words = RecordWords(ReadEcgRecord(path, kind == FileKind::Edf, w.Record));
        CheckLength(path, words.size());
        return LoadResult::Loaded;
    }
    if (!DecodePpgFile(path, w)) {
        return LoadResult::ImportError;
    }
    const auto count = static_cast<std::size_t>(std::clamp(w.PulseCount, 0, kPulseCapacity));
    CheckLength(path, count);
    words.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        words[k] = static_cast<std::uint16_t>(w.PulseIntervals[k + 1] * 256);
    }
    return LoadResult::Loaded;
}

SignalRecording PpgRecording(const PpgWorkspace& w) {
    SignalRecording r;
    r.name = "PPG";
    r.beatRate = kTicksPerSecond;
    SignalChannel c;
    c.name = "PPG";
    c.unit = "";
    c.rate = kTicksPerSecond;
    c.gain = 1;
    c.calibrated = false;
    c.raw16.assign(w.ChannelA.begin() + 1, w.ChannelA.begin() + 1 + w.FrameCount);
    r.channels.push_back(std::move(c));
    // Each kept interval ends at its pulse; the first one starts an interval before.
    for (std::int32_t k = 1; k <= w.PulseCount; ++k) {
        if (k == 1) {
            r.beats.push_back(Beat{w.PulseFrames[1] - w.PulseIntervals[1] - 1, BeatSource::Device,
                                   BeatKind::Unknown, 0});
        }
        r.beats.push_back(Beat{w.PulseFrames[static_cast<std::size_t>(k)] - 1, BeatSource::Device});
    }
    return r;
}

std::int64_t RecordingTicks(std::span<const std::uint16_t> words) {
    return std::accumulate(words.begin(), words.end(), std::int64_t{0},
                           [](std::int64_t sum, std::uint16_t w) { return sum + (w >> 8); });
}

} // namespace hrv
