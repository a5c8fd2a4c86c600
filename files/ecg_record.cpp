// An ECG record as the analysis takes it: read, its channel chosen, its beats.
#include "files/ecg_record.h"

#include "analysis/rpeak_detector.h"
#include "files/edf_file.h"
#include "files/file_io.h"
#include "files/wfdb_header.h"
#include "files/wfdb_signal.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <stdexcept>

namespace hrv {

namespace {

std::string Lower(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z') {
            c = static_cast<char>(c - 'A' + 'a');
        }
    }
    return text;
}

// The lead's name: the label's first word ("MLII" of "MLII", "ECG" of "ECG ECG1").
std::string Lead(const std::string& label) {
    const std::size_t begin = label.find_first_not_of(' ');
    if (begin == std::string::npos) {
        return {};
    }
    return Lower(label.substr(begin, label.find(' ', begin) - begin));
}

std::string RateText(double rate) {
    char buffer[32];
    const auto r = std::to_chars(buffer, buffer + sizeof buffer, rate);
    return std::string(buffer, r.ptr);
}

} // namespace

int ChooseChannel(const SignalRecording& r, const std::string& wanted) {
    const int count = static_cast<int>(r.channels.size());
    if (count == 0) {
        return -1;
    }
    if (!wanted.empty()) {
        for (int k = 0; k < count; ++k) {
            if (Lower(r.channels[static_cast<std::size_t>(k)].name) == Lower(wanted)) {
                return k;
            }
        }
        int number = -1;
        const char* end = wanted.data() + wanted.size();
        const auto parsed = std::from_chars(wanted.data(), end, number);
        return parsed.ec == std::errc() && parsed.ptr == end && number >= 0 && number < count
                   ? number
                   : -1;
    }
    for (const char* lead : {"mlii", "ii", "ecg", "ekg", "v5", "v1", "v2", "i"}) {
        for (int k = 0; k < count; ++k) {
            if (Lead(r.channels[static_cast<std::size_t>(k)].name) == lead) {
                return k;
            }
        }
    }
    for (int k = 0; k < count; ++k) {
        const std::string label = Lower(r.channels[static_cast<std::size_t>(k)].name);
        if (label.find("ecg") != std::string::npos || label.find("ekg") != std::string::npos) {
            return k;
        }
    }
    return 0;
}

SignalRecording ReadEcgRecord(const std::string& path, bool edf, RecordChoice& choice,
                              Executor& executor) {
    bool annotations = choice.beats == BeatChoice::Annotations;
    if (choice.beats == BeatChoice::Reference) {
        // An EDF file tells whether it has beat annotations only once read.
        const std::string header = WfdbHeaderPath(path);
        annotations = edf || FileExists(header.substr(0, header.size() - 3) + "atr");
    }
    // An EDF+ file may hold beat annotations and no signal: those beats are the record's.
    SignalRecording r =
        edf ? ReadEdfRecord(path, EdfReadOptions{.annotationBeats = true})
            : ReadWfdbRecord(path, WfdbReadOptions{.annotator = annotations ? "atr" : ""});
    if (edf && r.channels.empty() && !r.beats.empty() && choice.channel.empty()) {
        choice.channelTaken.clear();
        choice.annotationsTaken = true;
        return r;
    }
    if (!annotations || (choice.beats == BeatChoice::Reference && r.beats.empty())) {
        annotations = false;
        r.beats.clear();
    }
    const int k = ChooseChannel(r, choice.channel);
    if (k < 0) {
        throw SignalFault(path, r.channels.empty()
                                    ? std::string("в записи нет ни одного сигнала")
                                    : "в записи нет канала «" + choice.channel + "»");
    }
    const SignalChannel& channel = r.channels[static_cast<std::size_t>(k)];
    if (annotations) {
        if (r.beats.empty()) {
            throw SignalFault(path, "в записи нет аннотаций сердечных сокращений");
        }
        // The annotations count at the record's beat rate; the beats go to the channel's.
        const double scale = channel.rate / r.beatRate;
        for (Beat& b : r.beats) {
            b.sample = std::llround(static_cast<double>(b.sample) * scale);
        }
    } else {
        std::vector<std::int64_t> peaks;
        try {
            // Each part in physical units as it is detected, never the whole channel at once.
            peaks = DetectRPeaksInParts(
                channel.Size(),
                [&channel](std::size_t first, std::span<float> out) {
                    channel.PhysicalInto(first, out);
                },
                channel.rate, executor);
        } catch (const std::invalid_argument&) {
            throw SignalFault(path, "частота канала «" + channel.name + "» " +
                                        RateText(channel.rate) +
                                        " Гц вне пределов от 100 до 2000 Гц, в которых "
                                        "находятся зубцы R");
        }
        r.beats.clear();
        r.beats.reserve(peaks.size());
        for (const std::int64_t p : peaks) {
            r.beats.push_back(Beat{p, BeatSource::Detected, BeatKind::Unknown, 0});
        }
    }
    r.beatRate = channel.rate;
    choice.channelTaken = channel.name;
    choice.annotationsTaken = annotations;
    return r;
}

const char* BeatSourceName(BeatSource source) {
    switch (source) {
    case BeatSource::Detected:
        return "detected";
    case BeatSource::Annotation:
        return "annotation";
    case BeatSource::Device:
        return "device";
    case BeatSource::RrFile:
        return "intervals";
    }
    return "detected";
}

const char* BeatKindName(BeatKind kind) {
    switch (kind) {
    case BeatKind::Normal:
        return "normal";
    case BeatKind::Supraventricular:
        return "supraventricular";
    case BeatKind::Ventricular:
        return "ventricular";
    case BeatKind::Fusion:
        return "fusion";
    case BeatKind::Paced:
        return "paced";
    case BeatKind::Unclassifiable:
        return "unclassifiable";
    case BeatKind::Unknown:
        break;
    }
    return "unknown";
}

} // namespace hrv
