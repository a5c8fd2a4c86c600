// Beats corrected by hand, their history, their texts and their file.
#include "presentation/beat_edits.h"

#include "analysis/beat_correction.h"
#include "files/ecg_record.h"
#include "files/file_io.h"
#include "presentation/clock_text.h"
#include "presentation/format_fixed.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <filesystem>
#include <limits>
#include <stdexcept>

namespace hrv {

namespace {

std::int64_t SampleAt(double seconds, double rate) {
    return static_cast<std::int64_t>(std::llround(seconds * rate));
}

bool UsableChannel(const SignalRecording& r, int channel) {
    return channel >= 0 && static_cast<std::size_t>(channel) < r.channels.size() &&
           r.channels[static_cast<std::size_t>(channel)].Size() > 0 &&
           r.channels[static_cast<std::size_t>(channel)].rate > 0 && r.beatRate > 0;
}

// The samples [a, b] of a channel in physical units and their median.
double WindowMedian(const SignalChannel& c, std::size_t a, std::size_t b, std::vector<double>& x) {
    x.clear();
    for (std::size_t i = a; i <= b; ++i) {
        x.push_back(c.Physical(i));
    }
    std::vector<double> sorted = x;
    const auto mid = sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2);
    std::nth_element(sorted.begin(), mid, sorted.end());
    return *mid;
}

// The window of ±kSnapWindow around channel sample `centre`, clipped to the channel; false when
// it lies wholly outside.
bool SnapRange(const SignalChannel& c, std::int64_t centre, std::size_t& a, std::size_t& b) {
    const std::int64_t w = std::max<std::int64_t>(1, std::llround(kSnapWindow * c.rate));
    const std::int64_t last = static_cast<std::int64_t>(c.Size()) - 1;
    const std::int64_t lo = std::max<std::int64_t>(0, centre - w);
    const std::int64_t hi = std::min(last, centre + w);
    if (lo > hi) {
        return false;
    }
    a = static_cast<std::size_t>(lo);
    b = static_cast<std::size_t>(hi);
    return true;
}

bool ByHand(BeatMark m) {
    return m == BeatMark::Added || m == BeatMark::Removed || m == BeatMark::Moved;
}

std::int64_t TickOf(std::int64_t sample, double rate) {
    return static_cast<std::int64_t>(
        std::floor(static_cast<double>(sample) * kTicksPerSecond / rate + 0.5));
}

// The interval of sorted `samples` ending at the first one at or after `s` (seconds).
double IntervalAt(const std::vector<std::int64_t>& samples, std::int64_t s, double rate) {
    const auto j = std::lower_bound(samples.begin(), samples.end(), s);
    if (j == samples.begin() || j == samples.end()) {
        return 0;
    }
    return static_cast<double>(*j - *(j - 1)) / rate;
}

template <class E, class Name> bool ParseName(std::string_view text, E last, Name name, E& out) {
    for (int k = 0; k <= static_cast<int>(last); ++k) {
        if (text == name(static_cast<E>(k))) {
            out = static_cast<E>(k);
            return true;
        }
    }
    return false;
}

} // namespace

std::int64_t SnapToPeak(const SignalRecording& r, int channel, int polarity, double seconds) {
    if (!UsableChannel(r, channel)) {
        return SampleAt(seconds, r.beatRate);
    }
    const SignalChannel& c = r.channels[static_cast<std::size_t>(channel)];
    const std::int64_t centre = SampleAt(seconds, c.rate);
    std::size_t a = 0;
    std::size_t b = 0;
    if (!SnapRange(c, centre, a, b)) {
        return SampleAt(seconds, r.beatRate);
    }
    std::vector<double> x;
    const double median = WindowMedian(c, a, b, x);
    // The largest deflection of one sign (nearest the centre among equals): its sample and size.
    const auto largest = [&](int sign, double& size) {
        std::size_t at = a;
        size = -std::numeric_limits<double>::infinity();
        std::int64_t distance = 0;
        for (std::size_t k = 0; k < x.size(); ++k) {
            const double d = x[k] - median;
            const double v = sign > 0 ? d : sign < 0 ? -d : std::abs(d);
            const std::int64_t far = std::abs(static_cast<std::int64_t>(a + k) - centre);
            if (v > size || (v == size && far < distance)) {
                at = a + k;
                size = v;
                distance = far;
            }
        }
        return at;
    };
    double size = 0;
    std::size_t best = largest(polarity, size);
    if (polarity != 0) {
        // A beat of the other polarity (a ventricular beat inverted on this lead) where the
        // other deflection is more than twice as large.
        double other = 0;
        const std::size_t opposite = largest(-polarity, other);
        if (other > 2 * size) {
            best = opposite;
        }
    }
    return SampleAt(static_cast<double>(best) / c.rate, r.beatRate);
}

