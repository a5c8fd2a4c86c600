// EDF, EDF+ and BDF files through EDFlib.
#include "files/edf_file.h"

#include "files/paths.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string_view>

#ifdef HRV_HAVE_EDFLIB
#include <edflib.h>
#endif

namespace hrv {

namespace {

// A header field: its text without the blanks around it.
std::string_view Field(std::span<const std::uint8_t> bytes, std::size_t at, std::size_t length) {
    std::string_view s(reinterpret_cast<const char*>(bytes.data()) + at, length);
    while (!s.empty() && s.front() == ' ') {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\0')) {
        s.remove_suffix(1);
    }
    return s;
}

bool FieldInteger(std::string_view s, std::int64_t& value) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size();
}

bool FieldNumber(std::string_view s, double& value) {
    if (!s.empty() && s.front() == '+') {
        s.remove_prefix(1);
    }
    const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    return !s.empty() && ec == std::errc() && end == s.data() + s.size() && std::isfinite(value);
}

bool IsBdf(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 8 && bytes[0] == 0xFF &&
           std::memcmp(bytes.data() + 1, "BIOSEMI", 7) == 0;
}

bool IsEdfVersion(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 8 && std::memcmp(bytes.data(), "0       ", 8) == 0;
}

std::string Lower(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return out;
}

} // namespace

bool EdfAvailable() {
#ifdef HRV_HAVE_EDFLIB
    return true;
#else
    return false;
#endif
}

bool LooksLikeEdf(std::span<const std::uint8_t> bytes) {
    if (bytes.size() < kEdfFixedHeaderBytes || !(IsEdfVersion(bytes) || IsBdf(bytes))) {
        return false;
    }
    std::int64_t headerBytes = 0;
    std::int64_t signals = 0;
    return FieldInteger(Field(bytes, 184, 8), headerBytes) &&
           FieldInteger(Field(bytes, 252, 4), signals) && signals >= 0 &&
           headerBytes == 256 * (signals + 1);
}

std::string EdfHeaderFault(std::span<const std::uint8_t> bytes, std::uint64_t fileSize) {
    if (bytes.size() < kEdfFixedHeaderBytes) {
        return "файл EDF обрезан: в нём нет даже заголовка в 256 байт";
    }
    const bool bdf = IsBdf(bytes);
    if (!bdf && !IsEdfVersion(bytes)) {
        return "это не файл EDF/BDF: он не начинается с версии «0» или «BIOSEMI»";
    }
    std::int64_t signals = 0;
    if (!FieldInteger(Field(bytes, 252, 4), signals) || signals < 1 || signals > kEdfMaxSignals) {
        return "неверное число сигналов в заголовке EDF («" + std::string(Field(bytes, 252, 4)) +
               "»)";
    }
    std::int64_t headerBytes = 0;
    const auto expected = static_cast<std::int64_t>(kEdfFixedHeaderBytes) * (signals + 1);
    if (!FieldInteger(Field(bytes, 184, 8), headerBytes) || headerBytes != expected) {
        return "длина заголовка EDF («" + std::string(Field(bytes, 184, 8)) +
               "») не сходится с числом сигналов " + std::to_string(signals);
    }
    if (fileSize < static_cast<std::uint64_t>(headerBytes) ||
        bytes.size() < static_cast<std::size_t>(headerBytes)) {
        return "файл EDF обрезан внутри заголовка";
    }
    const std::string_view reserved = Field(bytes, 192, 44);
    if (reserved.substr(0, 5) == "EDF+D" || reserved.substr(0, 5) == "BDF+D") {
        return "прерывистые записи EDF+D (с разрывами во времени) не поддерживаются";
    }
    std::int64_t records = 0;
    if (!FieldInteger(Field(bytes, 236, 8), records) || records < 0) {
        return "неверное число записей данных в заголовке EDF («" +
               std::string(Field(bytes, 236, 8)) + "»)";
    }
    double duration = 0;
    if (!FieldNumber(Field(bytes, 244, 8), duration) || duration < 0) {
        return "неверная длительность записи данных в заголовке EDF («" +
               std::string(Field(bytes, 244, 8)) + "»)";
    }
    const auto ns = static_cast<std::size_t>(signals);
    const std::size_t samplesAt = kEdfFixedHeaderBytes + ns * 216;
    std::int64_t recordSamples = 0;
    for (std::size_t k = 0; k < ns; ++k) {
        std::int64_t n = 0;
        if (!FieldInteger(Field(bytes, samplesAt + 8 * k, 8), n) || n < 1 || n > (1 << 24)) {
            return "неверное число отсчётов в записи данных у сигнала " + std::to_string(k + 1) +
                   " («" + std::string(Field(bytes, samplesAt + 8 * k, 8)) + "»)";
        }
        recordSamples += n;
    }
    const std::int64_t recordBytes = recordSamples * (bdf ? 3 : 2);
    const std::uint64_t data = fileSize - static_cast<std::uint64_t>(headerBytes);
    if (static_cast<std::uint64_t>(records) > data / static_cast<std::uint64_t>(recordBytes) ||
        static_cast<std::uint64_t>(records) * static_cast<std::uint64_t>(recordBytes) != data) {
        return "записи данных не сходятся с размером файла: по заголовку " +
               std::to_string(records) + " записей по " + std::to_string(recordBytes) +
               " байт, в файле после заголовка " + std::to_string(data) + " байт";
    }
    return {};
}

