// Speed of the window's Open: from the file dialog's answer to the five charts and both panels
// drawn, for a five-minute RR file. The window runs offscreen (unless a platform is named) with
// scripted prompts, as the window tests drive it, and is painted into an image after each open,
// so the drawing is counted.
#include "analysis/fragment_data.h"
#include "files/fragment_load.h"
#include "tests/support/fake_prompts.h"
#include "ui/beat_panel.h"
#include "ui/form_main.h"

#include <benchmark/benchmark.h>
#include <cmath>
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

// An edit on the strip of an ECG record (MIT-BIH 100, 30 min at 360 Hz) to the charts, both
// panels and the strip drawn again: a beat deleted, then the deletion undone, in turn.
void BM_WindowBeatEditToDrawn(benchmark::State& state) {
    const ScratchCurrentDir dir;
    auto fragment = std::make_unique<FragmentData>();
    FakePrompts prompts;
    TFormMain window(*fragment, prompts);
    window.resize(1600, 1000);
    window.show();
    QApplication::processEvents();
    prompts.openAnswers.push_back(
        {QString::fromUtf8(HRV_SHARED_ECG "/mitdb/100.hea"), static_cast<int>(FileKind::Wfdb)});
    window.TB_OpenClick();
    QApplication::processEvents();
    if (window.Beats() == nullptr) {
        state.SkipWithError("the record opened without its beats");
        return;
    }
    const SignalRecording& r = window.Beats()->Recording();
    const double t = r.BeatSeconds(r.beats[120]);
    window.Pan_Signal->Strip->CentreOn(t);
    QImage image(window.size(), QImage::Format_ARGB32_Premultiplied);
    bool removed = false;
    for (auto _ : state) {
        const bool done =
            removed ? window.BeatUndo() : window.BeatEdit(StripEdit{StripEdit::Remove, t, 0});
        if (!done) {
            state.SkipWithError("the edit did nothing");
            break;
        }
        removed = !removed;
        QApplication::processEvents();
        QPainter painter(&image);
        window.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    if (!prompts.messages.empty() || prompts.unscripted != 0) {
        state.SkipWithError("the edit showed a message or an unscripted prompt");
    }
}
BENCHMARK(BM_WindowBeatEditToDrawn)->Unit(benchmark::kMillisecond)->UseRealTime();

// One frame of the strip over a 24-hour ECG at 360 Hz (31 M samples, a beat every 0.8 s) at
// 1600 x 200 pixels, scrolled by a tenth of its span each frame, showing `range(0)` seconds.
void BM_Strip24hFrame(benchmark::State& state) {
    constexpr double kRate = 360;
    constexpr double kDay = 24 * 3600;
    SignalRecording r;
    r.beatRate = kRate;
    SignalChannel c;
    c.name = "MLII";
    c.rate = kRate;
    c.raw16.resize(static_cast<std::size_t>(kDay * kRate));
    for (std::size_t i = 0; i < c.raw16.size(); ++i) {
        const double phase = std::fmod(static_cast<double>(i) / kRate, 0.8) - 0.4;
        c.raw16[i] = static_cast<std::int16_t>(1000 * std::exp(-phase * phase / 0.0002) +
                                               static_cast<double>(i % 7));
    }
    for (double t = 0.4; t < kDay; t += 0.8) {
        r.beats.push_back(Beat{std::llround(t * kRate), BeatSource::Detected});
    }
    r.channels.push_back(std::move(c));
    const BeatSession session(std::move(r), 0, false);
    SignalStripWidget strip;
    strip.resize(1600, 200);
    strip.SetSession(&session, static_cast<double>(state.range(0)));
    QImage image(strip.size(), QImage::Format_ARGB32_Premultiplied);
    double step = strip.View().Span() / 10;
    for (auto _ : state) {
        if (strip.View().Start() + strip.View().Span() + step > kDay ||
            strip.View().Start() + step < 0) {
            step = -step;
        }
        strip.View().ScrollSeconds(step);
        QPainter painter(&image);
        strip.render(&painter);
        painter.end();
        benchmark::DoNotOptimize(image.constBits());
    }
    state.counters["fps"] =
        benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_Strip24hFrame)
    ->Arg(10)
    ->Arg(300)
    ->Arg(3600)
    ->Arg(86400)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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