int DominantPolarity(const SignalRecording& r, int channel) {
    if (!UsableChannel(r, channel) || r.beats.empty()) {
        return 0;
    }
    const SignalChannel& c = r.channels[static_cast<std::size_t>(channel)];
    const std::size_t n = r.beats.size();
    const std::size_t step = std::max<std::size_t>(1, n / 200);
    int up = 0;
    int down = 0;
    std::vector<double> x;
    for (std::size_t k = 0; k < n; k += step) {
        const std::int64_t at = SampleAt(r.BeatSeconds(r.beats[k]), c.rate);
        std::size_t a = 0;
        std::size_t b = 0;
        if (at < 0 || at >= static_cast<std::int64_t>(c.Size()) || !SnapRange(c, at, a, b)) {
            continue;
        }
        const double d = c.Physical(static_cast<std::size_t>(at)) - WindowMedian(c, a, b, x);
        up += d > 0;
        down += d < 0;
    }
    return up > down ? 1 : down > up ? -1 : 0;
}

BeatEditor::BeatEditor(const SignalRecording& r, int channel)
    : r_(r), channel_(channel), polarity_(DominantPolarity(r, channel)) {
    beats_.reserve(r.beats.size());
    recorded_.reserve(r.beats.size());
    for (const Beat& b : r.beats) {
        beats_.push_back(EditedBeat{b, BeatMark::Normal, true, b.sample});
        recorded_.push_back(b.sample);
    }
}

void BeatEditor::SetFragment(bool correct, double from, double to) {
    correct_ = correct;
    from_ = from;
    to_ = to;
    stale_ = true;
}

void BeatEditor::Restore(std::span<const EditedBeat> saved) {
    beats_.clear();
    for (const EditedBeat& b : saved) {
        if (ByHand(b.mark) || b.mark == BeatMark::Normal) {
            beats_.push_back(b);
        } else if (!b.present) {
            // A recorded beat an automatic correction replaced: recorded again, proposed again.
            EditedBeat back = b;
            back.present = true;
            back.mark = BeatMark::Normal;
            beats_.push_back(back);
        }
    }
    undo_.clear();
    redo_.clear();
    decisions_.clear();
    stale_ = true;
}

std::int64_t BeatEditor::Snap(double seconds) const {
    return SnapToPeak(r_, channel_, polarity_, seconds);
}

std::optional<std::size_t> BeatEditor::Nearest(double seconds) const {
    const double rate = r_.beatRate;
    if (!(rate > 0)) {
        return std::nullopt;
    }
    const std::int64_t s = SampleAt(seconds, rate);
    const auto at =
        std::lower_bound(beats_.begin(), beats_.end(), s,
                         [](const EditedBeat& b, std::int64_t v) { return b.beat.sample < v; });
    const double reach = kSnapWindow * rate + 0.5;
    std::optional<std::size_t> best;
    double bestDistance = reach;
    for (auto it = at; it != beats_.end() && static_cast<double>(it->beat.sample - s) <= reach;
         ++it) {
        const double d = static_cast<double>(it->beat.sample - s);
        if (it->present && d <= bestDistance) {
            best = static_cast<std::size_t>(it - beats_.begin());
            bestDistance = d;
            break;
        }
    }
    for (auto it = at; it != beats_.begin();) {
        --it;
        const double d = static_cast<double>(s - it->beat.sample);
        if (d > reach) {
            break;
        }
        if (it->present) {
            if (d < bestDistance || (d == bestDistance && !best)) {
                best = static_cast<std::size_t>(it - beats_.begin());
            }
            break;
        }
    }
    return best;
}

