// The analysis of stored fragments.
#include "service/file_analysis.h"

#include "files/ecg_record.h"
#include "files/file_io.h"
#include "files/recording.h"
#include "presentation/messages.h"
#include "presentation/open_fragment.h"

#include <algorithm>
#include <memory>
#include <vector>

namespace hrv {

std::string_view TypeName(FileKind kind) {
    switch (kind) {
    case FileKind::Ppg:
        return "ppg";
    case FileKind::Txt:
        return "txt";
    case FileKind::Wfdb:
        return "wfdb";
    case FileKind::Edf:
        return "edf";
    case FileKind::Rr:
        break;
    }
    return "rr";
}

std::string AnalyseFile(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w,
                        Executor& executor) {
    try {
        return OpenStatusText(OpenFragment(path, kind, f, w, executor), path);
    } catch (const FileIoError& e) {
        return e.what();
    }
}

RecordingLength LengthOf(const std::string& path, FileKind kind, const FragmentData& f,
                         PpgWorkspace& w) {
    const int held = std::clamp(f.RrCount, 0, kWordCapacity);
    RecordingLength length{
        RecordingTicks(std::span(f.RrWords.data() + 1, static_cast<std::size_t>(held))), false};
    if (held < kWordCapacity) {
        return length;
    }
    if ((kind == FileKind::Wfdb || kind == FileKind::Edf) && !w.LastRecord.beats.empty()) {
        // The record just read is still at hand: its beats give the length, with no second
        // reading and detection.
        length.ticks = std::max(length.ticks, RecordingTicks(RecordWords(w.LastRecord)));
        return length;
    }
    try {
        std::vector<std::uint16_t> words;
        if (ReadRecording(path, kind, w, words) == LoadResult::Loaded) {
            length.ticks = std::max(length.ticks, RecordingTicks(words));
        }
    } catch (const FileIoError&) {
        length.atLeast = true; // too long to read whole, or gone meanwhile
    }
    return length;
}

SignalRecording ReadBeatsOfFile(const std::string& path, FileKind kind, RecordChoice& choice,
                                Executor& executor) {
    if (!FileExists(path)) {
        throw FileIoError(msg::FileNotFound(path));
    }
    if (kind == FileKind::Wfdb || kind == FileKind::Edf) {
        return ReadEcgRecord(path, kind == FileKind::Edf, choice, executor);
    }
    auto workspace = std::make_unique<PpgWorkspace>();
    std::vector<std::uint16_t> words;
    if (ReadRecording(path, kind, *workspace, words) == LoadResult::ImportError) {
        throw FileIoError(path + ": " + std::string(msg::kImportError));
    }
    if (kind != FileKind::Ppg) {
        return RecordingFromWords(words);
    }
    choice.channelTaken = "PPG";
    return PpgRecording(*workspace);
}

} // namespace hrv
