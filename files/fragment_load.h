// Filling the current fragment from an RR or PPG file, and the conversion of one PPG file to RR.
#pragma once

#include "analysis/fragment_data.h"
#include "files/ppg_decoder.h"
#include "util/executor.h"

#include <string>

namespace hrv {

// The open dialog's file types (Txt: RR list; Wfdb: a WFDB record's header or signal file; Edf:
// an EDF or BDF file).
enum class FileKind { Rr = 1, Ppg = 2, Txt = 3, Wfdb = 4, Edf = 5 };

// The kind a file's extension suggests: ".ppg" gives Ppg, ".txt" and ".csv" Txt, ".hea" Wfdb, a
// ".dat" with the ".hea" of its name beside it Wfdb, ".edf" and ".bdf" Edf, anything else Rr.
FileKind KindFromExtension(const std::string& path);

// After RrWords and RrCount were filled from a file: clears AnalysisSeries and copies the first
// min(RrCount, 2000) words into RrTicks (high byte), RrAux (low byte) and AnalysisSeries.
void TakeRrWords(FragmentData& f);

// The pulses of a decoded PPG file become the fragment: RrCount = PulseCount, every pulse goes to
// RrWords (up to 40,000), the first 2000 to RrTicks (with aux 0) and AnalysisSeries positions
// 1..2000 (zeros after the pulses). AnalysisSeries after position 2000 is not touched.
void TakePulses(const PpgWorkspace& w, FragmentData& f);

enum class LoadResult { Loaded, ImportError };

// Loads the file into the fragment as the given kind (the kind decides, not the extension), as
// the Open command does before the analysis: the file's recording is read (ReadFileRecording in
// files/recording.h, an RR file's first 40,000 words, other files whole) into w.LastRecord and its
// intervals (RecordWords) become the fragment's words. A rejected PPG file gives ImportError with
// AnalysisSeries cleared and the rest of the fragment unchanged; a rejected RR list throws
// RrTextError and a refused record SignalFileError (a FileIoError), the fragment unchanged.
// FileIoError when the file layer fails. The caller has checked that the file exists. Every kind
// of file but the records is read into w.FileImage, so a workspace kept from open to open makes
// the reading allocate little. A record is read with the beats w.Record asks for, and w.Record
// says what was taken.
LoadResult LoadFragmentFile(const std::string& path, FileKind kind, FragmentData& f,
                            PpgWorkspace& w, Executor& executor = Executor::CallingThreadOnly());

enum class ConvertResult { Written, ImportError, SamePath };

// Converts one PPG file to the RR file beside it (RrPathForPpg), replacing an existing one
// without asking; the fragment's intervals are replaced, the results are not touched. A rejected
// file, or one whose output path would be the input itself, writes nothing. FileIoError when the
// file layer fails.
ConvertResult ConvertPpgToRr(const std::string& path, FragmentData& f, PpgWorkspace& w);

} // namespace hrv