void BeatEditor::Apply(const Operation& op, bool forward) {
    const auto splice = [this](std::size_t at, const std::vector<EditedBeat>& out,
                               const std::vector<EditedBeat>& in) {
        const auto first = beats_.begin() + static_cast<std::ptrdiff_t>(at);
        beats_.erase(first, first + static_cast<std::ptrdiff_t>(out.size()));
        beats_.insert(beats_.begin() + static_cast<std::ptrdiff_t>(at), in.begin(), in.end());
    };
    if (forward) {
        for (const Splice& s : op.splices) {
            splice(s.at, s.before, s.after);
        }
    } else {
        for (auto s = op.splices.rbegin(); s != op.splices.rend(); ++s) {
            splice(s->at, s->after, s->before);
        }
    }
    if (op.key) {
        const bool state = forward ? op.accepted : !op.accepted;
        decisions_[*op.key] = state;
    }
    stale_ = true;
}

void BeatEditor::Do(Operation op) {
    Apply(op, true);
    undo_.push_back(std::move(op));
    redo_.clear();
}

bool BeatEditor::Undo() {
    if (undo_.empty()) {
        return false;
    }
    Apply(undo_.back(), false);
    redo_.push_back(std::move(undo_.back()));
    undo_.pop_back();
    return true;
}

bool BeatEditor::Redo() {
    if (redo_.empty()) {
        return false;
    }
    Apply(redo_.back(), true);
    undo_.push_back(std::move(redo_.back()));
    redo_.pop_back();
    return true;
}

bool BeatEditor::Add(double seconds) {
    if (!(r_.beatRate > 0)) {
        return false;
    }
    const std::int64_t s = Snap(seconds);
    auto it =
        std::lower_bound(beats_.begin(), beats_.end(), s,
                         [](const EditedBeat& b, std::int64_t v) { return b.beat.sample < v; });
    const std::size_t at = static_cast<std::size_t>(it - beats_.begin());
    Operation op;
    for (auto same = it; same != beats_.end() && same->beat.sample == s; ++same) {
        if (same->present) {
            return false;
        }
    }
    if (it != beats_.end() && it->beat.sample == s) {
        // A beat removed here before comes back.
        EditedBeat back = *it;
        back.present = true;
        back.mark = back.original == s ? BeatMark::Normal : BeatMark::Moved;
        op.splices.push_back(Splice{at, {*it}, {back}});
    } else {
        const BeatSource source = r_.beats.empty() ? BeatSource::Detected : r_.beats[0].source;
        const EditedBeat added{Beat{s, source, BeatKind::Unknown, 0}, BeatMark::Added, true, s};
        op.splices.push_back(Splice{at, {}, {added}});
    }
    Do(std::move(op));
    return true;
}

bool BeatEditor::Remove(double seconds) {
    const auto at = Nearest(seconds);
    if (!at) {
        return false;
    }
    const EditedBeat& b = beats_[*at];
    Operation op;
    if (b.mark == BeatMark::Added) {
        op.splices.push_back(Splice{*at, {b}, {}});
    } else {
        EditedBeat gone = b;
        gone.present = false;
        gone.mark = BeatMark::Removed;
        op.splices.push_back(Splice{*at, {b}, {gone}});
    }
    Do(std::move(op));
    return true;
}

bool BeatEditor::Move(double from, double to) {
    const auto at = Nearest(from);
    if (!at) {
        return false;
    }
    const EditedBeat b = beats_[*at];
    const std::int64_t s = Snap(to);
    if (s == b.beat.sample) {
        return false;
    }
    for (const EditedBeat& e : beats_) {
        if (e.present && e.beat.sample == s) {
            return false;
        }
    }
    EditedBeat moved = b;
    moved.beat.sample = s;
    moved.mark = b.mark == BeatMark::Added ? BeatMark::Added
                 : s == b.original         ? BeatMark::Normal
                                           : BeatMark::Moved;
    // Where it goes once it is out of its old place.
    std::size_t target = 0;
    {
        auto it =
            std::upper_bound(beats_.begin(), beats_.end(), s,
                             [](std::int64_t v, const EditedBeat& e) { return v < e.beat.sample; });
        target = static_cast<std::size_t>(it - beats_.begin());
        if (target > *at) {
            --target;
        }
    }
    Operation op;
    op.splices.push_back(Splice{*at, {b}, {}});
    op.splices.push_back(Splice{target, {}, {moved}});
    Do(std::move(op));
    return true;
}

