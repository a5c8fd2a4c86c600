// Speed of the record readers: a 30-minute two-lead 360 Hz MIT-BIH record (WFDB, format 212) and
// a 24-hour one-lead 500 Hz EDF file written here once, each read whole and its first lead
// turned into physical values as a detector takes them. Peak memory: run one case under
// /usr/bin/time -v (--benchmark_filter=Edf).
#include "files/edf_file.h"
#include "files/wfdb_signal.h"

#include <benchmark/benchmark.h>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

void BM_WfdbMitBih30Minutes(benchmark::State& state) {
    const std::string record = std::string(HRV_SHARED_ECG) + "/mitdb/100.hea";
    if (!std::filesystem::exists(record)) {
        state.SkipWithError("no ../shared/ecg/mitdb/100.hea");
        return;
    }
    std::vector<float> lead;
    for (auto _ : state) {
        const hrv::SignalRecording r = hrv::ReadWfdbRecord(record);
        r.channels[0].PhysicalInto(lead);
        benchmark::DoNotOptimize(lead.data());
    }
}
BENCHMARK(BM_WfdbMitBih30Minutes)->Unit(benchmark::kMillisecond);

// A day of one ECG lead at 500 Hz in 1-s data records: a sine of 1 mV in 12-bit steps.
std::string DayEdf() {
    const std::string path =
        (std::filesystem::temp_directory_path() / "rvx_bench_day_500hz.edf").string();
    constexpr int kRecords = 86400;
    constexpr int kRate = 500;
    if (std::filesystem::exists(path) &&
        std::filesystem::file_size(path) == 512u + 2u * kRecords * kRate) {
        return path;
    }
    const auto pad = [](std::string s, std::size_t n) {
        s.resize(n, ' ');
        return s;
    };
    std::string h = pad("0", 8) + pad("X X X X", 80) + pad("Startdate 01-JAN-2024 X X X", 80) +
                    "01.01.24" + "00.00.00" + pad("512", 8) + pad("", 44) +
                    pad(std::to_string(kRecords), 8) + pad("1", 8) + pad("1", 4) +
                    pad("ECG II", 16) + pad("", 80) + pad("mV", 8) + pad("-1", 8) + pad("1", 8) +
                    pad("-2048", 8) + pad("2047", 8) + pad("", 80) + pad(std::to_string(kRate), 8) +
                    pad("", 32);
    std::ofstream out(path, std::ios::binary);
    out.write(h.data(), static_cast<std::streamsize>(h.size()));
    std::vector<char> record(2 * kRate);
    for (int r = 0; r < kRecords; ++r) {
        for (int i = 0; i < kRate; ++i) {
            const auto v = static_cast<std::int16_t>((i * 37 + r) % 4096 - 2048);
            record[2 * static_cast<std::size_t>(i)] = static_cast<char>(v & 0xFF);
            record[2 * static_cast<std::size_t>(i) + 1] = static_cast<char>((v >> 8) & 0xFF);
        }
        out.write(record.data(), static_cast<std::streamsize>(record.size()));
    }
    return path;
}

void BM_EdfOneLead24Hours(benchmark::State& state) {
    if (!hrv::EdfAvailable()) {
        state.SkipWithError("no EDFlib in this build");
        return;
    }
    const std::string path = DayEdf();
    std::vector<float> lead;
    for (auto _ : state) {
        const hrv::SignalRecording r = hrv::ReadEdfRecord(path);
        r.channels[0].PhysicalInto(lead);
        benchmark::DoNotOptimize(lead.data());
    }
}
BENCHMARK(BM_EdfOneLead24Hours)->Unit(benchmark::kMillisecond)->Iterations(3);

// The reading alone: the raw samples only, 2 bytes each.
void BM_EdfOneLead24HoursRaw(benchmark::State& state) {
    if (!hrv::EdfAvailable()) {
        state.SkipWithError("no EDFlib in this build");
        return;
    }
    const std::string path = DayEdf();
    for (auto _ : state) {
        const hrv::SignalRecording r = hrv::ReadEdfRecord(path);
        benchmark::DoNotOptimize(r.channels[0].raw16.data());
    }
}
BENCHMARK(BM_EdfOneLead24HoursRaw)->Unit(benchmark::kMillisecond)->Iterations(3);

} // namespace

BENCHMARK_MAIN();
