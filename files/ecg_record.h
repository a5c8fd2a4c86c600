// An ECG record as the analysis takes it: a WFDB record or an EDF/BDF file read whole, one of its
// channels chosen (by the user, else the record's ECG lead by its label, else the first), and its
// beats: the R-peaks detected in that channel or the record's reference annotations. The beats
// count at the chosen channel's own rate.
#pragma once

#include "files/record_choice.h"
#include "signals/signal_recording.h"
#include "util/executor.h"

#include <cstdint>
#include <string>
#include <vector>

namespace hrv {

// The channel a record's beats are found in: `wanted` as a name (case-insensitive) or a 0-based
// number; for "" the first whose label is an ECG lead (MLII, II, ECG, EKG, V5, V1, V2, I, in that
// order), else the first whose label holds "ECG" or "EKG", else channel 0. -1 for a `wanted`
// that names no channel, or a record without channels.
int ChooseChannel(const SignalRecording& r, const std::string& wanted);

// Reads the WFDB record (`edf` false: its header, or a signal file with its header beside it) or
// the EDF/BDF file (`edf` true) at `path` and gives it with the beats of `choice`, at the chosen
// channel's rate (beatRate), and sets choice.channelTaken and choice.annotationsTaken. An EDF+
// file with beat annotations and no signal gives those beats whatever `choice` asks (unless it
// names a channel), at EDF's own rate of 10^7 a second, with no channel taken. Throws
// SignalFileError naming the file and the fault (the readers' faults, a channel that is not
// there, a rate the detector does not take, no beat annotations), FileIoError when the file
// layer fails.
SignalRecording ReadEcgRecord(const std::string& path, bool edf, RecordChoice& choice,
                              Executor& executor = Executor::CallingThreadOnly());

// The word of a beat's source and kind in the beats' CSV ("detected", "annotation"; "normal",
// "ventricular", ..., "unknown").
const char* BeatSourceName(BeatSource source);
const char* BeatKindName(BeatKind kind);

} // namespace hrv