bool BeatEditor::Decide(std::size_t index, bool accepted) {
    const auto& proposals = Proposals();
    if (index >= proposals.size() || proposals[index].accepted == accepted) {
        return false;
    }
    Operation op;
    op.key = proposals[index].key;
    op.accepted = accepted;
    Do(std::move(op));
    return true;
}

const std::vector<CorrectionProposal>& BeatEditor::Proposals() const {
    if (stale_) {
        Propose();
        stale_ = false;
    }
    return proposals_;
}

void BeatEditor::Propose() const {
    proposals_.clear();
    const double rate = r_.beatRate;
    if (!correct_ || !(rate > 0)) {
        return;
    }
    // The present beats of the fragment and its neighbourhood, and their tick times.
    std::vector<std::int64_t> samples;
    std::vector<std::int64_t> ticks;
    const double lo = from_ - kCorrectionMargin;
    const double hi = to_ + kCorrectionMargin;
    for (const EditedBeat& b : beats_) {
        const double t = static_cast<double>(b.beat.sample) / rate;
        if (b.present && t >= lo && t < hi) {
            samples.push_back(b.beat.sample);
            ticks.push_back(TickOf(b.beat.sample, rate));
        }
    }
    BeatCorrection out;
    std::vector<std::uint8_t> input;
    std::vector<std::int64_t> corrected;
    std::size_t first = 0;
    // Runs of intervals the corrector takes (1..255 ticks), each corrected on its own.
    while (first + 1 < ticks.size()) {
        std::size_t last = first; // the run's last beat
        while (last + 1 < ticks.size() && ticks[last + 1] - ticks[last] >= 1 &&
               ticks[last + 1] - ticks[last] <= 255) {
            ++last;
        }
        if (last - first < 2) {
            first = last + 1;
            continue;
        }
        input.clear();
        for (std::size_t k = first; k < last; ++k) {
            input.push_back(static_cast<std::uint8_t>(ticks[k + 1] - ticks[k]));
        }
        CorrectBeats(input, out);
        corrected.assign(1, ticks[first]);
        for (const std::uint8_t t : out.ticks) {
            corrected.push_back(corrected.back() + t);
        }
        // Walk both beat lists; beats at the same tick are kept, those between two kept beats
        // make one proposal.
        const std::size_t m = last - first + 1;
        const std::size_t mc = corrected.size();
        std::size_t i = 0;
        std::size_t j = 0;
        std::size_t anchorI = 0;
        std::size_t anchorJ = 0;
        CorrectionProposal p;
        const auto emit = [&](std::size_t nextI, std::size_t nextJ) {
            if (p.removed.empty() && p.inserted.empty()) {
                return;
            }
            for (std::size_t k = anchorJ; k < std::min(nextJ, out.marks.size()); ++k) {
                if (out.marks[k] != 0) {
                    p.mark = MarkOfArtefact(out.marks[k]);
                    break;
                }
            }
            int count = 0;
            for (const Artefact& a : out.artefacts) {
                const auto index = static_cast<std::size_t>(std::max(0, a.index));
                count += index >= anchorI && index < nextI;
            }
            p.artefacts = std::max(1, count);
            p.key = std::min(p.removed.empty() ? INT64_MAX : p.removed.front(),
                             p.inserted.empty() ? INT64_MAX : p.inserted.front());
            bool inside = false;
            for (const auto* list : {&p.removed, &p.inserted}) {
                for (const std::int64_t s : *list) {
                    const double t = static_cast<double>(s) / rate;
                    inside = inside || (t >= from_ && t < to_);
                }
            }
            if (inside) {
                const auto d = decisions_.find(p.key);
                p.accepted = d == decisions_.end() || d->second;
                proposals_.push_back(std::move(p));
            }
            p = CorrectionProposal{};
        };
        while (i < m || j < mc) {
            if (i < m && j < mc && ticks[first + i] == corrected[j]) {
                emit(i, j);
                anchorI = i;
                anchorJ = j;
                ++i;
                ++j;
            } else if (j >= mc || (i < m && ticks[first + i] < corrected[j])) {
                p.removed.push_back(samples[first + i]);
                ++i;
            } else {
                p.inserted.push_back(
                    SampleAt(static_cast<double>(corrected[j]) / kTicksPerSecond, rate));
                ++j;
            }
        }
        emit(m, mc);
        first = last + 1;
    }
}

