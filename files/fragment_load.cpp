// Filling the current fragment from an RR or PPG file, and the conversion of one PPG file to RR.
#include "files/fragment_load.h"

#include "files/ecg_record.h"
#include "files/file_io.h"
#include "files/paths.h"
#include "files/recording.h"
#include "files/rr_file.h"
#include "files/rr_text.h"
#include "files/wfdb_header.h"

#include <algorithm>

namespace hrv {

FileKind KindFromExtension(const std::string& path) {
    const std::string extension = ExtensionOfPath(path);
    if (extension == "ppg") {
        return FileKind::Ppg;
    }
    if (extension == "hea") {
        return FileKind::Wfdb;
    }
    if (extension == "edf" || extension == "bdf") {
        return FileKind::Edf;
    }
    if (extension == "dat" && FileExists(FolderOfPath(path) + BaseNameOfPath(path) + ".hea")) {
        return FileKind::Wfdb;
    }
    return extension == "txt" || extension == "csv" ? FileKind::Txt : FileKind::Rr;
}

void TakeRrWords(FragmentData& f) {
    std::fill(f.AnalysisSeries.begin(), f.AnalysisSeries.end(), 0);
    // The analysed fragment never exceeds the 2000 intervals RrTicks holds; RrWords keeps every
    // word read so that a later save writes the file back whole.
    const int held = std::clamp(f.RrCount, 0, kRrCapacity);
    for (int k = 1; k <= held; ++k) {
        const auto ticks = static_cast<std::uint8_t>(f.RrWords[k] >> 8);
        f.RrTicks[k] = ticks;
        f.RrAux[k] = static_cast<std::uint8_t>(f.RrWords[k] & 0xFF);
        f.AnalysisSeries[k] = ticks;
    }
}

void TakePulses(const PpgWorkspace& w, FragmentData& f) {
    f.RrCount = std::clamp(w.PulseCount, 0, kWordCapacity);
    std::copy_n(w.PulseIntervals.begin() + 1, kRrCapacity, f.AnalysisSeries.begin() + 1);
    for (int k = 1; k <= f.RrCount; ++k) {
        const std::uint8_t ticks = w.PulseIntervals[k];
        if (k <= kRrCapacity) {
            f.RrTicks[k] = ticks;
            f.RrAux[k] = 0;
        }
        f.RrWords[k] = static_cast<std::uint16_t>(ticks * 256);
    }
}

LoadResult LoadFragmentFile(const std::string& path, FileKind kind, FragmentData& f,
                            PpgWorkspace& w, Executor& executor) {
    w.LastRecordFile.clear();
    if (kind == FileKind::Ppg) {
        std::fill(f.AnalysisSeries.begin(), f.AnalysisSeries.end(), 0);
    }
    if (ReadFileRecording(path, kind, Reach::Fragment, w, w.LastRecord, executor) ==
        LoadResult::ImportError) {
        return LoadResult::ImportError;
    }
    // The fragment holds the first 40,000 words; RrWords keeps those beyond what was read as
    // they were.
    const std::vector<std::uint16_t> words = RecordWords(w.LastRecord);
    const auto count = std::min(words.size(), static_cast<std::size_t>(kWordCapacity));
    std::copy_n(words.begin(), count, f.RrWords.begin() + 1);
    f.RrCount = static_cast<std::int32_t>(count);
    TakeRrWords(f);
    // Every kind but an RR file is read whole: an RR file only when it ended within the fragment.
    if ((kind != FileKind::Rr || words.size() < static_cast<std::size_t>(kWordCapacity)) &&
        words.size() <= kRecordingCapacity) {
        w.LastRecordFile = path;
    }
    return LoadResult::Loaded;
}

ConvertResult ConvertPpgToRr(const std::string& path, FragmentData& f, PpgWorkspace& w) {
    if (!DecodePpgFile(path, w)) {
        return ConvertResult::ImportError;
    }
    const std::string out = RrPathForPpg(path);
    if (out == path) {
        return ConvertResult::SamePath; // a file named "x.rr" would overwrite itself
    }
    TakePulses(w, f);
    WriteRrFile(out, f);
    return ConvertResult::Written;
}

} // namespace hrv
