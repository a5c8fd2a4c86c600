// A WFDB annotation file in the MIT format ("100.atr", ".qrs", ".ecg"...): 16-bit little-endian
// words of a 6-bit code and a 10-bit interval since the previous annotation; the codes 59 SKIP
// (a 32-bit interval follows), 60 NUM, 61 SUB, 62 CHN (fields of the annotation before, NUM and
// CHN also of those after) and 63 AUX (bytes of text follow); a zero word ends the file.
#pragma once

#include "files/signal_file_error.h"
#include "signals/signal_recording.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

inline constexpr std::size_t kWfdbAnnotationLimit = std::size_t{1} << 28; // bytes read at most

struct WfdbAnnotation {
    std::int64_t sample = 0; // at the record's frame rate
    std::uint8_t code = 0;   // 1 N, 5 V, 12 /, 28 rhythm change, ...
    std::int32_t sub = 0;
    std::int32_t chan = 0;
    std::int32_t num = 0;
    std::string aux;
};

// The annotations of a file image in file order. A file cut inside a SKIP or AUX, or times that
// go below zero, throw SignalFileError naming `path`. The file may end without its zero word.
std::vector<WfdbAnnotation> ParseWfdbAnnotations(std::span<const std::uint8_t> bytes,
                                                 const std::string& path);

// The annotation file at `path`. Throws SignalFileError, FileIoError when the file layer fails.
std::vector<WfdbAnnotation> ReadWfdbAnnotations(const std::string& path);

// Whether a code marks a beat (N L R B A a J S V r F e j n E / f Q ?).
bool IsBeatCode(std::uint8_t code);
// The kind of a beat code (Unknown for a code that is no beat).
BeatKind BeatKindOfCode(std::uint8_t code);
// The code's mnemonic ("N", "V", "/", "+"...); "" for a code with none.
std::string_view AnnotationMnemonic(std::uint8_t code);

// The beats among the annotations, in time order, with source Annotation. An annotation at or
// past `length` frames (when `length` > 0) throws SignalFileError naming `path`.
std::vector<Beat> BeatsOfAnnotations(std::span<const WfdbAnnotation> annotations,
                                     std::int64_t length, const std::string& path);

} // namespace hrv