std::vector<EditedBeat> BeatEditor::Beats() const {
    const auto& proposals = Proposals();
    std::vector<EditedBeat> out = beats_;
    std::vector<EditedBeat> inserted;
    std::size_t at = 0; // entries before `at` precede the proposal's removed beats
    for (const CorrectionProposal& p : proposals) {
        if (!p.accepted) {
            continue;
        }
        for (const std::int64_t s : p.removed) {
            while (at < out.size() && (out[at].beat.sample < s || !out[at].present)) {
                ++at;
            }
            if (at < out.size()) {
                out[at].present = false;
                out[at].mark = p.mark;
            }
        }
        const BeatSource source = r_.beats.empty() ? BeatSource::Detected : r_.beats[0].source;
        for (const std::int64_t s : p.inserted) {
            inserted.push_back(EditedBeat{Beat{s, source, BeatKind::Unknown, 0}, p.mark, true, s});
        }
    }
    const std::size_t middle = out.size();
    out.insert(out.end(), inserted.begin(), inserted.end());
    std::inplace_merge(
        out.begin(), out.begin() + static_cast<std::ptrdiff_t>(middle), out.end(),
        [](const EditedBeat& a, const EditedBeat& b) { return a.beat.sample < b.beat.sample; });
    return out;
}

std::vector<MarkedBeat> BeatEditor::Marks() const {
    std::vector<MarkedBeat> marks;
    for (const EditedBeat& b : Beats()) {
        marks.push_back(MarkedBeat{b.beat.sample, b.mark, b.present});
    }
    return marks;
}

SignalRecording BeatEditor::Edited() const {
    SignalRecording e;
    e.name = r_.name;
    e.start = r_.start;
    e.beatRate = r_.beatRate;
    for (const EditedBeat& b : Beats()) {
        if (b.present) {
            e.beats.push_back(b.beat);
        }
    }
    return e;
}

std::vector<BeatChange> BeatEditor::Changes() const {
    const std::vector<EditedBeat> beats = Beats();
    std::vector<std::int64_t> now;
    for (const EditedBeat& b : beats) {
        if (b.present) {
            now.push_back(b.beat.sample);
        }
    }
    const double rate = r_.beatRate;
    std::vector<BeatChange> changes;
    for (const EditedBeat& b : beats) {
        // A beat a correction moved away shows where it went, not where it was.
        if (b.mark == BeatMark::Normal ||
            (!b.present && b.mark != BeatMark::Removed && b.mark != BeatMark::Extra)) {
            continue;
        }
        const std::int64_t was = b.mark == BeatMark::Moved ? b.original : b.beat.sample;
        changes.push_back(BeatChange{static_cast<double>(b.beat.sample) / rate, b.mark,
                                     IntervalAt(recorded_, was, rate),
                                     IntervalAt(now, b.beat.sample, rate)});
    }
    return changes;
}

int BeatEditor::AutomaticCount(double from, double to) const {
    int count = 0;
    for (const CorrectionProposal& p : Proposals()) {
        const double t = static_cast<double>(p.key) / r_.beatRate;
        if (p.accepted && t >= from && t < to) {
            count += p.artefacts;
        }
    }
    return count;
}

int BeatEditor::ManualCount(double from, double to) const {
    int count = 0;
    for (const EditedBeat& b : beats_) {
        const double t = static_cast<double>(b.beat.sample) / r_.beatRate;
        count += ByHand(b.mark) && t >= from && t < to;
    }
    return count;
}

std::string EditedCorrectionText(int automatic, int manual, int analysed, char separator) {
    const double percent = analysed > 0 ? 100.0 * automatic / analysed : 0.0;
    std::string text = "Коррекция: " + IntegerText(automatic) + " из " + IntegerText(analysed) +
                       " (" + FormatFixed(percent, 1, separator) + " %)";
    if (manual > 0) {
        text += ", вручную: " + IntegerText(manual);
    }
    return text;
}

