// A recording from the pulse sensor device: the port's set-up, one decoding step per tick, the
// stop and the hand-over of the fragment to the analysis. The window and rvx-cli record drive
// it; neither the display nor the analysis happens here.
#pragma once

#include "acquisition/serial_link.h"
#include "acquisition/stream_decoder.h"
#include "analysis/fragment_data.h"

#include <cstdint>

namespace hrv {

// After a recording stopped with RecIndex slots: RrCount := recIndex, RrWords 1..RrCount packed
// from RrTicks and RrAux, AnalysisSeries cleared. With RrCount >= 3 also AnalysisSeries
// 1..RrCount := RrTicks and true (analyse it); otherwise false (no analysis, nothing said).
bool HandOverRecording(FragmentData& f, std::int32_t recIndex);

// What one tick did.
struct RecordingTick {
    bool byteRead = false; // the link delivered a byte
    DecodeStep step;       // what the byte did (all false/None without a byte)
};

class RecordingSession {
public:
    // Decodes into `fragment`, reading from `link`; both outlive the session.
    RecordingSession(FragmentData& fragment, SerialLink& link)
        : fragment_(fragment), link_(link), decoder_(fragment) {}

    // Start: RecTotalTicks 0, RecIndex 1, hunting; then the port: ComOpen(PortIndex),
    // ComSetState(BaudIndex), ComSetQueues(1024, 1024), ComSetTimeouts. A PortIndex above 3 or a
    // BaudIndex outside 0..3 throws ComError before any port is touched; a failing step closes
    // the port again and throws ComError. Returns true (recording active) when the port is open,
    // false when nothing was opened (no message).
    bool Start(const SettingsRecord& settings, std::int32_t deviceScale);

    // One tick: nothing when inactive. Otherwise reads one byte (waiting at most 510 ms) and
    // decodes it; a read that failed and closed the port (a hang-up, a device gone, an I/O
    // error) ends the recording as Broken, the read failure. Every end clears Active before
    // returning; Broken also closes the port. The
    // caller then shows what it has to and, for SlotLimit and TimeLimit, calls Stop().
    RecordingTick Tick();

    // One step with a byte already in hand (Tick without the read).
    RecordingTick Step(std::uint8_t byte);

    // Ends the recording and hands the fragment over (HandOverRecording). True: the caller runs
    // the analysis. The port is closed in any case.
    bool Stop();

    // Abort by the user: no analysis, the port is closed; RrTicks and RrAux keep the partial
    // recording, everything else stays.
    void Abort();

    bool Active() const { return active_; }
    const StreamDecoder& Decoder() const { return decoder_; }
    SerialLink& Link() { return link_; }

private:
    RecordingTick Finish(RecordingTick tick);

    FragmentData& fragment_;
    SerialLink& link_;
    StreamDecoder decoder_;
    bool active_ = false; // RecordingActive
};

} // namespace hrv
