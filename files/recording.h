// A file as a recording of beats (and signals), the one road from every kind of file to the
// analyses; and a whole recording as the analysis by windows takes it: every interval of an RR
// file, an RR list, a PPG file's pulses or an ECG record's beats (files/ecg_record.h), however many
// the one fragment could hold.
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

// How much of a file a reading takes.
enum class Reach {
    Fragment, // as the Open command reads it: an RR file's first 40,000 words, other files whole
    Whole,    // every interval, at most kRecordingCapacity (RecordingTooLong beyond)
};

// Reads the file at `path` as `kind` into `r` (replacing it): the one road from every kind of file
// to the analyses. An RR file's beats are rebuilt from its words (RecordingFromWords, a beat a
// tick), an RR list's at 1 us from its intervals as written (the first beat at 0, no channel), a
// PPG file's are its pulse wave and pulses (PpgRecording), a record's its channels and beats as
// w.Record asks (ReadEcgRecord on `executor`, which sets w.Record's taken fields). The intervals
// the system's analysis takes (RecordWords) are the file's own for all but the records (fileWords:
// an RR file's words with their aux, an RR list's intervals each rounded to a tick, the decoder's
// kept intervals). A PPG file that the decoder refuses gives ImportError with `r` empty. Throws
// RecordingTooLong past kRecordingCapacity intervals (Reach::Whole), NotAnRrFile for a file
// RrFileFault refuses (files/rr_file.h), RrTextError for a rejected RR list, SignalFileError for a
// refused record and FileIoError when the file layer fails. The caller has checked that the file
// exists; all but records are read into w.FileImage.
LoadResult ReadFileRecording(const std::string& path, FileKind kind, Reach reach, PpgWorkspace& w,
                             SignalRecording& r,
                             Executor& executor = Executor::CallingThreadOnly());

// Reads the whole recording of the file (ReadFileRecording, Reach::Whole) into w.LastRecord and its
// intervals into `words` (RecordWords: one word per interval in file order, ticks * 256 + aux).
// ImportError, with both empty, for a refused PPG file; throws as ReadFileRecording.
LoadResult ReadRecording(const std::string& path, FileKind kind, PpgWorkspace& w,
                         std::vector<std::uint16_t>& words);

// The whole recording of the file at `path` just opened (LoadFragmentFile) or read (ReadRecording)
// through `w`: w.LastRecord when that reading took all of it, otherwise read whole now. nullptr
// for a refused PPG file; throws as ReadFileRecording.
const SignalRecording* OpenedRecording(const std::string& path, FileKind kind, PpgWorkspace& w);

// The PPG file just decoded into `w` as a recording: its pulse wave as the one channel ("PPG", a
// frame a tick) and the pulses the decoder kept, each at its frame (samples from 0, so frame k is
// sample k - 1; the first pulse an interval before the second), from the device.
SignalRecording PpgRecording(const PpgWorkspace& w);

// The length of a recording: the sum of its intervals, in ticks.
std::int64_t RecordingTicks(std::span<const std::uint16_t> words);

} // namespace hrv