bool IsBeatAnnotation(const std::string& text, BeatKind& kind) {
    static constexpr std::string_view kCodes[] = {"N", "L", "R", "B", "A", "a", "J", "S", "V", "r",
                                                  "F", "e", "j", "n", "E", "/", "f", "Q", "?"};
    static constexpr BeatKind kKinds[] = {BeatKind::Normal,
                                          BeatKind::Normal,
                                          BeatKind::Normal,
                                          BeatKind::Normal,
                                          BeatKind::Supraventricular,
                                          BeatKind::Supraventricular,
                                          BeatKind::Supraventricular,
                                          BeatKind::Supraventricular,
                                          BeatKind::Ventricular,
                                          BeatKind::Ventricular,
                                          BeatKind::Fusion,
                                          BeatKind::Normal,
                                          BeatKind::Normal,
                                          BeatKind::Supraventricular,
                                          BeatKind::Ventricular,
                                          BeatKind::Paced,
                                          BeatKind::Paced,
                                          BeatKind::Unclassifiable,
                                          BeatKind::Unclassifiable};
    std::string_view t = text;
    while (!t.empty() && t.front() == ' ') {
        t.remove_prefix(1);
    }
    while (!t.empty() && t.back() == ' ') {
        t.remove_suffix(1);
    }
    for (std::size_t k = 0; k < std::size(kCodes); ++k) {
        if (t == kCodes[k]) {
            kind = kKinds[k];
            return true;
        }
    }
    const std::string lower = Lower(t);
    if (lower == "qrs" || lower == "beat" || lower == "heartbeat" || lower == "r-peak" ||
        lower == "rpeak" || lower == "r peak" || lower == "r-wave") {
        kind = BeatKind::Unknown;
        return true;
    }
    return false;
}

#ifdef HRV_HAVE_EDFLIB

namespace {

std::string EdflibFault(int code) {
    switch (code) {
    case EDFLIB_MALLOC_ERROR:
        return "не хватило памяти для чтения файла EDF";
    case EDFLIB_NO_SUCH_FILE_OR_DIRECTORY:
        return "файл не открывается";
    case EDFLIB_FILE_CONTAINS_FORMAT_ERRORS:
        return "файл не соответствует формату EDF/BDF (ошибка в полях заголовка или в аннотациях)";
    case EDFLIB_MAXFILES_REACHED:
        return "открыто слишком много файлов EDF";
    case EDFLIB_FILE_READ_ERROR:
        return "ошибка чтения файла EDF";
    case EDFLIB_FILE_ALREADY_OPENED:
        return "файл EDF уже открыт";
    case EDFLIB_FILE_IS_DISCONTINUOUS:
        return "прерывистые записи EDF+D (с разрывами во времени) не поддерживаются";
    default:
        return "файл EDF не читается (код EDFlib " + std::to_string(code) + ")";
    }
}

// The open file, closed however the reading ends.
struct EdfHandle {
    int handle = -1;
    ~EdfHandle() {
        if (handle >= 0) {
            edfclose_file(handle);
        }
    }
};

} // namespace