std::string ChangeLine(const BeatChange& change) {
    const auto ms = [](double seconds) {
        return seconds > 0 ? IntegerText(std::llround(seconds * 1000)) : std::string("–");
    };
    return ClockText(std::llround(std::floor(change.seconds) * kTicksPerSecond)) + "\t" +
           BeatMarkTitle(change.mark) + "\t" + ms(change.oldInterval) + " → " +
           ms(change.newInterval) + " мс";
}

std::string BeatsCsvPath(const std::string& rrPath) {
    const std::size_t slash = rrPath.find_last_of("/\\");
    const std::size_t dot = rrPath.rfind('.');
    const bool hasExtension =
        dot != std::string::npos && (slash == std::string::npos || dot > slash + 1);
    return (hasExtension ? rrPath.substr(0, dot) : rrPath) + ".beats.csv";
}

std::string BeatsCsvText(std::span<const EditedBeat> beats, double beatRate) {
    std::string text = "time_s,sample,kind,source,edit,original_sample,present\n";
    char buffer[64];
    const auto number = [&](auto value, auto... format) {
        const auto r = std::to_chars(buffer, buffer + sizeof buffer, value, format...);
        text.append(buffer, r.ptr);
    };
    for (const EditedBeat& b : beats) {
        number(static_cast<double>(b.beat.sample) / beatRate, std::chars_format::fixed, 6);
        text += ',';
        number(b.beat.sample);
        text += ',';
        text += BeatKindName(b.beat.kind);
        text += ',';
        text += BeatSourceName(b.beat.source);
        text += ',';
        text += BeatMarkName(b.mark);
        text += ',';
        number(b.original);
        text += b.present ? ",1\n" : ",0\n";
    }
    return text;
}

std::vector<EditedBeat> ReadBeatsCsv(const std::string& text) {
    std::vector<EditedBeat> beats;
    std::size_t pos = 0;
    int line = 0;
    while (pos < text.size()) {
        std::size_t end = text.find('\n', pos);
        if (end == std::string::npos) {
            end = text.size();
        }
        std::string_view row(text.data() + pos, end - pos);
        pos = end + 1;
        ++line;
        if (!row.empty() && row.back() == '\r') {
            row.remove_suffix(1);
        }
        const auto fail = [line]() {
            return std::runtime_error("Файл ударов: неверная строка " + std::to_string(line));
        };
        if (line == 1) {
            if (row.substr(0, 22) != "time_s,sample,kind,sou") {
                throw fail();
            }
            continue;
        }
        if (row.empty()) {
            continue;
        }
        std::vector<std::string_view> f;
        for (std::size_t a = 0;;) {
            const std::size_t c = row.find(',', a);
            f.push_back(row.substr(a, c == std::string_view::npos ? c : c - a));
            if (c == std::string_view::npos) {
                break;
            }
            a = c + 1;
        }
        if (f.size() != 7 || (f[6] != "0" && f[6] != "1")) {
            throw fail();
        }
        EditedBeat b;
        const auto integer = [&](std::string_view s, std::int64_t& v) {
            const auto r = std::from_chars(s.data(), s.data() + s.size(), v);
            if (r.ec != std::errc{} || r.ptr != s.data() + s.size()) {
                throw fail();
            }
        };
        integer(f[1], b.beat.sample);
        integer(f[5], b.original);
        if (!ParseName(f[2], BeatKind::Unclassifiable, BeatKindName, b.beat.kind) ||
            !ParseName(f[3], BeatSource::RrFile, BeatSourceName, b.beat.source) ||
            !ParseName(f[4], BeatMark::Moved, BeatMarkName, b.mark)) {
            throw fail();
        }
        b.present = f[6] == "1";
        if (!beats.empty() && b.beat.sample < beats.back().beat.sample) {
            throw fail();
        }
        beats.push_back(b);
    }
    return beats;
}

void SaveBeatsCsv(const std::string& path, const std::string& sourcePath, const std::string& text) {
    std::error_code ec;
    if (path == sourcePath || std::filesystem::equivalent(path, sourcePath, ec)) {
        throw FileIoError("Файл " + path + " – исходная запись; удары в него не записываются");
    }
    WriteFileAtomic(path,
                    std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

} // namespace hrv
