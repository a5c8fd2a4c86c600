// A whole recording as the analysis by windows takes it.
#include "files/recording.h"

#include "files/ecg_record.h"
#include "files/rr_file.h"
#include "files/rr_text.h"

#include <algorithm>
#include <cmath>
#include <numeric>

namespace hrv {

namespace {

void CheckLength(const std::string& path, std::size_t intervals) {
    if (intervals > kRecordingCapacity) {
        throw RecordingTooLong("Файл " + path + ": в записи больше " +
                               std::to_string(kRecordingCapacity) +
                               " RR-интервалов, столько программа целиком не читает");
    }
}

// An RR list's beats at 1 us, each the sum of the intervals before it as written (an interval
// rounded to 1 us, then summed exactly, so no error adds up), the first at 0.
void ListBeats(std::span<const double> ms, SignalRecording& r) {
    r.beatRate = 1e6;
    r.beats.reserve(ms.size() + 1);
    std::int64_t at = 0;
    r.beats.push_back(Beat{at, BeatSource::RrFile, BeatKind::Unknown, 0});
    for (const double interval : ms) {
        at += std::llround(interval * 1000.0);
        r.beats.push_back(Beat{at, BeatSource::RrFile, BeatKind::Unknown, 0});
    }
}

} // namespace

LoadResult ReadFileRecording(const std::string& path, FileKind kind, Reach reach, PpgWorkspace& w,
                             SignalRecording& r, Executor& executor) {
    r = SignalRecording();
    const bool whole = reach == Reach::Whole;
    if (kind == FileKind::Rr) {
        // Whole: one word more than the limit, so that a longer file is told from one at the
        // limit.
        ReadFileInto(path, kRrHeaderBytes + (whole ? 2 * (kRecordingCapacity + 1) : kRrDataLimit),
                     w.FileImage);
        const std::span<const std::uint8_t> bytes = w.FileImage;
        const std::size_t count =
            bytes.size() > kRrHeaderBytes ? (bytes.size() - kRrHeaderBytes) / 2 : 0;
        if (whole) {
            CheckLength(path, count);
        }
        const std::string fault = RrFileFault(path, bytes);
        if (!fault.empty()) {
            throw NotAnRrFile(fault);
        }
        std::vector<std::uint16_t> words(count);
        for (std::size_t k = 0; k < count; ++k) {
            const std::size_t at = kRrHeaderBytes + 2 * k;
            words[k] = static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
        }
        r = RecordingFromWords(words);
        r.fileWords = std::move(words);
        return LoadResult::Loaded;
    }
    if (kind == FileKind::Txt) {
        const RrTextResult list = ReadRrTextList(path, w.FileImage);
        if (whole) {
            CheckLength(path, list.ticks.size());
        }
        ListBeats(list.ms, r);
        r.fileWords.resize(list.ticks.size());
        std::transform(list.ticks.begin(), list.ticks.end(), r.fileWords.begin(),
                       [](std::uint8_t t) { return static_cast<std::uint16_t>(t * 256); });
        return LoadResult::Loaded;
    }
    if (kind == FileKind::Wfdb || kind == FileKind::Edf) {
        r = ReadEcgRecord(path, kind == FileKind::Edf, w.Record, executor);
        if (whole && !r.beats.empty()) {
            CheckLength(path, r.beats.size() - 1);
        }
        return LoadResult::Loaded;
    }
    if (!DecodePpgFile(path, w)) {
        return LoadResult::ImportError;
    }
    const auto count = static_cast<std::size_t>(std::clamp(w.PulseCount, 0, kPulseCapacity));
    if (whole) {
        CheckLength(path, count);
    }
    r = PpgRecording(w);
    r.fileWords.resize(count);
    for (std::size_t k = 0; k < count; ++k) {
        r.fileWords[k] = static_cast<std::uint16_t>(w.PulseIntervals[k + 1] * 256);
    }
    return LoadResult::Loaded;
}

namespace {

// Reads the file whole into w.LastRecord, which LastRecordFile then names; nullptr for a refused
// PPG file.
const SignalRecording* ReadWhole(const std::string& path, FileKind kind, PpgWorkspace& w) {
    w.LastRecordFile.clear();
    if (ReadFileRecording(path, kind, Reach::Whole, w, w.LastRecord) == LoadResult::ImportError) {
        return nullptr;
    }
    w.LastRecordFile = path;
    return &w.LastRecord;
}

} // namespace

LoadResult ReadRecording(const std::string& path, FileKind kind, PpgWorkspace& w,
                         std::vector<std::uint16_t>& words) {
    words.clear();
    const SignalRecording* r = ReadWhole(path, kind, w);
    if (r == nullptr) {
        return LoadResult::ImportError;
    }
    words = RecordWords(*r);
    return LoadResult::Loaded;
}

const SignalRecording* OpenedRecording(const std::string& path, FileKind kind, PpgWorkspace& w) {
    return w.LastRecordFile == path ? &w.LastRecord : ReadWhole(path, kind, w);
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
