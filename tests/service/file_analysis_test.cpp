// Many files analysed side by side: each file's result as it is alone, in the files' order.
#include "service/file_analysis.h"
#include "tests/support/test_support.h"

#include <memory>
#include <string>
#include <vector>

namespace hrv {
namespace {

TEST(FileAnalysis, ManyFilesOnAnyExecutorGiveTheResultsOfEachAloneInOrder) {
    const test::ScratchDir dir;
    std::vector<std::string> files;
    for (int i = 0; i < 6; ++i) {
        files.push_back((dir / ("f" + std::to_string(i) + ".rr")).string());
        // Lengths differ, so the files take different times and finish out of order.
        test::WriteBytes(files.back(),
                         test::RrImage(test::TwoBandRhythm(450 + 250 * (i % 3), 70 + i)));
    }
    files.insert(files.begin() + 2, (dir / "missing.rr").string());
    std::vector<std::string> alone;
    for (const std::string& path : files) {
        auto w = std::make_unique<FileWorker>();
        w->fragment.Correct = CorrectionMode::Auto;
        const std::string error = AnalyseFile(path, FileKind::Rr, w->fragment, w->workspace);
        alone.push_back(error.empty() ? std::to_string(w->fragment.TimeIndices.SDNN) + " " +
                                            std::to_string(w->fragment.SpectralIndices.LFHF)
                                      : error);
    }
    for (const int threads : {1, 3}) {
        Executor executor(threads);
        std::vector<std::string> together;
        // Held: the result read from the worker's fragment on the calling thread.
        AnalyseFiles<const FileWorker*>(
            files, std::nullopt, CorrectionMode::Auto, executor, true,
            [&](std::size_t, FileKind kind, const FileWorker& w, const std::string& error) {
                EXPECT_EQ(kind, FileKind::Rr);
                return error.empty() ? &w : nullptr;
            },
            [&](std::size_t i, const FileWorker* w) {
                together.push_back(w != nullptr
                                       ? std::to_string(w->fragment.TimeIndices.SDNN) + " " +
                                             std::to_string(w->fragment.SpectralIndices.LFHF)
                                       : alone[i]);
                EXPECT_EQ(w == nullptr, i == 2);
            });
        EXPECT_EQ(together, alone) << threads << " threads";
    }
}

} // namespace
} // namespace hrv
