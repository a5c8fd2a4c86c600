// _rvx: the core's analysis for Python. The rvx package (python/rvx) checks the arguments and
// calls these functions; each returns the fields rvx-cli analyze prints, taken from the same
// VisitResultFields, as a dict.
#include "analysis/pipeline.h"
#include "analysis/rpeak_detector.h"
#include "analysis/ticks.h"
#include "files/ecg_record.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "presentation/messages.h"
#include "service/file_analysis.h"
#include "service/recording_windows.h"
#include "service/result_fields.h"
#include "service/standard_analysis.h"
#include "standard/standard.h"
#include "util/executor.h"
#include "util/large_pages.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <optional>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <span>
#include <stdexcept>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>
#include <variant>
#include <vector>

namespace py = pybind11;

namespace hrv {
namespace {

// What one thread keeps from call to call, as a thread of rvx-cli analyze does: one fragment and
// one workspace (about 5.4 MB), made on the thread's first call. The analysis runs on them with
// the interpreter's lock released, so threads analyse at once, each on its own.
FileWorker& ThisThreadsWorker() {
    thread_local LargePagePtr<FileWorker> worker;
    if (!worker) {
        worker = MakeOnLargePages<FileWorker>();
    }
    return *worker;
}

// The executor of a call's `threads`: 0 (None) the program's (RVX_THREADS, otherwise one thread
// per processor), 1 the calling thread only, otherwise one of that many threads, made on first
// use. None is ever destroyed: a daemon thread may still be analysing when the interpreter
// exits.
Executor& ExecutorFor(int threads) {
    if (threads <= 0) {
        return ProgramExecutor();
    }
    if (threads == 1) {
        return Executor::CallingThreadOnly();
    }
    static std::array<std::atomic<Executor*>, kMaxThreads + 1> made{};
    auto& slot = made[static_cast<std::size_t>(std::min(threads, kMaxThreads))];
    Executor* executor = slot.load();
    if (executor == nullptr) {
        auto* fresh = new Executor(threads);
        if (slot.compare_exchange_strong(executor, fresh)) {
            return *fresh;
        }
        delete fresh; // another thread made it meanwhile
    }
    return *executor;
}

// The interpreter's state of this thread while Unlocked runs its function.
thread_local PyThreadState* unlockedState = nullptr;

// Thrown from inside Unlocked when a signal handler has raised (Ctrl+C's KeyboardInterrupt).
struct Interrupted {};

bool Finalizing() {
#if PY_VERSION_HEX >= 0x030D0000
    return Py_IsFinalizing() != 0;
#else
    return _Py_IsFinalizing() != 0;
#endif
}

// Takes the interpreter's lock back. A daemon thread that comes back while the interpreter is
// ending would be ended by it (pthread_exit) as it took the lock: it waits for the end of the
// process instead.
void Relock(PyThreadState* state) {
    while (Finalizing()) {
        std::this_thread::sleep_for(std::chrono::seconds(1));
    }
    PyEval_RestoreThread(state);
}

// Runs f() with the interpreter's lock released, so that other threads run Python meanwhile. The
// lock is taken back in plain code, never in a destructor, where an unwinding of the thread by
// the ending interpreter would end the whole process.
template <class F> void Unlocked(F&& f) {
    PyThreadState* state = PyEval_SaveThread();
    unlockedState = state;
    try {
        f();
    } catch (const Interrupted&) {
        Relock(unlockedState);
        throw py::error_already_set(); // the signal handler's exception
    } catch (...) {
        Relock(unlockedState);
        throw;
    }
    Relock(unlockedState);
}

// How often a long call runs the signal handlers that are due.
constexpr auto kSignalCheck = std::chrono::milliseconds(100);

// From inside Unlocked: runs the signal handlers that are due, the lock taken for a moment;
// Interrupted when one raised.
void ThrowOnSignal() {
    PyEval_RestoreThread(unlockedState);
    const bool raised = PyErr_CheckSignals() != 0;
    unlockedState = PyEval_SaveThread();
    if (raised) {
        throw Interrupted{};
    }
}

// A number as JSON gives it back: a value that is not finite is written as null.
py::object Real(double v) {
    return std::isfinite(v) ? py::object(py::float_(v)) : py::object(py::none());
}

// Puts each result field into a dict under its name; the spectrum as a numpy array.
struct DictFields {
    py::dict& dict;
    void operator()(std::string_view name, std::int64_t v) { Set(name, py::int_(v)); }
    void operator()(std::string_view name, double v) { Set(name, Real(v)); }
    void operator()(std::string_view name, const std::optional<double>& v) {
        Set(name, v ? Real(*v) : py::object(py::none()));
    }
    void operator()(std::string_view name, TickWords v) {
        py::list list(v.words.size());
        for (std::size_t i = 0; i < v.words.size(); ++i) {
            list[i] = py::int_(v.words[i] >> 8);
        }
        Set(name, list);
    }
    void operator()(std::string_view name, std::span<const std::uint8_t> ticks) {
        py::list list(ticks.size());
        for (std::size_t i = 0; i < ticks.size(); ++i) {
            list[i] = py::int_(ticks[i]);
        }
        Set(name, list);
    }
    void operator()(std::string_view name, std::span<const Artefact> artefacts) {
        py::list list(artefacts.size());
        for (std::size_t i = 0; i < artefacts.size(); ++i) {
            py::dict a;
            a["index"] = artefacts[i].index;
            a["kind"] = ArtefactKindName(artefacts[i].kind);
            list[i] = a;
        }
        Set(name, list);
    }
    void operator()(std::string_view name, std::span<const double> values) {
        Set(name, py::array_t<double>(static_cast<py::ssize_t>(values.size()), values.data()));
    }
    void Set(std::string_view name, py::object value) {
        dict[py::str(name.data(), name.size())] = std::move(value);
    }
};

CorrectionMode Mode(int correct) {
    return correct == 1 ? CorrectionMode::Auto : CorrectionMode::None;
}

// The indices of a fragment of `ticks` (10 ms ticks, 1..255 each, at most 40,000), loaded as an
// RR list is. ValueError with the program's message when the analysis rejects it.
py::dict Analyse(py::array_t<std::uint8_t, py::array::c_style> ticks, int correct, bool spectrum,
                 bool nonlinear, int threads) {
    const auto count = static_cast<int>(std::min<py::ssize_t>(ticks.size(), kWordCapacity));
    FileWorker& w = ThisThreadsWorker();
    FragmentData& f = w.fragment;
    bool analysed = false;
    {
        const std::uint8_t* data = ticks.data();
        Unlocked([&] {
            f.RrCount = count;
            for (int k = 1; k <= count; ++k) {
                f.RrWords[static_cast<std::size_t>(k)] =
                    static_cast<std::uint16_t>(data[k - 1] * 256);
            }
            TakeRrWords(f);
            f.Correct = Mode(correct);
            analysed = AnalyseFragment(f, ExecutorFor(threads));
        });
    }
    if (!analysed) {
        throw py::value_error(std::string(msg::kTooLittleData));
    }
    py::dict result;
    VisitResultFields(f, ResultOptions{.spectrum = spectrum, .nonlinear = nonlinear},
                      DictFields{result});
    return result;
}

// The settings of the standard analysis from the rvx package's keywords (detrend: 0 none,
// 1 smoothness priors; arMethod: 0 forward-backward, 1 Burg). ValueError with the message that
// names the setting when they cannot be used.
standard::Settings StandardSettings(double interp, int detrend, double lambda, double welchWindow,
                                    double welchOverlap, int arOrder, int arMethod, int pointsPerHz,
                                    double nnThreshold) {
    standard::Settings s;
    s.InterpolationHz = interp;
    s.Detrend = detrend == 1 ? standard::Detrending::SmoothnessPriors : standard::Detrending::None;
    s.Lambda = lambda;
    s.WelchWindowS = welchWindow;
    s.WelchOverlapPercent = welchOverlap;
    s.ArOrder = arOrder;
    s.Ar = arMethod == 1 ? standard::ArMethod::Burg : standard::ArMethod::ForwardBackward;
    s.PointsPerHz = pointsPerHz;
    s.NnThresholdMs = nnThreshold;
    if (const std::string problem = standard::Validate(s); !problem.empty()) {
        throw py::value_error(problem);
    }
    return s;
}

// The standard analysis's outcome: its JSON object (rvx-cli's "standard") and "", or "" and the
// reason it cannot be made.
using StandardOutcome = std::pair<std::string, std::string>;

// The fields of a window taken on the thread that analysed it, to go into a dict later on the
// calling thread (which holds the interpreter's lock for that).
class RecordedFields {
public:
    template <class T> void operator()(std::string_view name, const T& value) {
        if constexpr (std::is_same_v<T, TickWords>) {
            std::vector<std::uint8_t> ticks(value.words.size());
            std::transform(value.words.begin(), value.words.end(), ticks.begin(),
                           [](std::uint16_t w) { return static_cast<std::uint8_t>(w >> 8); });
            fields_.emplace_back(name, std::move(ticks));
        } else if constexpr (std::is_same_v<T, std::span<const std::uint8_t>> ||
                             std::is_same_v<T, std::span<const Artefact>> ||
                             std::is_same_v<T, std::span<const double>>) {
            fields_.emplace_back(name, std::vector(value.begin(), value.end()));
        } else {
            fields_.emplace_back(name, value);
        }
    }

