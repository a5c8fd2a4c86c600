// Speed of the window's Open: from the file dialog's answer to the five charts and both panels
// drawn, for a five-minute RR file. The window runs offscreen (unless a platform is named) with
// scripted prompts, as the window tests drive it, and is painted into an image after each open,
// so the drawing is counted.
#include "analysis/fragment_data.h"
#include "tests/support/fake_prompts.h"
#include "ui/form_main.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <unistd.h>

#include <QApplication>
#include <QImage>
#include <QPainter>

namespace hrv {
namespace {

// A scratch current folder for the window's settings file, removed afterwards.
class ScratchCurrentDir {
public:
    ScratchCurrentDir()
        : previous_(std::filesystem::current_path()),
          path_(std::filesystem::temp_directory_path() /
                ("rvx_window_bench_" + std::to_string(::getpid()))) {
        std::filesystem::create_directories(path_);
        std::filesystem::current_path(path_);
    }
    ~ScratchCurrentDir() {
        std::error_code ec;
        std::filesystem::current_path(previous_, ec);
        std::filesystem::remove_all(path_, ec);
    }
    ScratchCurrentDir(const ScratchCurrentDir&) = delete;
    ScratchCurrentDir& operator=(const ScratchCurrentDir&) = delete;

private:
    std::filesystem::path previous_;
    std::filesystem::path path_;
};

void BM_WindowOpenToDrawn(benchmark::State& state) {
    const ScratchCurrentDir dir;
    auto fragment = std::make_unique<FragmentData>();
    FakePrompts prompts;
    TFormMain window(*fragment, prompts);
    window.show();
    QApplication::processEvents();
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    for (auto _ : state) {
        prompts.openAnswers.push_back({QString::fromUtf8(HRV_SAMPLE), 1});
        window.TB_OpenClick();
        QApplication::processEvents(); // layout and chart updates the open posted
        QPainter painter(&image);
        window.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    if (const char* out = std::getenv("RVX_BENCH_IMAGE"); out != nullptr) {
        image.save(QString::fromUtf8(out)); // to look at what was drawn
    }
    if (!prompts.messages.empty() || prompts.unscripted != 0) {
        state.SkipWithError("the open showed a message or an unscripted prompt");
    }
}
BENCHMARK(BM_WindowOpenToDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace hrv

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    qputenv("LC_ALL", "ru_RU.UTF-8"); // the users' regional settings, as in the window tests
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("RVX"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
