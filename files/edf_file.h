// EDF, EDF+ and BDF files (European Data Format; BDF its 24-bit BioSemi form) through EDFlib:
// signals in raw units with the gain and baseline their physical range gives, EDF+ annotations,
// and beats given as annotations. The header is checked here first, so that a file whose fields
// or data records do not add up is refused with the fault named; discontinuous files (EDF+D) are
// refused. A build without EDFlib refuses every EDF file with a message saying so.
#pragma once

#include "files/signal_file_error.h"
#include "signals/signal_recording.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

inline constexpr std::size_t kEdfFixedHeaderBytes = 256; // and as many again per signal
inline constexpr int kEdfMaxSignals = 640;               // EDFlib's limit, annotations included

// Whether this build reads EDF files (EDFlib was found when it was configured).
bool EdfAvailable();

// Whether the bytes begin as an EDF or BDF file: the version field ("0" and seven blanks, or
// 0xFF "BIOSEMI") and a header length of 256 bytes per signal plus 256.
bool LooksLikeEdf(std::span<const std::uint8_t> bytes);

// The fault of an EDF/BDF header (the first bytes of the file, at least its whole header when
// the file has one) for a file of `fileSize` bytes, in the program's words; "" when the header
// adds up: a version, a header length, signal counts and samples per record that are numbers
// and agree, data records that fill the file exactly, no discontinuous EDF+D.
std::string EdfHeaderFault(std::span<const std::uint8_t> bytes, std::uint64_t fileSize);

struct EdfAnnotation {
    double onset = 0;     // seconds from the start of the file
    double duration = -1; // seconds; -1 when not given
    std::string text;     // UTF-8
};

struct EdfReadOptions {
    // Annotations that mark beats ("N", "V", "R", "QRS", "beat"...; no duration) become the
    // recording's beats, counted at the rate of its ECG channel (its first channel whose label
    // says ECG or EKG, else its first).
    bool annotationBeats = false;
};

// Reads the EDF/BDF file at `path` whole: each ordinary signal a channel (raw16 for EDF, raw32
// for BDF), the start date and time, and the annotations into `annotations` when given. Throws
// SignalFileError naming the file and the fault (also when this build has no EDFlib), FileIoError
// when the file layer fails.
SignalRecording ReadEdfRecord(const std::string& path, const EdfReadOptions& options = {},
                              std::vector<EdfAnnotation>* annotations = nullptr);

// Whether an annotation's text marks a beat, and its kind.
bool IsBeatAnnotation(const std::string& text, BeatKind& kind);

} // namespace hrv