    // Puts the fields into `dict` as DictFields would have.
    void Into(py::dict& dict) const {
        DictFields into{dict};
        for (const auto& [name, value] : fields_) {
            std::visit(
                [&](const auto& v) {
                    using V = std::decay_t<decltype(v)>;
                    if constexpr (std::is_same_v<V, std::int64_t> || std::is_same_v<V, double> ||
                                  std::is_same_v<V, std::optional<double>>) {
                        into(name, v);
                    } else {
                        into(name, std::span<const typename V::value_type>(v));
                    }
                },
                value);
        }
    }

private:
    using Value =
        std::variant<std::int64_t, double, std::optional<double>, std::vector<std::uint8_t>,
                     std::vector<Artefact>, std::vector<double>>;
    std::vector<std::pair<std::string_view, Value>>
        fields_; // names are VisitResultFields' literals
};

// The windows of a recording of `ticks` (10 ms ticks, 1..255 each, at most 1,000,000) every
// `step` seconds, as rvx-cli analyze --windows gives their lines: "ok", "window", "first",
// "start_s", then the indices without the intervals, or "error". ValueError with the program's
// message when not one window holds the 300 s the analysis needs.
// Windows `from` to `from + take` - 1 only (all from `from` with take below 0): a generator's
// share of them, so that it holds a bounded number of windows.
// With `ms` (the intervals in ms as given) and `settings` (StandardSettings' arguments) each
// window's dict gets "standard": its standard analysis's outcome (AnalyseStandardWindow).
py::list AnalyseWindowsOf(py::array_t<std::uint8_t, py::array::c_style> ticks, int step,
                          int correct, bool spectrum, bool nonlinear, int threads,
                          std::int64_t from, std::int64_t take, const py::object& ms,
                          const py::tuple& settings) {
    struct Window {
        RecordingWindow window;
        bool analysed = false;
        RecordedFields fields;
        StandardOutcome standard;
    };
    std::vector<Window> results;
    std::optional<standard::Settings> standardSettings;
    FileIntervals intervals;
    if (!ms.is_none()) {
        standardSettings = StandardSettings(
            settings[0].cast<double>(), settings[1].cast<int>(), settings[2].cast<double>(),
            settings[3].cast<double>(), settings[4].cast<double>(), settings[5].cast<int>(),
            settings[6].cast<int>(), settings[7].cast<int>(), settings[8].cast<double>());
        const auto given = ms.cast<py::array_t<double, py::array::c_style>>();
        intervals.ms.assign(given.data(), given.data() + given.size());
        intervals.ticks.assign(ticks.data(), ticks.data() + ticks.size());
        if (intervals.ms.size() != intervals.ticks.size()) {
            throw py::value_error("ms and ticks differ in length");
        }
    }
    {
        const std::uint8_t* data = ticks.data();
        const auto count = static_cast<std::size_t>(ticks.size());
        Unlocked([&] {
            std::vector<std::uint16_t> words(count);
            for (std::size_t k = 0; k < count; ++k) {
                words[k] = static_cast<std::uint16_t>(data[k] * 256);
            }
            const std::vector<RecordingWindow> all = RecordingWindows(words, step);
            const auto begin =
                std::min(static_cast<std::size_t>(std::max<std::int64_t>(from, 0)), all.size());
            const std::size_t end =
                take < 0 ? all.size()
                         : std::min(all.size(), begin + static_cast<std::size_t>(take));
            const std::span windows = std::span(all).subspan(begin, end - begin);
            results.reserve(windows.size());
            const ResultOptions options{.spectrum = spectrum, .nonlinear = nonlinear};
            using Clock = std::chrono::steady_clock;
            auto nextCheck = Clock::now() + kSignalCheck;
            AnalyseWindows<Window>(
                words, windows, Mode(correct), ExecutorFor(threads),
                [&](const RecordingWindow& w, const FragmentData& f, bool analysed) {
                    Window r{w, analysed, {}, {}};
                    if (analysed) {
                        VisitWindowFields(f, options, r.fields);
                    }
                    if (standardSettings) {
                        try {
                            r.standard.first = standard::ToJson(
                                AnalyseStandardWindow(intervals, w, *standardSettings,
                                                      Mode(correct)),
                                spectrum);
                        } catch (const std::exception& e) {
                            r.standard.second = e.what();
                        }
                    }
                    return r;
                },
                [&](const RecordingWindow&, Window&& r) {
                    results.push_back(std::move(r));
                    // Ctrl+C ends a long call within a fraction of a second.
                    if (const auto now = Clock::now(); now >= nextCheck) {
                        nextCheck = now + kSignalCheck;
                        ThrowOnSignal();
                    }
                });
        });
    }
    if (results.empty() && from == 0) {
        throw py::value_error(std::string(msg::kTooLittleData));
    }
    py::list list(results.size());
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Window& r = results[i];
        py::dict d;
        d["ok"] = r.analysed;
        d["window"] = r.window.window;
        d["first"] = r.window.first;
        d["start_s"] = TicksToSeconds(static_cast<double>(r.window.startTicks));
        if (r.analysed) {
            r.fields.Into(d);
        } else {
            d["error"] = std::string(msg::kTooLittleData);
        }
        if (standardSettings) {
            d["standard"] = py::make_tuple(r.standard.first, r.standard.second);
        }
        list[i] = std::move(d);
    }
    return list;
}

// A path argument as the file layer takes it, from a str, bytes or os.PathLike as open() takes
// them: a str encoded as os.fsencode does (a name that is not UTF-8 comes back as it was on
// disk). An embedded NUL raises ValueError, as open() does, instead of cutting the name short.
std::string PathArgument(const py::object& path) {
    const std::string bytes = py::bytes(py::module_::import("os").attr("fsencode")(path));
    if (bytes.find('\0') != std::string::npos) {
        throw py::value_error("embedded null byte");
    }
    return bytes;
}

// A message that may hold such a name, as text: bytes that are not UTF-8 as \xNN.
py::str MessageText(const std::string& text) {
    return py::reinterpret_steal<py::str>(PyUnicode_DecodeUTF8(
        text.data(), static_cast<Py_ssize_t>(text.size()), "backslashreplace"));
}

// A file as rvx-cli analyze gives it: "file", "type", "ok", then the indices or "error".
// `kind` 0 takes the kind from the extension.
// An ECG record's beats and channel as `beats` (0 detect, 1 annotations) and `channel` ask.
py::dict AnalyseFileOf(const py::object& pathArgument, int kind, int correct, bool spectrum,
                       bool nonlinear, int threads, int beats, const std::string& channel) {
    const std::string path = PathArgument(pathArgument);
    const FileKind k = kind == 0 ? KindFromExtension(path) : static_cast<FileKind>(kind);
    FileWorker& w = ThisThreadsWorker();
    std::string error;
    {
        Unlocked([&] {
            w.fragment.Correct = Mode(correct);
            w.workspace.Record = RecordChoice();
            w.workspace.Record.beats = static_cast<BeatChoice>(beats);
            w.workspace.Record.channel = channel;
            error = AnalyseFile(path, k, w.fragment, w.workspace, ExecutorFor(threads));
        });
    }
    py::dict result;
    result["file"] = py::module_::import("os").attr("fsdecode")(pathArgument);
    result["type"] = std::string(TypeName(k));
    result["ok"] = error.empty();
    if (!error.empty()) {
        result["error"] = MessageText(error);
        return result;
    }
    if (k == FileKind::Wfdb || k == FileKind::Edf) {
        result["beats"] = w.workspace.Record.annotationsTaken ? "annotations" : "detected";
        result["channel"] = MessageText(w.workspace.Record.channelTaken);
    }
    VisitResultFields(w.fragment, ResultOptions{.spectrum = spectrum, .nonlinear = nonlinear},
                      DictFields{result});
    return result;
}

// The intervals of a file in milliseconds, as the program loads them (at most 40,000).
py::array_t<double> Read(const py::object& pathArgument, int kind) {
    const std::string path = PathArgument(pathArgument);
    const FileKind k = kind == 0 ? KindFromExtension(path) : static_cast<FileKind>(kind);
    FileWorker& w = ThisThreadsWorker();
    FragmentData& f = w.fragment;
    std::string error;
    {
        Unlocked([&] {
            try {
                if (!FileExists(path)) {
                    error = msg::FileNotFound(path);
                } else if (LoadFragmentFile(path, k, f, w.workspace) == LoadResult::ImportError) {
                    error = msg::kImportError;
                }
            } catch (const FileIoError& e) {
                error = e.what();
            }
        });
    }
    if (!error.empty()) {
        PyErr_SetObject(PyExc_ValueError, MessageText(error).ptr());
        throw py::error_already_set();
    }
    const int count = std::clamp(f.RrCount, 0, kWordCapacity);
    py::array_t<double> ms(count);
    double* out = ms.mutable_data();
    for (int i = 0; i < count; ++i) {
        out[i] = TicksToMs(f.RrWords[static_cast<std::size_t>(i + 1)] >> 8);
    }
    return ms;
}

// Any file read whole as a recording (ReadBeatsOfFile): a WFDB record's or EDF/BDF file's channels
// in physical units and its beats as `beats` asks (0 detect, 1 annotations, 2 the annotations
// where it has them), in `channel`'s samples; a PPG file's wave and pulses; an RR file's or list's
// beats. A file that cannot be read raises ValueError with the program's message.
py::dict ReadRecordOf(const py::object& pathArgument, int kind, int beats,
                      const std::string& channel) {
    const std::string path = PathArgument(pathArgument);
    const FileKind k = kind == 0 ? KindFromExtension(path) : static_cast<FileKind>(kind);
    RecordChoice choice;
    choice.beats = static_cast<BeatChoice>(beats);
    choice.channel = channel;
    SignalRecording r;
    std::string error;
    Unlocked([&] {
        try {
            r = ReadBeatsOfFile(path, k, choice, Executor::CallingThreadOnly());
        } catch (const FileIoError& e) {
            error = e.what();
        }
    });
    if (!error.empty()) {
        PyErr_SetObject(PyExc_ValueError, MessageText(error).ptr());
        throw py::error_already_set();
    }
    py::list channels;
    for (const SignalChannel& c : r.channels) {
        py::array_t<double> samples(static_cast<py::ssize_t>(c.Size()));
        double* out = samples.mutable_data();
        for (std::size_t i = 0; i < c.Size(); ++i) {
            out[i] = c.Physical(i);
        }
        py::dict d;
        d["name"] = MessageText(c.name);
        d["unit"] = MessageText(c.unit);
        d["rate"] = c.rate;
        d["samples"] = std::move(samples);
        channels.append(std::move(d));
    }
    const auto n = static_cast<py::ssize_t>(r.beats.size());
    py::array_t<std::int64_t> sample(n);
    py::array_t<double> time(n);
    py::list kinds;
    py::list sources;
    for (py::ssize_t i = 0; i < n; ++i) {
        const Beat& b = r.beats[static_cast<std::size_t>(i)];
        sample.mutable_data()[i] = b.sample;
        time.mutable_data()[i] = r.BeatSeconds(b);
        kinds.append(BeatKindName(b.kind));
        sources.append(BeatSourceName(b.source));
    }
    py::dict beatsOut;
    beatsOut["sample"] = std::move(sample);
    beatsOut["time_s"] = std::move(time);
    beatsOut["kind"] = std::move(kinds);
    beatsOut["source"] = std::move(sources);
    py::dict result;
    result["name"] = MessageText(r.name);
    result["channels"] = std::move(channels);
    result["channel"] = MessageText(choice.channelTaken);
    result["beat_rate"] = r.beatRate;
    result["beats"] = std::move(beatsOut);
    return result;
}

// The R-peaks of one lead (physical units at `rate`) as 0-based sample positions.
py::array_t<std::int64_t> DetectBeatsOf(py::array_t<float, py::array::c_style> signal,
                                        double rate) {
    std::vector<std::int64_t> peaks;
    std::string error;
    const std::span<const float> samples(signal.data(), static_cast<std::size_t>(signal.size()));
    Unlocked([&] {
        try {
            peaks = DetectRPeaks(samples, rate);
        } catch (const std::invalid_argument& e) {
            error = e.what();
        }
    });
    if (!error.empty()) {
        throw py::value_error(error);
    }
    return py::array_t<std::int64_t>(static_cast<py::ssize_t>(peaks.size()), peaks.data());
}

template <class F> StandardOutcome StandardOutcomeOf(F&& analyse, bool spectrum) {
    StandardOutcome out;
    Unlocked([&] {
        try {
            out.first = standard::ToJson(analyse(), spectrum);
        } catch (const std::exception& e) {
            out.second = e.what();
        }
    });
    return out;
}

// The standard analysis of intervals in ms as given (`ticks` the same in 10 ms ticks, for the
// correction).
StandardOutcome StandardOf(py::array_t<double, py::array::c_style> ms,
                           py::array_t<std::uint8_t, py::array::c_style> ticks, int correct,
                           bool spectrum, double interp, int detrend, double lambda,
                           double welchWindow, double welchOverlap, int arOrder, int arMethod,
                           int pointsPerHz, double nnThreshold) {
    const standard::Settings s =
        StandardSettings(interp, detrend, lambda, welchWindow, welchOverlap, arOrder, arMethod,
                         pointsPerHz, nnThreshold);
    const std::span<const double> intervals(ms.data(), static_cast<std::size_t>(ms.size()));
    const std::span<const std::uint8_t> t(ticks.data(), static_cast<std::size_t>(ticks.size()));
    return StandardOutcomeOf([&] { return AnalyseStandard(intervals, t, s, Mode(correct)); },
                             spectrum);
}

// The standard analysis of every interval of a file, as rvx-cli analyze --method standard makes
// it.
StandardOutcome StandardFileOf(const py::object& pathArgument, int kind, int correct, bool spectrum,
                               int beats, const std::string& channel, double interp, int detrend,
                               double lambda, double welchWindow, double welchOverlap, int arOrder,
                               int arMethod, int pointsPerHz, double nnThreshold) {
    const standard::Settings s =
        StandardSettings(interp, detrend, lambda, welchWindow, welchOverlap, arOrder, arMethod,
                         pointsPerHz, nnThreshold);
    const std::string path = PathArgument(pathArgument);
    const FileKind k = kind == 0 ? KindFromExtension(path) : static_cast<FileKind>(kind);
    FileWorker& w = ThisThreadsWorker();
    StandardOutcome out = StandardOutcomeOf(
        [&] {
            w.workspace.Record = RecordChoice();
            w.workspace.Record.beats = static_cast<BeatChoice>(beats);
            w.workspace.Record.channel = channel;
            const FileIntervals file = ReadFileIntervals(path, k, w.workspace);
            return AnalyseStandard(file.ms, file.ticks, s, Mode(correct));
        },
        spectrum);
    return out;
}

} // namespace
} // namespace hrv

