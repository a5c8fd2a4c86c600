// Beats corrected by hand: an edit history over a recording's beats (add, delete, move, accept or
// reject each automatic correction), undo and redo to any depth, the list of changes, the counts
// of the "Коррекция: …" line, and the edited beats written beside the RR file and read back.
//
// The automatic corrections are proposals over the beats as edited by hand: the corrector runs on
// the intervals of the fragment and a fixed neighbourhood of it (kCorrectionMargin seconds before
// its start and after its end), so what it proposes for the fragment never depends on beats
// further away. Each proposal is a run of beats the correction removes or inserts between two
// beats it keeps; it is accepted unless the user rejects it.
#pragma once

#include "presentation/signal_strip.h"
#include "signals/signal_recording.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// Seconds of beats on either side of the fragment that the corrector sees with it.
inline constexpr double kCorrectionMargin = 60.0;
// Half the window a beat added or moved by hand snaps to a peak in (seconds).
inline constexpr double kSnapWindow = 0.1;

// The sample (at r.beatRate) of the peak nearest `seconds` in channel `channel` of `r`: within
// ±kSnapWindow, the sample of the largest deflection from the window's median in the channel's
// dominant polarity (`polarity` > 0 up, < 0 down, 0: whichever deflection is larger), or of the
// other polarity where that deflection is more than twice as large (an inverted ventricular
// beat). Without a channel (-1, or no samples there) the sample at `seconds` itself.
std::int64_t SnapToPeak(const SignalRecording& r, int channel, int polarity, double seconds);
// The dominant polarity of `channel` at the recording's beats: +1 when the deflections from the
// local median at the beats are mostly upward, -1 when downward, 0 without beats or a channel.
int DominantPolarity(const SignalRecording& r, int channel);

// An automatic correction offered for the fragment.
struct CorrectionProposal {
    std::int64_t key = 0;                // the sample of its first removed or inserted beat
    BeatMark mark = BeatMark::Misplaced; // the kind of artefact it mends
    int artefacts = 1;                   // artefacts of the corrector it stands for (1 or more)
    bool accepted = true;
    std::vector<std::int64_t> removed;  // samples of the beats it removes
    std::vector<std::int64_t> inserted; // samples of the beats it puts in their place
};

// One beat of the edited series as shown and saved.
struct EditedBeat {
    Beat beat;                        // its current place (its place before, if not present)
    BeatMark mark = BeatMark::Normal; // what happened to it
    bool present = true;              // counts in the intervals
    std::int64_t original = 0;        // where it was recorded (moved beats); its sample otherwise
};

// A line of the list of changes: when, what, and the interval (seconds) at that time before any
// edit and now: the interval ending at the beat, or the one spanning its time when the beat is
// not (or no longer) there; 0 where there is none.
struct BeatChange {
    double seconds = 0;
    BeatMark mark = BeatMark::Normal;
    double oldInterval = 0;
    double newInterval = 0;
};

class BeatEditor {
public:
    // Over the beats of `r` (kept by reference with its channels, for snapping); `channel` is the
    // channel the beats were detected on (-1: none, no snapping). No proposals until
    // SetFragment.
    BeatEditor(const SignalRecording& r, int channel);

    // The fragment [from, to) seconds whose automatic corrections are offered; `correct` false
    // offers none. Decisions taken on proposals are kept (by their key) when the fragment moves.
    void SetFragment(bool correct, double from, double to);

    // Starts over from beats saved before (ReadBeatsCsv of this recording's beats file): the
    // changes by hand are taken as they were, the automatic ones proposed anew (accepted). The
    // history is emptied.
    void Restore(std::span<const EditedBeat> saved);

    // Adds a beat at the peak near `seconds`; false (nothing done) when a beat is there already.
    bool Add(double seconds);
    // Deletes the present beat nearest `seconds` within kSnapWindow; false when there is none.
    // Beats an accepted correction put in are taken out by rejecting it, not here.
    bool Remove(double seconds);
    // Moves the present beat nearest `from` (within kSnapWindow) to the peak near `to`; false
    // when there is no such beat or it would land on another one or where it is.
    bool Move(double from, double to);
    // Accepts or rejects proposal `index` of Proposals(); false when it is so already.
    bool Accept(std::size_t index) { return Decide(index, true); }
    bool Reject(std::size_t index) { return Decide(index, false); }