SignalRecording ReadEdfRecord(const std::string& path, const EdfReadOptions& options,
                              std::vector<EdfAnnotation>* annotations) {
    if (!FileExists(path)) {
        throw SignalFileError(MissingFileMessage(path));
    }
    {
        // The whole header: 256 bytes and 256 per signal, at most 640 of them.
        const std::vector<std::uint8_t> head =
            ReadFileBytes(path, kEdfFixedHeaderBytes * (kEdfMaxSignals + 1));
        std::error_code error;
        const std::uintmax_t size = std::filesystem::file_size(path, error);
        if (error) {
            throw SignalFault(path, "размер файла не определяется: " + error.message());
        }
        const std::string fault = EdfHeaderFault(head, size);
        if (!fault.empty()) {
            throw SignalFault(path, fault);
        }
    }
    const auto hdr = std::make_unique<edf_hdr_struct>();
    EdfHandle file;
    if (edfopen_file_readonly(path.c_str(), hdr.get(), EDFLIB_READ_ALL_ANNOTATIONS) != 0) {
        throw SignalFault(path, EdflibFault(hdr->filetype));
    }
    file.handle = hdr->handle;
    const bool bdf =
        hdr->filetype == EDFLIB_FILETYPE_BDF || hdr->filetype == EDFLIB_FILETYPE_BDFPLUS;
    const double recordSeconds =
        static_cast<double>(hdr->datarecord_duration) / EDFLIB_TIME_DIMENSION;

    SignalRecording r;
    r.name = BaseNameOfPath(path);
    r.start.hasDate = true;
    r.start.day = hdr->startdate_day;
    r.start.month = hdr->startdate_month;
    r.start.year = hdr->startdate_year;
    r.start.hasTime = true;
    r.start.hour = hdr->starttime_hour;
    r.start.minute = hdr->starttime_minute;
    r.start.second = hdr->starttime_second +
                     static_cast<double>(hdr->starttime_subsecond) / EDFLIB_TIME_DIMENSION;
    if (hdr->edfsignals > 0 && !(recordSeconds > 0)) {
        throw SignalFault(path, "длительность записи данных 0 у файла с сигналами");
    }
    r.channels.resize(static_cast<std::size_t>(hdr->edfsignals));
    std::vector<int> block(1 << 16);
    for (int k = 0; k < hdr->edfsignals; ++k) {
        const edf_param_struct& p = hdr->signalparam[k];
        SignalChannel& c = r.channels[static_cast<std::size_t>(k)];
        c.name = p.label;
        while (!c.name.empty() && c.name.back() == ' ') {
            c.name.pop_back();
        }
        c.unit = p.physdimension;
        while (!c.unit.empty() && c.unit.back() == ' ') {
            c.unit.pop_back();
        }
        c.rate = static_cast<double>(p.smp_in_datarecord) * EDFLIB_TIME_DIMENSION /
                 static_cast<double>(hdr->datarecord_duration);
        if (p.phys_max == p.phys_min || p.dig_max == p.dig_min) {
            throw SignalFault(path, "у сигнала «" + c.name +
                                        "» нулевой диапазон (физический или цифровой)");
        }
        c.gain = static_cast<double>(p.dig_max - p.dig_min) / (p.phys_max - p.phys_min);
        c.baseline = p.dig_max - p.phys_max * c.gain;
        const auto count = static_cast<std::size_t>(std::max<long long>(p.smp_in_file, 0));
        if (bdf) {
            c.raw32.resize(count);
        } else {
            c.raw16.resize(count);
        }
        std::size_t done = 0;
        while (done < count) {
            const int want = static_cast<int>(std::min<std::size_t>(block.size(), count - done));
            const int got = edfread_digital_samples(file.handle, k, want, block.data());
            if (got != want) {
                throw SignalFault(path, "ошибка чтения сигнала «" + c.name + "»");
            }
            if (bdf) {
                std::copy_n(block.begin(), got,
                            c.raw32.begin() + static_cast<std::ptrdiff_t>(done));
            } else {
                std::transform(block.begin(), block.begin() + got,
                               c.raw16.begin() + static_cast<std::ptrdiff_t>(done),
                               [](int v) { return static_cast<std::int16_t>(v); });
            }
            done += static_cast<std::size_t>(got);
        }
    }
    std::vector<EdfAnnotation> found;
    found.reserve(static_cast<std::size_t>(std::max<long long>(hdr->annotations_in_file, 0)));
    for (long long n = 0; n < hdr->annotations_in_file; ++n) {
        edf_annotation_struct a{};
        if (edf_get_annotation(file.handle, static_cast<int>(n), &a) != 0) {
            break;
        }
        EdfAnnotation e;
        e.onset = static_cast<double>(a.onset) / EDFLIB_TIME_DIMENSION;
        e.duration =
            a.duration_l < 0 ? -1 : static_cast<double>(a.duration_l) / EDFLIB_TIME_DIMENSION;
        e.text = a.annotation;
        found.push_back(std::move(e));
    }
    if (options.annotationBeats) {
        int ecg = r.channels.empty() ? -1 : 0;
        for (std::size_t k = 0; k < r.channels.size(); ++k) {
            const std::string label = Lower(r.channels[k].name);
            if (label.find("ecg") != std::string::npos || label.find("ekg") != std::string::npos) {
                ecg = static_cast<int>(k);
                break;
            }
        }
        // Without a signal the beats count in EDF's own unit of time, 100 ns.
        r.beatRate = ecg >= 0 ? r.channels[static_cast<std::size_t>(ecg)].rate : 1e7;
        for (const EdfAnnotation& e : found) {
            BeatKind kind = BeatKind::Unknown;
            if (e.duration <= 0 && IsBeatAnnotation(e.text, kind)) {
                r.beats.push_back(
                    Beat{std::llround(e.onset * r.beatRate), BeatSource::Annotation, kind, 0});
            }
        }
        std::stable_sort(r.beats.begin(), r.beats.end(),
                         [](const Beat& x, const Beat& y) { return x.sample < y.sample; });
    }
    if (annotations != nullptr) {
        *annotations = std::move(found);
    }
    return r;
}

#else

SignalRecording ReadEdfRecord(const std::string& path, const EdfReadOptions& /*options*/,
                              std::vector<EdfAnnotation>* /*annotations*/) {
    throw SignalFault(path, "чтение файлов EDF/BDF в этой сборке программы недоступно");
}

#endif

} // namespace hrv
