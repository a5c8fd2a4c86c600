// Artefact beats: found and corrected on beat times, only when the user asks for it.
//
// A finger sensor or a chest strap gives wrong beats: a missed pulse (one interval as long as two),
// a spurious upstroke (one interval split in two), a premature beat (a short interval followed by
// a long one) and a beat detected early or late. The correction works on the beat times, so the
// duration of the series is kept: a missed beat is restored by inserting beats, an extra beat is
// removed by merging its two parts, a premature beat is moved and only it, a misplaced beat is
// moved back. A clean series is left exactly as it is.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace hrv {

// What an artefact was taken for. Long and Short are intervals out of line with their neighbours
// that fit none of the other shapes (noise); they are replaced from the corrected neighbours.
enum class ArtefactKind : std::uint8_t { Missed = 1, Extra, Ectopic, Misplaced, Long, Short };

// "missed", "extra", "ectopic", "misplaced", "long" or "short".
const char* ArtefactKindName(ArtefactKind kind);

struct Artefact {
    std::int32_t index = 0; // 0-based position of the first input interval it touches
    ArtefactKind kind = ArtefactKind::Long;
};

// The outcome of one correction. The vectors keep their capacity from call to call.
struct BeatCorrection {
    std::vector<std::uint8_t> ticks; // the corrected intervals, 10 ms ticks, 1..255 each
    // Per corrected interval: 0 where it is an input interval as it was, otherwise the
    // ArtefactKind of the correction that made or moved it.
    std::vector<std::uint8_t> marks;
    std::vector<Artefact> artefacts; // in increasing order of index
};

// Finds the artefacts of `ticks` (10 ms ticks, 1..255 each) and writes the corrected series to
// `out`. Without an artefact, out.ticks equals `ticks` and out.marks is all zero.
void CorrectBeats(std::span<const std::uint8_t> ticks, BeatCorrection& out);

} // namespace hrv
