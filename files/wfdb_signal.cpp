// The signal files of a WFDB record and the record read whole.
#include "files/wfdb_signal.h"

#include "files/wfdb_annotation.h"

#include <algorithm>
#include <limits>

namespace hrv {

namespace {

// Bytes of one signal file read at most (a day of 12 leads at 1 kHz in format 16 is 2 GB).
constexpr std::uint64_t kSignalFileLimit = std::uint64_t{4} << 30;

std::int32_t SignExtend(std::uint32_t v, int bits) {
    const std::uint32_t sign = 1u << (bits - 1);
    return static_cast<std::int32_t>((v ^ sign) - sign);
}

// A stream of samples of one format; `next` decodes one and moves on. The packed formats keep
// the bytes a group's later samples share.
struct SampleStream {
    const std::uint8_t* p;
    int phase = 0;
    std::uint32_t a = 0;
    std::uint32_t b = 0;
};

template <int Format> std::int32_t NextSample(SampleStream& s) {
    const std::uint8_t* p = s.p;
    if constexpr (Format == 16) {
        s.p += 2;
        return static_cast<std::int16_t>(p[0] | (p[1] << 8));
    } else if constexpr (Format == 61) {
        s.p += 2;
        return static_cast<std::int16_t>((p[0] << 8) | p[1]);
    } else if constexpr (Format == 80) {
        s.p += 1;
        return static_cast<std::int32_t>(p[0]) - 128;
    } else if constexpr (Format == 8) {
        s.p += 1;
        return static_cast<std::int8_t>(p[0]); // a difference, summed by the caller
    } else if constexpr (Format == 160) {
        s.p += 2;
        return static_cast<std::int32_t>(p[0] | (p[1] << 8)) - 32768;
    } else if constexpr (Format == 24) {
        s.p += 3;
        return SignExtend(p[0] | (p[1] << 8) | (static_cast<std::uint32_t>(p[2]) << 16), 24);
    } else if constexpr (Format == 32) {
        s.p += 4;
        return static_cast<std::int32_t>(p[0] | (p[1] << 8) | (p[2] << 16) |
                                         (static_cast<std::uint32_t>(p[3]) << 24));
    } else if constexpr (Format == 212) {
        // Two samples in three bytes: the first in byte 0 and the low half of byte 1, the second
        // in byte 2 and the high half of byte 1.
        if (s.phase == 0) {
            s.a = p[1];
            s.p += 2;
            s.phase = 1;
            return SignExtend(p[0] | ((s.a & 0x0Fu) << 8), 12);
        }
        s.p += 1;
        s.phase = 0;
        return SignExtend(p[0] | ((s.a & 0xF0u) << 4), 12);
    } else if constexpr (Format == 310) {
        // Three samples in two little-endian 16-bit words: bits 1-10 of each word, the third
        // from bits 11-15 of the first (low five bits) and of the second (high five bits).
        if (s.phase == 0) {
            s.a = p[0] | (p[1] << 8);
            s.p += 2;
            s.phase = 1;
            return SignExtend((s.a >> 1) & 0x3FFu, 10);
        }
        if (s.phase == 1) {
            s.b = p[0] | (p[1] << 8);
            s.p += 2;
            s.phase = 2;
            return SignExtend((s.b >> 1) & 0x3FFu, 10);
        }
        s.phase = 0;
        return SignExtend(((s.a >> 11) & 0x1Fu) | (((s.b >> 11) & 0x1Fu) << 5), 10);
    } else {
        static_assert(Format == 311);
        // Three samples in a little-endian 32-bit word: bits 0-9, 10-19 and 20-29.
        if (s.phase == 0) {
            s.a = p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
            s.p += 4;
        }
        const std::uint32_t v = (s.a >> (10 * s.phase)) & 0x3FFu;
        s.phase = s.phase == 2 ? 0 : s.phase + 1;
        return SignExtend(v, 10);
    }
}

constexpr bool IsWide(int format) {
    return format == 8 || format == 24 || format == 32;
}

template <int Format>
void DecodeFrames(std::span<const std::uint8_t> bytes, std::span<const WfdbSignalSpec> specs,
                  std::int64_t frames, std::span<SignalChannel> out) {
    SampleStream s{bytes.data()};
    const std::size_t n = specs.size();
    std::vector<std::int32_t> previous(n);
    for (std::size_t k = 0; k < n; ++k) {
        previous[k] = specs[k].initialValue;
    }
    if (n == 1 && specs[0].samplesPerFrame == 1 && Format != 8) {
        const auto count = static_cast<std::size_t>(frames);
        if constexpr (IsWide(Format)) {
            std::int32_t* to = out[0].raw32.data();
            for (std::size_t i = 0; i < count; ++i) {
                to[i] = NextSample<Format>(s);
            }
        } else {
            std::int16_t* to = out[0].raw16.data();
            for (std::size_t i = 0; i < count; ++i) {
                to[i] = static_cast<std::int16_t>(NextSample<Format>(s));
            }
        }
        return;
    }
    if constexpr (Format == 212) {
        // Two signals of one sample a frame (the MIT-BIH records): a frame is one group of three
        // bytes.
        if (n == 2 && specs[0].samplesPerFrame == 1 && specs[1].samplesPerFrame == 1) {
            const std::uint8_t* p = bytes.data();
            std::int16_t* a = out[0].raw16.data();
            std::int16_t* b = out[1].raw16.data();
            const auto count = static_cast<std::size_t>(frames);
            for (std::size_t i = 0; i < count; ++i, p += 3) {
                a[i] = static_cast<std::int16_t>(SignExtend(p[0] | ((p[1] & 0x0Fu) << 8), 12));
                b[i] = static_cast<std::int16_t>(SignExtend(p[2] | ((p[1] & 0xF0u) << 4), 12));
            }
            return;
        }
    }
    std::vector<std::size_t> at(n, 0);
    for (std::int64_t f = 0; f < frames; ++f) {
        for (std::size_t k = 0; k < n; ++k) {
            for (int j = 0; j < specs[k].samplesPerFrame; ++j) {
                std::int32_t v = NextSample<Format>(s);
                if constexpr (Format == 8) {
                    previous[k] += v;
                    v = previous[k];
                }
                if constexpr (IsWide(Format)) {
                    out[k].raw32[at[k]++] = v;
                } else {
                    out[k].raw16[at[k]++] = static_cast<std::int16_t>(v);
                }
            }
        }
    }
}

template <class T> bool ChecksumMatches(const std::vector<T>& v, std::int32_t checksum) {
    std::uint32_t sum = 0;
    for (const T x : v) {
        sum += static_cast<std::uint32_t>(x);
    }
    return static_cast<std::uint16_t>(sum) == static_cast<std::uint16_t>(checksum);
}

template <class T> void ApplySkew(std::vector<T>& v, std::size_t shift) {
    if (shift == 0 || v.empty()) {
        return;
    }
    const T last = v.back();
    std::copy(v.begin() + static_cast<std::ptrdiff_t>(shift), v.end(), v.begin());
    std::fill(v.end() - static_cast<std::ptrdiff_t>(shift), v.end(), last);
}

// The signals of one file: consecutive lines of the header that name it.
struct FileGroup {
    std::size_t first = 0;
    std::size_t count = 0;
    int samplesPerFrame = 0; // of all its signals together
};

std::vector<FileGroup> GroupSignals(const WfdbHeader& h, const std::string& path) {
    std::vector<FileGroup> groups;
    for (std::size_t k = 0; k < h.signals.size(); ++k) {
        const WfdbSignalSpec& s = h.signals[k];
        if (!groups.empty() && h.signals[groups.back().first].fileName == s.fileName) {
            const WfdbSignalSpec& lead = h.signals[groups.back().first];
            if (lead.format != s.format || lead.byteOffset != s.byteOffset) {
                throw SignalFault(path, "сигналы одного файла " + s.fileName +
                                            " записаны в разных форматах");
            }
            ++groups.back().count;
            groups.back().samplesPerFrame += s.samplesPerFrame;
            continue;
        }
        for (const FileGroup& g : groups) {
            if (h.signals[g.first].fileName == s.fileName) {
                throw SignalFault(path,
                                  "сигналы файла " + s.fileName + " описаны в заголовке не подряд");
            }
        }
        groups.push_back(FileGroup{k, 1, s.samplesPerFrame});
    }
    return groups;
}

std::int64_t FramesInFile(const WfdbSignalSpec& lead, const FileGroup& g, std::size_t size) {
    const auto offset = static_cast<std::uint64_t>(lead.byteOffset);
    if (offset >= size) {
        return 0;
    }
    return static_cast<std::int64_t>(WfdbSamplesInBytes(lead.format, size - offset) /
                                     static_cast<std::uint64_t>(g.samplesPerFrame));
}

std::string LengthText(std::int64_t frames, double rate) {
    return std::to_string(frames) + " отсчётов (" +
           std::to_string(static_cast<std::int64_t>(static_cast<double>(frames) / rate)) + " с)";
}

} // namespace

std::uint64_t WfdbBytesForSamples(int format, std::uint64_t n) {
    switch (format) {
    case 8:
    case 80:
        return n;
    case 16:
    case 61:
    case 160:
        return 2 * n;
    case 24:
        return 3 * n;
    case 32:
        return 4 * n;
    case 212:
        return (3 * n + 1) / 2;
    case 310:
        return n / 3 * 4 + (n % 3 == 0 ? 0 : (n % 3 == 1 ? 2 : 4));
    case 311:
        return (n + 2) / 3 * 4;
    default:
        return 0;
    }
}

std::uint64_t WfdbSamplesInBytes(int format, std::uint64_t bytes) {
    switch (format) {
    case 8:
    case 80:
        return bytes;
    case 16:
    case 61:
    case 160:
        return bytes / 2;
    case 24:
        return bytes / 3;
    case 32:
        return bytes / 4;
    case 212:
        return bytes / 3 * 2 + (bytes % 3 == 2 ? 1 : 0);
    case 310:
        return bytes / 4 * 3 + (bytes % 4 >= 2 ? 1 : 0);
    case 311:
        return bytes / 4 * 3;
    default:
        return 0;
    }
}

bool DecodeWfdbFrames(std::span<const std::uint8_t> bytes, std::span<const WfdbSignalSpec> specs,
                      std::int64_t frames, std::span<SignalChannel> out) {
    if (specs.empty()) {
        return true;
    }
    const int format = specs[0].format;
    const auto offset = static_cast<std::size_t>(specs[0].byteOffset);
    for (std::size_t k = 0; k < specs.size(); ++k) {
        const auto size =
            static_cast<std::size_t>(frames) * static_cast<std::size_t>(specs[k].samplesPerFrame);
        out[k].raw16.clear();
        out[k].raw32.clear();
        if (IsWide(format)) {
            out[k].raw32.resize(size);
        } else {
            out[k].raw16.resize(size);
        }
    }
    const std::span<const std::uint8_t> data = bytes.subspan(std::min(offset, bytes.size()));
    switch (format) {
    case 8:
        DecodeFrames<8>(data, specs, frames, out);
        break;
    case 16:
        DecodeFrames<16>(data, specs, frames, out);
        break;
    case 24:
        DecodeFrames<24>(data, specs, frames, out);
        break;
    case 32:
        DecodeFrames<32>(data, specs, frames, out);
        break;
    case 61:
        DecodeFrames<61>(data, specs, frames, out);
        break;
    case 80:
        DecodeFrames<80>(data, specs, frames, out);
        break;
    case 160:
        DecodeFrames<160>(data, specs, frames, out);
        break;
    case 212:
        DecodeFrames<212>(data, specs, frames, out);
        break;
    case 310:
        DecodeFrames<310>(data, specs, frames, out);
        break;
    case 311:
        DecodeFrames<311>(data, specs, frames, out);
        break;
    default:
        return true;
    }
    bool sumsMatch = true;
    for (std::size_t k = 0; k < specs.size(); ++k) {
        if (specs[k].hasChecksum) {
            sumsMatch =
                sumsMatch && (IsWide(format) ? ChecksumMatches(out[k].raw32, specs[k].checksum)
                                             : ChecksumMatches(out[k].raw16, specs[k].checksum));
        }
        const auto shift = static_cast<std::size_t>(specs[k].skew) *
                           static_cast<std::size_t>(specs[k].samplesPerFrame);
        ApplySkew(out[k].raw16, std::min(shift, out[k].raw16.size()));
        ApplySkew(out[k].raw32, std::min(shift, out[k].raw32.size()));
    }
    return sumsMatch;
}

SignalRecording DecodeWfdbRecord(const WfdbHeader& h,
                                 std::span<const std::vector<std::uint8_t>> files,
                                 const std::string& path, std::vector<std::string>* warnings) {
    const std::vector<FileGroup> groups = GroupSignals(h, path);
    if (files.size() < groups.size()) {
        throw SignalFault(path, "не хватает сигнальных файлов");
    }
    // The length first, from the header or the files, so that nothing is allocated for samples
    // the files do not hold.
    std::int64_t frames = h.frames;
    bool lengthsDiffer = false;
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const WfdbSignalSpec& lead = h.signals[groups[g].first];
        const std::int64_t held = FramesInFile(lead, groups[g], files[g].size());
        if (h.frames > 0 && held < h.frames) {
            throw SignalFault(path, "сигнальный файл " + lead.fileName +
                                        " короче записи: по заголовку " +
                                        LengthText(h.frames, h.frameRate) + ", в файле " +
                                        LengthText(held, h.frameRate));
        }
        if (h.frames == 0) {
            lengthsDiffer = lengthsDiffer || (g > 0 && held != frames);
            frames = g == 0 ? held : std::min(frames, held);
        }
    }
    if (!groups.empty() && frames == 0) {
        throw SignalFault(path,
                          "в сигнальном файле " + h.signals[0].fileName + " нет ни одного отсчёта");
    }
    if (lengthsDiffer && warnings != nullptr) {
        warnings->push_back("Файл " + path +
                            ": сигнальные файлы записи разной длины, прочитано по кратчайшему");
    }
    for (const WfdbSignalSpec& s : h.signals) {
        if (s.skew > 0 && s.skew >= frames) {
            throw SignalFault(path, "смещение сигнала " + s.description + " (" +
                                        std::to_string(s.skew) + " отсчётов) больше записи");
        }
    }
    SignalRecording r;
    r.name = h.name;
    r.start = h.start;
    r.beatRate = h.frameRate;
    r.channels.resize(h.signals.size());
    for (std::size_t k = 0; k < h.signals.size(); ++k) {
        const WfdbSignalSpec& s = h.signals[k];
        SignalChannel& c = r.channels[k];
        c.name = s.description;
        c.unit = s.unit;
        c.rate = h.frameRate * s.samplesPerFrame;
        c.gain = s.gain;
        c.baseline = s.baseline;
        c.calibrated = s.gainGiven;
    }
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const std::span<const WfdbSignalSpec> specs(h.signals.data() + groups[g].first,
                                                    groups[g].count);
        const std::span<SignalChannel> out(r.channels.data() + groups[g].first, groups[g].count);
        if (!DecodeWfdbFrames(files[g], specs, frames, out) && warnings != nullptr) {
            warnings->push_back("Файл " + specs[0].fileName +
                                ": контрольная сумма сигнала не совпадает с заголовком " + path);
        }
    }
    return r;
}