PYBIND11_MODULE(_rvx, m) {
    m.doc() = "The RVX analysis core (use the rvx package, which checks the arguments)";
    m.attr("__version__") = RVX_VERSION;
    // `threads` 0 is the program's default (None in the rvx package).
    m.def("analyse", &hrv::Analyse, py::arg("ticks"), py::arg("correct"), py::arg("spectrum"),
          py::arg("nonlinear"), py::arg("threads"));
    m.def("analyse_file", &hrv::AnalyseFileOf, py::arg("path"), py::arg("kind"), py::arg("correct"),
          py::arg("spectrum"), py::arg("nonlinear"), py::arg("threads"), py::arg("beats"),
          py::arg("channel"));
    m.def("read_record", &hrv::ReadRecordOf, py::arg("path"), py::arg("kind"), py::arg("beats"),
          py::arg("channel"));
    m.def("detect_beats", &hrv::DetectBeatsOf, py::arg("signal"), py::arg("rate"));
    m.def("analyse_windows", &hrv::AnalyseWindowsOf, py::arg("ticks"), py::arg("step"),
          py::arg("correct"), py::arg("spectrum"), py::arg("nonlinear"), py::arg("threads"),
          py::arg("first") = 0, py::arg("count") = -1, py::arg("ms") = py::none(),
          py::arg("settings") = py::tuple());
    m.def("read", &hrv::Read, py::arg("path"), py::arg("kind"));
    m.def("standard", &hrv::StandardOf, py::arg("ms"), py::arg("ticks"), py::arg("correct"),
          py::arg("spectrum"), py::arg("interp"), py::arg("detrend"), py::arg("lambda_"),
          py::arg("welch_window"), py::arg("welch_overlap"), py::arg("ar_order"),
          py::arg("ar_method"), py::arg("points_per_hz"), py::arg("nn_threshold"));
    m.def("standard_file", &hrv::StandardFileOf, py::arg("path"), py::arg("kind"),
          py::arg("correct"), py::arg("spectrum"), py::arg("beats"), py::arg("channel"),
          py::arg("interp"), py::arg("detrend"), py::arg("lambda_"), py::arg("welch_window"),
          py::arg("welch_overlap"), py::arg("ar_order"), py::arg("ar_method"),
          py::arg("points_per_hz"), py::arg("nn_threshold"));
}
