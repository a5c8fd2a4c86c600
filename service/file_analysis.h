// The analysis of stored fragments: a file opened as the window opens it, or many files side by
// side, each with its result on the calling thread in the files' order.
#pragma once

#include "analysis/fragment_data.h"
#include "files/fragment_load.h"
#include "util/executor.h"
#include "util/large_pages.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace hrv {

// The word of a file kind in rvx-cli's --type and in the results' "type": rr, ppg, txt, wfdb or
// edf.
std::string_view TypeName(FileKind kind);

// Loads the file as `kind` into `f` and analyses it on `executor`. Returns "" on success,
// otherwise the message the window would show ("Файл ... не найден", the import error, too
// little data, or the file layer's error).
std::string AnalyseFile(const std::string& path, FileKind kind, FragmentData& f, PpgWorkspace& w,
                        Executor& executor = Executor::CallingThreadOnly());

// What one thread keeps from file to file: one fragment and one workspace (whose buffer every
// file is read into), about 5.4 MB together, made once on large pages.
struct FileWorker {
    FragmentData fragment;
    PpgWorkspace workspace;
};

// The length of an analysed file's recording, for the note on recordings longer than two
// fragments.
struct RecordingLength {
    std::int64_t ticks = 0;
    bool atLeast = false; // the recording is longer than `ticks`, beyond what can be read whole
};

// The length of the recording `f` was loaded from: its words, unless they fill RrWords and the
// file may hold more, which is then read whole.
RecordingLength LengthOf(const std::string& path, FileKind kind, const FragmentData& f,
                         PpgWorkspace& w);

// The whole recording of any file with its beats, as `rvx-cli beats` and Python's read_record give
// it (ReadFileRecording, on `executor`; a record's channel and beats as `choice` asks, which gets
// what was taken). FileIoError with the user's message when the file is missing, refused or cannot
// be decoded.
SignalRecording ReadBeatsOfFile(const std::string& path, FileKind kind, RecordChoice& choice,
                                Executor& executor);

// Analyses every file of `files` (as `kind`, otherwise by its extension, corrected as `correct`
// says) with AnalyseFile on the threads of `executor`, each thread on a FileWorker of its own;
// several files at once run each analysis on its one thread, one file spreads its bins over the
// executor. On the analysing thread make(i, kind, worker, error) turns file i's outcome into a
// Result (error as AnalyseFile gave it); on the calling thread take(i, Result&&) receives the
// results in the files' order. With `hold` a thread's next file waits until take() has returned
// for its last, so a result may point into its worker. An ECG record's channel and beats are
// taken as `record` asks; make() finds what was taken in worker.workspace.Record. Exceptions as
// Executor::Map gives them.
template <class Result, class Make, class Take>
void AnalyseFiles(std::span<const std::string> files, std::optional<FileKind> kind,
                  CorrectionMode correct, Executor& executor, bool hold, Make make, Take take,
                  const RecordChoice& record = {}) {
    executor.Map<Result>(
        files.size(), hold, [] { return MakeOnLargePages<FileWorker>(); },
        [&](LargePagePtr<FileWorker>& w, std::size_t i) {
            const std::string& path = files[i];
            const FileKind k = kind.value_or(KindFromExtension(path));
            w->fragment.Correct = correct;
            w->workspace.Record = record;
            const std::string error = AnalyseFile(path, k, w->fragment, w->workspace, executor);
            return make(i, k, *w, error);
        },
        take);
}

} // namespace hrv
