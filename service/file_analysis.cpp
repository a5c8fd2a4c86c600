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
    try {
        // The recording just opened, when that took it whole (a record, a list): no second reading
        // and detection.
        if (const SignalRecording* r = OpenedRecording(path, kind, w); r != nullptr) {
            length.ticks = std::max(length.ticks, RecordingTicks(RecordWords(*r)));
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
    auto workspace = std::make_unique<PpgWorkspace>();
    workspace->Record = choice;
    SignalRecording r;
    if (ReadFileRecording(path, kind, Reach::Whole, *workspace, r, executor) ==
        LoadResult::ImportError) {
        throw FileIoError(path + ": " + std::string(msg::kImportError));
    }
    choice = workspace->Record;
    if (kind == FileKind::Ppg) {
        choice.channelTaken = "PPG";
    }
    return r;
}

} // namespace hrv
