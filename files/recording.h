// A whole recording as the analysis by windows takes it: every interval of an RR file, an RR list
// a PPG file's pulses or an ECG record's beats (files/ecg_record.h), however many the one fragment
// could hold.
#pragma once

#include "files/file_io.h"
#include "files/fragment_load.h"
#include "files/ppg_decoder.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// Intervals of a recording read whole: over eight days at 80 beats a minute. A PPG file never
// reaches it (its format ends at 1,079,999 bytes, half an hour).
inline constexpr std::size_t kRecordingCapacity = 1000000;

// A recording with more than kRecordingCapacity intervals: the message names the file and the
// limit.
class RecordingTooLong : public FileIoError {
public:
    using FileIoError::FileIoError;
};

// Reads every interval of the file at `path` as `kind` into `words` (replacing its contents), one
// word per interval in file order, as RrWords holds them: ticks * 256 + aux (aux 0 for an RR list,
// for pulses and for a record's beats, read as w.Record asks). A PPG file that the decoder refuses
// gives ImportError with `words` empty. Throws RecordingTooLong past kRecordingCapacity intervals,
// NotAnRrFile for a file RrFileFault refuses (files/rr_file.h), RrTextError for a rejected RR list
// and FileIoError when the file layer fails. The caller has checked that the file exists; the
// file is read into w.FileImage.
LoadResult ReadRecording(const std::string& path, FileKind kind, PpgWorkspace& w,
                         std::vector<std::uint16_t>& words);

// The PPG file just decoded into `w` as a recording: its pulse wave as the one channel ("PPG", a
// frame a tick) and the pulses the decoder kept, each at its frame (samples from 0, so frame k is
// sample k - 1; the first pulse an interval before the second), from the device.
SignalRecording PpgRecording(const PpgWorkspace& w);

// The length of a recording: the sum of its intervals, in ticks.
std::int64_t RecordingTicks(std::span<const std::uint16_t> words);

} // namespace hrv