SignalRecording ReadWfdbRecord(const std::string& path, const WfdbReadOptions& options,
                               std::vector<std::string>* warnings) {
    const std::string headerPath = WfdbHeaderPath(path);
    if (!FileExists(headerPath)) {
        throw SignalFileError(MissingFileMessage(headerPath));
    }
    const WfdbHeader h = ReadWfdbHeader(headerPath);
    const std::string folder = FolderOfPath(headerPath);
    const std::vector<FileGroup> groups = GroupSignals(h, headerPath);
    std::vector<std::vector<std::uint8_t>> files(groups.size());
    for (std::size_t g = 0; g < groups.size(); ++g) {
        const WfdbSignalSpec& lead = h.signals[groups[g].first];
        const std::string file = folder + lead.fileName;
        if (!FileExists(file)) {
            throw SignalFileError("Сигнальный файл записи " + headerPath +
                                  " не найден: " + MissingFileMessage(file));
        }
        std::uint64_t limit = kSignalFileLimit;
        if (h.frames > 0) {
            const auto samples = static_cast<std::uint64_t>(h.frames) *
                                 static_cast<std::uint64_t>(groups[g].samplesPerFrame);
            const std::uint64_t need = static_cast<std::uint64_t>(lead.byteOffset) +
                                       WfdbBytesForSamples(lead.format, samples);
            if (samples / static_cast<std::uint64_t>(groups[g].samplesPerFrame) !=
                    static_cast<std::uint64_t>(h.frames) ||
                need > kSignalFileLimit) {
                throw SignalFault(headerPath, "длина записи " + std::to_string(h.frames) +
                                                  " отсчётов слишком велика");
            }
            limit = need;
        }
        files[g] = ReadFileBytes(file, static_cast<std::size_t>(std::min<std::uint64_t>(
                                           limit, std::numeric_limits<std::size_t>::max())));
    }
    SignalRecording r = DecodeWfdbRecord(h, files, headerPath, warnings);
    files.clear();
    if (!options.annotator.empty()) {
        const std::string annPath = folder + h.name + "." + options.annotator;
        if (!FileExists(annPath)) {
            throw SignalFileError(MissingFileMessage(annPath));
        }
        const std::vector<WfdbAnnotation> annotations = ReadWfdbAnnotations(annPath);
        const std::int64_t length =
            r.channels.empty()
                ? h.frames
                : static_cast<std::int64_t>(r.channels[0].Size()) / h.signals[0].samplesPerFrame;
        r.beats = BeatsOfAnnotations(annotations, length, annPath);
    }
    return r;
}

} // namespace hrv
