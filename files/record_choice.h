// What an ECG record's load takes: which channel, which beats (files/ecg_record.h).
#pragma once

#include <cstdint>
#include <string>

namespace hrv {

enum class BeatChoice : std::uint8_t {
    Detect,      // the R-peaks of the chosen channel
    Annotations, // the record's annotation file (WFDB .atr) or its EDF+ beat annotations
    Reference,   // the annotations where the record has them, otherwise the R-peaks
};

// What a record's load takes (set before it) and what it gave (after it).
struct RecordChoice {
    BeatChoice beats = BeatChoice::Detect;
    std::string channel; // a channel's name (any case) or its 0-based number; "" for the ECG lead
    // After a load: the channel the beats belong to and where they came from.
    std::string channelTaken;
    bool annotationsTaken = false; // false: detected
};

} // namespace hrv
