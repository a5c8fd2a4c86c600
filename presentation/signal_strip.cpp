// The signal strip's geometry.
#include "presentation/signal_strip.h"

#include "analysis/beat_correction.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace hrv {

namespace {

constexpr std::size_t kBlock = 64; // elements of a level per element of the next
constexpr std::size_t kLevels = 3; // blocks of 64, 4096 and 262144 samples

template <class T>
void ScanRaw(const T* p, std::size_t first, std::size_t last, std::int32_t& lo, std::int32_t& hi) {
    T a = p[first];
    T b = p[first];
    for (std::size_t i = first + 1; i < last; ++i) {
        a = std::min(a, p[i]);
        b = std::max(b, p[i]);
    }
    lo = std::min<std::int32_t>(lo, a);
    hi = std::max<std::int32_t>(hi, b);
}

} // namespace

StripViewport::StripViewport(double totalSeconds, int widthPixels)
    : total_(std::max(0.0, totalSeconds)), width_(std::max(1, widthPixels)) {
    Show(0, total_);
}

void StripViewport::SetWidth(int widthPixels) {
    width_ = std::max(1, widthPixels);
}

void StripViewport::Show(double start, double span) {
    const double least = std::min(kMinStripSpan, total_);
    span_ = std::clamp(std::isfinite(span) ? span : total_, least, total_);
    start_ = std::clamp(std::isfinite(start) ? start : 0.0, 0.0, total_ - span_);
}

void StripViewport::Zoom(double factor, double atX) {
    if (!(factor > 0)) {
        return;
    }
    const double at = TimeAt(atX);
    const double span = std::clamp(span_ / factor, std::min(kMinStripSpan, total_), total_);
    Show(at - atX * span / width_, span);
}

void StripViewport::ScrollSeconds(double seconds) {
    Show(start_ + seconds, span_);
}

void StripViewport::CentreOn(double seconds) {
    Show(seconds - span_ / 2, span_);
}

EnvelopePyramid::EnvelopePyramid(const SignalChannel& channel) : channel_(channel) {
    std::size_t n = channel.Size();
    for (std::size_t k = 0; k < kLevels && n > kBlock; ++k) {
        std::vector<MinMax> level((n + kBlock - 1) / kBlock);
        for (std::size_t b = 0; b < level.size(); ++b) {
            const std::size_t first = b * kBlock;
            const std::size_t last = std::min(n, first + kBlock);
            MinMax m{std::numeric_limits<std::int32_t>::max(),
                     std::numeric_limits<std::int32_t>::min()};
            if (k == 0) {
                RawRange(first, last, m.lo, m.hi);
            } else {
                for (std::size_t i = first; i < last; ++i) {
                    m.lo = std::min(m.lo, levels_[k - 1][i].lo);
                    m.hi = std::max(m.hi, levels_[k - 1][i].hi);
                }
            }
            level[b] = m;
        }
        n = level.size();
        levels_.push_back(std::move(level));
    }
}

void EnvelopePyramid::RawRange(std::size_t first, std::size_t last, std::int32_t& lo,
                               std::int32_t& hi) const {
    if (channel_.raw32.empty()) {
        ScanRaw(channel_.raw16.data(), first, last, lo, hi);
    } else {
        ScanRaw(channel_.raw32.data(), first, last, lo, hi);
    }
}

void EnvelopePyramid::Range(std::size_t level, std::size_t first, std::size_t last,
                            MinMax& acc) const {
    const auto scan = [&](std::size_t a, std::size_t b) {
        if (a >= b) {
            return;
        }
        if (level == 0) {
            RawRange(a, b, acc.lo, acc.hi);
            return;
        }
        for (std::size_t i = a; i < b; ++i) {
            acc.lo = std::min(acc.lo, levels_[level - 1][i].lo);
            acc.hi = std::max(acc.hi, levels_[level - 1][i].hi);
        }
    };
    const std::size_t whole = (first + kBlock - 1) / kBlock;
    const std::size_t end = last / kBlock;
    if (level == levels_.size() || whole >= end) {
        scan(first, last);
        return;
    }
    scan(first, whole * kBlock);
    Range(level + 1, whole, end, acc);
    scan(end * kBlock, last);
}

std::vector<EnvelopeColumn> EnvelopePyramid::Envelope(const StripViewport& view) const {
    std::vector<EnvelopeColumn> out;
    EnvelopeInto(view, out);
    return out;
}

