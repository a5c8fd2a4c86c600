// The beats behind the window's analysis: the recording opened (its signal where it has one, and
// its beats), the beats as edited by hand, the automatic corrections offered, and the fragment of
// it that is analysed. The window shows them in the signal strip and the overview band; every edit
// or move of the fragment puts the fragment's intervals into the fragment data and analyses again.
#pragma once

#include "analysis/fragment_data.h"
#include "analysis/spectrum.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"
#include "presentation/beat_edits.h"
#include "presentation/chart_data.h"
#include "presentation/fragment_choice.h"
#include "signals/signal_recording.h"

#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace hrv {

// The recording of the file just loaded into `f` as `kind` (LoadFragmentFile): an ECG record as
// read (w.LastRecord, taken from the workspace), a PPG file's pulse wave as its one channel
// ("PPG", 100 Hz) with the pulses the decoder kept at their frames, an RR file or list as its
// beats without a signal (and its words as fileWords). `channel` is set to the channel the beats
// belong to (-1: none).
SignalRecording RecordingOfOpen(FileKind kind, const FragmentData& f, PpgWorkspace& w,
                                int& channel);

class BeatSession {
public:
    // Over `recording` (its beats in time order); `channel` as RecordingOfOpen gives it. The
    // fragment starts at the first beat.
    BeatSession(SignalRecording recording, int channel, bool correct);
    BeatSession(const BeatSession&) = delete;
    BeatSession& operator=(const BeatSession&) = delete;

    // A session restored from a beats file (BeatsCsvText) saved beside an RR file: the beats as
    // they were recorded, at the rate their times give, with the changes by hand taken again and
    // the automatic ones proposed anew. Throws std::runtime_error when the file does not read.
    static std::unique_ptr<BeatSession> FromBeatsCsv(const std::string& text, bool correct);

    const SignalRecording& Recording() const { return recording_; }
    int Channel() const { return channel_; }
    bool HasSignal() const;
    double Total() const { return fragment_.total; }
    const FragmentChoice& Fragment() const { return fragment_; }
    BeatEditor& Editor() { return editor_; }
    const BeatEditor& Editor() const { return editor_; }

    // Whether the automatic corrections are offered (the setup's "Коррекция артефактов").
    void SetCorrect(bool correct);
    // Moves the analysed fragment to start at the beat nearest `seconds`; false when it stays.
    bool MoveFragment(double seconds);

    // The intervals as edited and corrected go into `f` as an RR file's words: from the
    // fragment's first beat to the recording's end, at most kWordCapacity (the analysis takes
    // 300 s after the first of them, as from an RR file); an interval between two beats next to
    // each other in the recording's fileWords keeps its word there (an RR file's second byte).
    // CorrectionNote is emptied.
    void Fill(FragmentData& f) const;
    // The correction line of the fragment's results: the automatic and the manual changes in it
    // of `analysed` intervals (EditedCorrectionText); empty with the correction off and no
    // change by hand.
    std::string CorrectionLine(int analysed, char separator) const;

    // Changes by hand anywhere in the recording.
    bool EditedByHand() const;
    // The identity of the fragment in the summary table: `fileIdentity`, " (коррекция)" when
    // the automatic corrections are on (and `withCorrection`: the page names them on a line of
    // their own), " (вручную)" when beats of the fragment were changed by hand, and the
    // fragment's start (" [00:12:30]") when it does not start the recording.
    std::string Identity(const std::string& fileIdentity, bool withCorrection = true) const;
    // "00:12:30–00:17:30 из 1:00:00" for a fragment of a longer recording, empty otherwise.
    std::string Label() const;
    // The beats file's text for the beats of the fragment's first `intervals` intervals (the
    // edited beats from its first to the last present one they reach, removed ones included).
    std::string FragmentBeatsCsv(std::int32_t intervals) const;

private:
    SignalRecording recording_;
    int channel_ = -1;
    bool correct_ = false;
    FragmentChoice fragment_;
    BeatEditor editor_;
};

// The colour of a beat's mark on the strip and the rhythmogram (differing in grey too, so that a
// black-and-white page keeps them apart with the shapes).
Rgb BeatMarkColour(BeatMark mark);

// The rhythmogram of the session's fragment (RhythmogramPoints of `f` after AnalyseSession) with
// each interval that ends at a changed beat, or that a removed beat lies in, in the colour of
// that beat's mark.
void MarkRhythmogram(const BeatSession& session, const FragmentData& f,
                     std::vector<ChartPoint>& points);

// Fills `f` from the session and analyses it (AnalyseFragment) without the fragment's own
// correction, whose setting f.Correct keeps; f.CorrectionNote then holds the session's line.
// False when the fragment is too short (as AnalyseFragment).
bool AnalyseSession(const BeatSession& session, FragmentData& f, char separator,
                    Executor& executor = Executor::CallingThreadOnly(),
                    const ProgressFn& progress = {}, const std::function<void()>& accepted = {});

// The words of `f` from position 1 that the analysis of its fragment takes: up to the one with
// which 300 s after the first interval are complete (RrCount when they never are). Save writes
// these, so that the RR file holds the fragment and analyses as it does.
std::int32_t FragmentWords(const FragmentData& f);

// A start time as the user types it: "1:02:03", "12:30" or "45" (hours, minutes, seconds; the
// seconds may have a fraction after a point or a comma), as seconds; nullopt for anything else.
std::optional<double> ParseClockTime(const std::string& text);

// The time on the recording of the rhythmogram's x (seconds): the rhythmogram starts at the end
// of the fragment's first interval (`firstTicks`).
inline double RecordingSeconds(const FragmentChoice& f, int firstTicks, double rhythmogramSeconds) {
    return f.start + TicksToSeconds(firstTicks) + rhythmogramSeconds;
}

} // namespace hrv
