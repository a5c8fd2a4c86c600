// The signal files of a WFDB record (formats 8, 16, 24, 32, 61, 80, 160, 212, 310 and 311; several
// signals in one file, signals in several files, samples per frame, skew, byte offset) and the
// record read whole: its channels and, when asked, the beats of one of its annotation files.
#pragma once

#include "files/wfdb_header.h"
#include "signals/signal_recording.h"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace hrv {

// Bytes that `samples` consecutive samples of `format` take ("212": two in three bytes, the last
// one alone in two; "310": three in four, one in two, two in four; "311": up to three in four).
std::uint64_t WfdbBytesForSamples(int format, std::uint64_t samples);
// The number of whole samples `bytes` hold.
std::uint64_t WfdbSamplesInBytes(int format, std::uint64_t bytes);

// Decodes `frames` frames of the signals `specs` that share one file image (`bytes`, from its
// start: the byte offset is skipped here) into `out` (one channel per signal, samples only: raw16
// for the formats of at most 16 bits, raw32 for 8, 24 and 32), the skew applied (the samples of a
// lagging signal are moved forward, its last value repeated at the end). `bytes` must hold the
// frames: the caller checks it. False when a signal's checksum does not match its samples.
bool DecodeWfdbFrames(std::span<const std::uint8_t> bytes, std::span<const WfdbSignalSpec> specs,
                      std::int64_t frames, std::span<SignalChannel> out);

struct WfdbReadOptions {
    // The annotation file whose beats become the recording's beats, by its annotator (the
    // extension: "atr", "qrs", "ecg"); empty for none.
    std::string annotator;
};

// Reads the record at `path` (its header, a signal file beside it or its name) whole. The
// channels are named by their descriptions, their rates the frame rate times their samples per
// frame; beats count at the frame rate. Throws SignalFileError naming the file and the fault (a
// missing, empty or short signal file, a length the files do not hold, a skew beyond the record, an
// annotation past its end), FileIoError when the file layer fails; nothing is returned half read.
// `warnings` (when given) gets the faults that do not stop the reading (a checksum that does not
// match, files of different lengths).
SignalRecording ReadWfdbRecord(const std::string& path, const WfdbReadOptions& options = {},
                               std::vector<std::string>* warnings = nullptr);

// The same from a header's text and the files' images (for the fuzz target): `files[k]` is the
// image of the k-th distinct signal file the header names, in order. `path` names the record in
// messages.
SignalRecording DecodeWfdbRecord(const WfdbHeader& header,
                                 std::span<const std::vector<std::uint8_t>> files,
                                 const std::string& path,
                                 std::vector<std::string>* warnings = nullptr);

} // namespace hrv