void EnvelopePyramid::EnvelopeInto(const StripViewport& view,
                                   std::vector<EnvelopeColumn>& out) const {
    const int width = view.Width();
    out.assign(static_cast<std::size_t>(width), EnvelopeColumn{});
    const std::size_t n = channel_.Size();
    const double rate = channel_.rate;
    if (n == 0 || !(rate > 0)) {
        return;
    }
    const double start = view.Start();
    const double spp = view.SecondsPerPixel();
    const auto column = [&](std::size_t i) {
        return std::floor((static_cast<double>(i) / rate - start) / spp);
    };
    // The first sample of column c: the least i whose column is c or more.
    const auto boundary = [&](int c) {
        const double guess = std::ceil((start + c * spp) * rate);
        std::size_t i = guess <= 0                        ? 0
                        : guess >= static_cast<double>(n) ? n
                                                          : static_cast<std::size_t>(guess);
        while (i > 0 && column(i - 1) >= c) {
            --i;
        }
        while (i < n && column(i) < c) {
            ++i;
        }
        return i;
    };
    const double scale = 1.0 / channel_.gain;
    std::size_t first = boundary(0);
    for (int c = 0; c < width; ++c) {
        const std::size_t last = boundary(c + 1);
        if (last > first) {
            MinMax m{std::numeric_limits<std::int32_t>::max(),
                     std::numeric_limits<std::int32_t>::min()};
            Range(0, first, last, m);
            const double a = (m.lo - channel_.baseline) * scale;
            const double b = (m.hi - channel_.baseline) * scale;
            EnvelopeColumn& e = out[static_cast<std::size_t>(c)];
            e.lo = static_cast<float>(std::min(a, b));
            e.hi = static_cast<float>(std::max(a, b));
            e.empty = false;
        }
        first = std::max(first, last);
    }
}

std::size_t EnvelopePyramid::MemoryBytes() const {
    std::size_t bytes = 0;
    for (const auto& level : levels_) {
        bytes += level.capacity() * sizeof(MinMax);
    }
    return bytes;
}

BeatMark MarkOfArtefact(std::uint8_t kind) {
    switch (static_cast<ArtefactKind>(kind)) {
    case ArtefactKind::Missed:
        return BeatMark::Missed;
    case ArtefactKind::Extra:
        return BeatMark::Extra;
    case ArtefactKind::Ectopic:
        return BeatMark::Premature;
    case ArtefactKind::Misplaced:
    case ArtefactKind::Long:
    case ArtefactKind::Short:
        return BeatMark::Misplaced;
    }
    return BeatMark::Normal;
}

const char* BeatMarkName(BeatMark mark) {
    switch (mark) {
    case BeatMark::Normal:
        return "norm";
    case BeatMark::Missed:
        return "missed";
    case BeatMark::Extra:
        return "extra";
    case BeatMark::Premature:
        return "premature";
    case BeatMark::Misplaced:
        return "misplaced";
    case BeatMark::Added:
        return "added";
    case BeatMark::Removed:
        return "removed";
    case BeatMark::Moved:
        return "moved";
    }
    return "norm";
}

const char* BeatMarkTitle(BeatMark mark) {
    switch (mark) {
    case BeatMark::Normal:
        return "без изменений";
    case BeatMark::Missed:
        return "пропущенный";
    case BeatMark::Extra:
        return "лишний";
    case BeatMark::Premature:
        return "преждевременный";
    case BeatMark::Misplaced:
        return "смещенный";
    case BeatMark::Added:
        return "добавлен вручную";
    case BeatMark::Removed:
        return "удален вручную";
    case BeatMark::Moved:
        return "сдвинут вручную";
    }
    return "";
}

std::vector<StripMark> MarksInView(std::span<const MarkedBeat> beats, double beatRate,
                                   const StripViewport& view) {
    std::vector<StripMark> marks;
    if (!(beatRate > 0)) {
        return marks;
    }
    const double from = view.Start();
    const double to = view.Start() + view.Span();
    auto it = std::lower_bound(beats.begin(), beats.end(), from,
                               [beatRate](const MarkedBeat& b, double t) {
                                   return static_cast<double>(b.sample) / beatRate < t;
                               });
    // The present beat before the view, for the first interval in it.
    double previous = -1;
    for (auto back = it; back != beats.begin();) {
        --back;
        if (back->present) {
            previous = static_cast<double>(back->sample) / beatRate;
            break;
        }
    }
    for (; it != beats.end(); ++it) {
        const double t = static_cast<double>(it->sample) / beatRate;
        if (t > to) {
            break;
        }
        StripMark m;
        m.x = view.XOf(t);
        m.seconds = t;
        m.mark = it->mark;
        m.present = it->present;
        m.index = static_cast<std::size_t>(it - beats.begin());
        if (it->present) {
            m.interval = previous >= 0 ? t - previous : 0;
            previous = t;
        }
        marks.push_back(m);
    }
    return marks;
}

CursorReadout ReadoutAt(std::span<const MarkedBeat> beats, double beatRate,
                        const StripViewport& view, double x) {
    CursorReadout r;
    r.seconds = view.TimeAt(x);
    if (!(beatRate > 0)) {
        return r;
    }
    const auto after = std::lower_bound(beats.begin(), beats.end(), r.seconds,
                                        [beatRate](const MarkedBeat& b, double t) {
                                            return static_cast<double>(b.sample) / beatRate < t;
                                        });
    auto next = after;
    while (next != beats.end() && !next->present) {
        ++next;
    }
    auto previous = after;
    bool found = false;
    while (previous != beats.begin()) {
        --previous;
        if (previous->present) {
            found = true;
            break;
        }
    }
    if (next != beats.end() && found) {
        r.interval = static_cast<double>(next->sample - previous->sample) / beatRate;
    }
    return r;
}

} // namespace hrv