    bool CanUndo() const { return !undo_.empty(); }
    bool CanRedo() const { return !redo_.empty(); }
    bool Undo();
    bool Redo();

    const std::vector<CorrectionProposal>& Proposals() const;
    // Every beat in time order: the present ones and those removed (by hand, or as extra by an
    // accepted correction), with their marks.
    std::vector<EditedBeat> Beats() const;
    // The beats of Beats() for the strip.
    std::vector<MarkedBeat> Marks() const;
    // The present beats as a recording of beats (no channels), for IntervalTicks and the analysis.
    SignalRecording Edited() const;
    // Every change of Beats() (automatic and by hand), in time order.
    std::vector<BeatChange> Changes() const;
    // Accepted proposals whose first changed beat lies within [from, to) seconds, counted by
    // the corrector's artefacts they stand for (as CorrectionsInFragment counts them), and beats
    // added, removed or moved by hand within [from, to).
    int AutomaticCount(double from, double to) const;
    int ManualCount(double from, double to) const;

    // The sample a beat added or moved to `seconds` lands on.
    std::int64_t Snap(double seconds) const;
    double BeatRate() const { return r_.beatRate; }

private:
    struct Splice {
        std::size_t at = 0;
        std::vector<EditedBeat> before;
        std::vector<EditedBeat> after;
    };
    struct Operation {
        std::vector<Splice> splices;
        std::optional<std::int64_t> key; // a decision on the proposal of this key
        bool accepted = false;           // the decision (its undo restores the other)
    };
    void Apply(const Operation& op, bool forward);
    void Do(Operation op);
    bool Decide(std::size_t index, bool accepted);
    std::optional<std::size_t> Nearest(double seconds) const;
    void Propose() const;

    const SignalRecording& r_;
    int channel_ = -1;
    int polarity_ = 0;
    std::vector<EditedBeat> beats_;      // by hand: present beats and ghosts of removed ones
    std::vector<std::int64_t> recorded_; // the beats as recorded, for the old intervals
    std::map<std::int64_t, bool> decisions_;
    std::vector<Operation> undo_;
    std::vector<Operation> redo_;
    bool correct_ = false;
    double from_ = 0;
    double to_ = 0;
    mutable bool stale_ = true;
    mutable std::vector<CorrectionProposal> proposals_;
};

// "Коррекция: N из M (P %)" with N the automatic changes, M the intervals analysed and
// P = 100 N / M (CorrectionText's form, which it equals without a change by hand), and with
// changes by hand ", вручную: K" after it ("Коррекция: 4 из 446 (0,9 %), вручную: 2").
std::string EditedCorrectionText(int automatic, int manual, int analysed, char separator);

// A line of the list of changes: the clock time (ClockText), the kind (BeatMarkTitle) and the
// intervals before and now in whole ms, tab-separated: "00:12:31\tпропущенный\t1600 → 800 мс";
// "–" for an interval there is none of.
std::string ChangeLine(const BeatChange& change);

// The beats file beside an RR file: its name with the extension replaced by ".beats.csv".
std::string BeatsCsvPath(const std::string& rrPath);

// The edited beats (BeatEditor::Beats) as CSV: "time_s,sample,kind,source,edit,original_sample,
// present", one beat a line ("\n"), time with 6 decimals, sample at `beatRate`, kind and source
// by name, edit the BeatMarkName, original_sample where it was recorded, present 1 for a beat
// that counts and 0 for one removed or replaced (so the file keeps what was deleted).
std::string BeatsCsvText(std::span<const EditedBeat> beats, double beatRate);
// Reads BeatsCsvText back. Throws std::runtime_error naming the line on a malformed line or beats
// out of time order.
std::vector<EditedBeat> ReadBeatsCsv(const std::string& text);
// Writes the CSV to `path` atomically (files/file_io.h); refuses (FileIoError) a path that is
// the recording `sourcePath` itself.
void SaveBeatsCsv(const std::string& path, const std::string& sourcePath, const std::string& text);

} // namespace hrv
