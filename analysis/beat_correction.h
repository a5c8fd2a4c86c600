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

namespace correction {

// The constants of the detector, chosen on many drawn sets of real series with known artefacts;
// the defaults are the program's. Costs and penalties are in local spreads of successive
// differences, lengths in 10 ms ticks.
struct Tuning {
    int window = 45;              // beats on either side for the spread and the level
    int firstWindow = 90;         // the same for the first pass's spread
    double minSpread = 1.0;       // ticks: no spread (nor level spread) falls below one tick
    double knee = 2.0;            // where the cost of a difference turns from square to linear
    double levelWeight = 0.4;     // weight of a given interval's distance from the level
    double levelWeightMade = 0.5; // the same for an interval a correction makes
    int horizon = 3;              // input beats looked ahead for each decision
    int firstHorizon = 1;         // the same in the first pass
    double penaltyMove = 11.5;    // times the local jitter (in spreads)
    double pairWeight = 0.5;      // per spread a moved pair is off its neighbours' sum
    double jitterQuantile = 0.9;
    int jitterWindow = 45;
    double minJitter = 1.0; // ticks: the jitter never falls below one tick
    double penaltyDrop = 12.0;
    double penaltyInsert = 6.0; // per inserted beat
    double rightClamp = 2.0;    // spreads: how far the next raw interval may pull a placed beat
    double ectopicShare = 0.2;  // an early beat moved by more than this share of the level
    double pairMismatch = 0.25; // a moved pair whose sum is off twice the level by more
    int noiseGap = 4;           // unmarked intervals that may separate corrections of one stretch
    int noiseCount = 5;         // corrections that make a stretch noise
    int noiseLevelBeats = 10;   // intervals on either side that give a noise stretch its level
    double noiseFit = 0.2;      // a stretch whose mean interval is this close to that level fits
};

} // namespace correction

// Finds the artefacts of `ticks` (10 ms ticks, 1..255 each) and writes the corrected series to
// `out`. Without an artefact, out.ticks equals `ticks` and out.marks is all zero. `tuning` is
// for the benchmark; the program always runs with the defaults.
void CorrectBeats(std::span<const std::uint8_t> ticks, BeatCorrection& out,
                  const correction::Tuning& tuning = {});

} // namespace hrv
