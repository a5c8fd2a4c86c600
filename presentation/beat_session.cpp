// The beats behind the window's analysis.
#include "presentation/beat_session.h"

#include "analysis/pipeline.h"
#include "analysis/resampling.h"
#include "files/recording.h"
#include "presentation/clock_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>
#include <string_view>

namespace hrv {

namespace {

double RecordingLength(const SignalRecording& r, int channel) {
    double total = 0;
    if (channel >= 0 && static_cast<std::size_t>(channel) < r.channels.size()) {
        const SignalChannel& c = r.channels[static_cast<std::size_t>(channel)];
        if (c.rate > 0) {
            total = static_cast<double>(c.Size()) / c.rate;
        }
    }
    if (!r.beats.empty() && r.beatRate > 0) {
        total = std::max(total, r.BeatSeconds(r.beats.back()));
    }
    return total;
}

// The time of the beats file's last beat: its first field.
double LastBeatTime(const std::string& text) {
    std::size_t end = text.find_last_not_of("\r\n");
    if (end == std::string::npos) {
        return 0;
    }
    const std::size_t begin = text.find_last_of('\n', end);
    const char* first = text.data() + (begin == std::string::npos ? 0 : begin + 1);
    double seconds = 0;
    std::from_chars(first, text.data() + end + 1, seconds);
    return seconds;
}

bool ByHand(BeatMark mark) {
    return mark == BeatMark::Added || mark == BeatMark::Removed || mark == BeatMark::Moved;
}

} // namespace

SignalRecording RecordingOfOpen(FileKind kind, const FragmentData& f, PpgWorkspace& w,
                                int& channel) {
    channel = -1;
    if (kind == FileKind::Wfdb || kind == FileKind::Edf) {
        SignalRecording r = std::move(w.LastRecord);
        w.LastRecord = SignalRecording();
        w.LastRecordFile.clear();
        channel = r.ChannelIndex(w.Record.channelTaken);
        return r;
    }
    if (kind == FileKind::Ppg) {
        SignalRecording r = PpgRecording(w);
        channel = 0;
        return r;
    }
    const int count = std::clamp(f.RrCount, 0, kWordCapacity);
    const std::span words(f.RrWords.data() + 1, static_cast<std::size_t>(count));
    SignalRecording r = RecordingFromWords(words);
    r.fileWords.assign(words.begin(), words.end()); // their second bytes too
    return r;
}

BeatSession::BeatSession(SignalRecording recording, int channel, bool correct)
    : recording_(std::move(recording)), channel_(channel), correct_(correct),
      editor_(recording_, channel) {
    const double total = RecordingLength(recording_, channel_);
    const double first = recording_.beats.empty() || !(recording_.beatRate > 0)
                             ? 0.0
                             : recording_.BeatSeconds(recording_.beats.front());
    fragment_ = ChooseFragment(recording_.beats, recording_.beatRate, total, first);
    editor_.SetFragment(correct_, fragment_.start, fragment_.End());
}

std::unique_ptr<BeatSession> BeatSession::FromBeatsCsv(const std::string& text, bool correct) {
    const std::vector<EditedBeat> saved = ReadBeatsCsv(text);
    SignalRecording r;
    r.name = "beats";
    for (const EditedBeat& b : saved) {
        // The beats as recorded: all but those added by hand or put in by a correction, moved
        // ones at their recorded place.
        if (b.mark == BeatMark::Added ||
            (b.present && !ByHand(b.mark) && b.mark != BeatMark::Normal)) {
            continue;
        }
        Beat beat = b.beat;
        beat.sample = b.mark == BeatMark::Moved ? b.original : b.beat.sample;
        r.beats.push_back(beat);
    }
    std::sort(r.beats.begin(), r.beats.end(),
              [](const Beat& a, const Beat& b) { return a.sample < b.sample; });
    // The rate the times were written at: sample / time of the last beat, to 1/1000 Hz.
    const double last = LastBeatTime(text);
    const std::int64_t lastSample = saved.empty() ? 0 : saved.back().beat.sample;
    r.beatRate = last > 0 && lastSample > 0
                     ? std::round(static_cast<double>(lastSample) / last * 1000.0) / 1000.0
                     : kTicksPerSecond;
    auto session = std::make_unique<BeatSession>(std::move(r), -1, correct);
    session->editor_.Restore(saved);
    return session;
}

bool BeatSession::HasSignal() const {
    return channel_ >= 0 && static_cast<std::size_t>(channel_) < recording_.channels.size() &&
           recording_.channels[static_cast<std::size_t>(channel_)].Size() > 0;
}

void BeatSession::SetCorrect(bool correct) {
    correct_ = correct;
    editor_.SetFragment(correct_, fragment_.start, fragment_.End());
}

bool BeatSession::MoveFragment(double seconds) {
    const FragmentChoice moved =
        ChooseFragment(recording_.beats, recording_.beatRate, fragment_.total, seconds);
    if (moved.start == fragment_.start) {
        return false;
    }
    fragment_ = moved;
    editor_.SetFragment(correct_, fragment_.start, fragment_.End());
    return true;
}

void BeatSession::Fill(FragmentData& f) const {
    SignalRecording part = editor_.Edited();
    const BeatRange range = FragmentBeats(part.beats, part.beatRate, fragment_);
    part.beats.erase(part.beats.begin(),
                     part.beats.begin() + static_cast<std::ptrdiff_t>(range.first));
    const std::vector<std::int32_t> ticks = IntervalTicks(part);
    const std::size_t count = std::min(ticks.size(), static_cast<std::size_t>(kWordCapacity));
    std::fill(f.RrWords.begin(), f.RrWords.end(), 0);
    const std::vector<Beat>& original = recording_.beats;
    for (std::size_t k = 0; k < count; ++k) {
        f.RrWords[k + 1] =
            static_cast<std::uint16_t>(std::clamp(ticks[k], 0, kMaxIntervalTicks) * 256);
        // An interval between two beats that follow each other in the file as read keeps the
        // file's word, the device's second byte with it.
        const auto at =
            std::lower_bound(original.begin(), original.end(), part.beats[k].sample,
                             [](const Beat& b, std::int64_t sample) { return b.sample < sample; });
        const auto i = static_cast<std::size_t>(at - original.begin());
        if (i < recording_.fileWords.size() && at->sample == part.beats[k].sample &&
            original[i + 1].sample == part.beats[k + 1].sample &&
            (recording_.fileWords[i] >> 8) == f.RrWords[k + 1] >> 8) {
            f.RrWords[k + 1] = recording_.fileWords[i];
        }
    }
    f.RrCount = static_cast<std::int32_t>(count);
    TakeRrWords(f);
    f.CorrectionNote.clear();
}

Rgb BeatMarkColour(BeatMark mark) {
    switch (mark) {
    case BeatMark::Normal:
        return Rgb{0, 0, 0};
    case BeatMark::Missed:
        return Rgb{0, 70, 200};
    case BeatMark::Extra:
        return Rgb{200, 0, 0};
    case BeatMark::Premature:
        return Rgb{170, 0, 170};
    case BeatMark::Misplaced:
        return Rgb{210, 110, 0};
    case BeatMark::Added:
        return Rgb{0, 130, 0};
    case BeatMark::Removed:
        return Rgb{120, 0, 0};
    case BeatMark::Moved:
        return Rgb{0, 110, 110};
    }
    return Rgb{0, 0, 0};
}

void MarkRhythmogram(const BeatSession& session, const FragmentData& f,
                     std::vector<ChartPoint>& points) {
    const std::vector<MarkedBeat> marks = session.Editor().Marks();
    const double rate = session.Recording().beatRate;
    const FragmentChoice& fragment = session.Fragment();
    // Present beats from the fragment's first on: interval p (from 1) ends at the p-th after it.
    std::size_t present = 0;
    bool started = false;
    // Interval 2 starts the rhythmogram; interval p takes its samples after those of 2..p-1.
    std::int64_t offset = 0;
    std::int32_t p = 0;
    BeatMark pending = BeatMark::Normal; // a removed beat inside the interval now open
    const std::int32_t count = std::clamp(f.RrCount, 0, kRrCapacity);
    for (const MarkedBeat& b : marks) {
        if (static_cast<double>(b.sample) / rate < fragment.start) {
            continue;
        }
        if (!b.present) {
            pending = b.mark;
            continue;
        }
        if (!started) {
            started = true;
            pending = BeatMark::Normal;
            continue;
        }
        ++present;
        p = static_cast<std::int32_t>(present);
        if (p > count) {
            break;
        }
        const int ticks = f.AnalysisSeries[static_cast<std::size_t>(p)];
        const BeatMark mark = b.mark != BeatMark::Normal ? b.mark : pending;
        pending = BeatMark::Normal;
        if (p >= 2) {
            if (mark != BeatMark::Normal) {
                const Rgb colour = BeatMarkColour(mark);
                // Slots from 1, as RhythmogramPoints colours a corrected interval.
                for (std::int64_t s = std::max<std::int64_t>(offset, 1);
                     s < offset + ticks && static_cast<std::size_t>(s) <= points.size(); ++s) {
                    points[static_cast<std::size_t>(s - 1)].color = colour;
                }
            }
            offset += ticks;
            if (static_cast<std::size_t>(offset) >= points.size()) {
                break;
            }
        }
    }
}

bool AnalyseSession(const BeatSession& session, FragmentData& f, char separator, Executor& executor,
                    const ProgressFn& progress, const std::function<void()>& accepted) {
    session.Fill(f);
    // The session's corrections are in its beats already.
    const CorrectionMode setting = f.Correct;
    f.Correct = CorrectionMode::None;
    bool analysed = false;
    try {
        analysed = AnalyseFragment(f, executor, progress, accepted);
    } catch (...) {
        f.Correct = setting;
        throw;
    }
    f.Correct = setting;
    if (analysed) {
        f.CorrectionNote = session.CorrectionLine(f.FragmentCount, separator);
    }
    return analysed;
}

std::string BeatSession::CorrectionLine(int analysed, char separator) const {
    const int automatic = editor_.AutomaticCount(fragment_.start, fragment_.End());
    const int manual = editor_.ManualCount(fragment_.start, fragment_.End());
    if (!correct_ && manual == 0) {
        return std::string();
    }
    return EditedCorrectionText(automatic, manual, analysed, separator);
}

bool BeatSession::EditedByHand() const {
    return editor_.ManualCount(0, fragment_.total + 1) > 0;
}

std::string BeatSession::Identity(const std::string& fileIdentity, bool withCorrection) const {
    std::string out = fileIdentity;
    if (correct_ && withCorrection) {
        out += " (коррекция)";
    }
    if (editor_.ManualCount(fragment_.start, fragment_.End()) > 0) {
        out += " (вручную)";
    }
    const double first = recording_.beats.empty() || !(recording_.beatRate > 0)
                             ? 0.0
                             : recording_.BeatSeconds(recording_.beats.front());
    if (fragment_.start > first) {
        out += " [" + ClockText(std::llround(SecondsToTicks(fragment_.start))) + "]";
    }
    return out;
}

std::int32_t FragmentWords(const FragmentData& f) {
    const std::int32_t count = std::clamp(f.RrCount, 0, kWordCapacity);
    std::int64_t total = 0;
    for (std::int32_t p = 2; p <= count; ++p) {
        total += f.RrWords[static_cast<std::size_t>(p)] >> 8;
        if (total >= kRequiredTicks) {
            return p;
        }
    }
    return count;
}

std::optional<double> ParseClockTime(const std::string& text) {
    std::string_view t(text);
    while (!t.empty() && t.front() == ' ') {
        t.remove_prefix(1);
    }
    while (!t.empty() && t.back() == ' ') {
        t.remove_suffix(1);
    }
    if (t.empty()) {
        return std::nullopt;
    }
    double seconds = 0;
    int fields = 0;
    while (true) {
        const std::size_t colon = t.find(':');
        std::string field(t.substr(0, colon));
        const bool last = colon == std::string_view::npos;
        if (last) {
            std::replace(field.begin(), field.end(), ',', '.');
        }
        double value = 0;
        const auto r = std::from_chars(field.data(), field.data() + field.size(), value);
        if (field.empty() || r.ec != std::errc() || r.ptr != field.data() + field.size() ||
            value < 0 || (!last && value != std::floor(value)) || (fields > 0 && value >= 60) ||
            ++fields > 3) {
            return std::nullopt;
        }
        seconds = seconds * 60 + value;
        if (last) {
            return seconds;
        }
        t.remove_prefix(colon + 1);
    }
}

std::string BeatSession::Label() const {
    return fragment_.Partial() ? FragmentLabel(fragment_) : std::string();
}

std::string BeatSession::FragmentBeatsCsv(std::int32_t intervals) const {
    const std::vector<EditedBeat> beats = editor_.Beats();
    std::vector<EditedBeat> part;
    const double rate = recording_.beatRate;
    std::int32_t present = 0;
    for (const EditedBeat& b : beats) {
        if (static_cast<double>(b.beat.sample) / rate < fragment_.start) {
            continue;
        }
        if (present > intervals) {
            break;
        }
        part.push_back(b);
        present += b.present ? 1 : 0;
    }
    return BeatsCsvText(part, rate);
}

} // namespace hrv
