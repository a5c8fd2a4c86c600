// _rvx: the core's analysis for Python. The rvx package (python/rvx) checks the arguments and
// calls these functions; each returns the fields rvx-cli analyze prints, taken from the same
// VisitResultFields, as a dict.
#include "analysis/large_pages.h"
#include "analysis/pipeline.h"
#include "analysis/work_pool.h"
#include "cli/commands.h"
#include "cli/result_fields.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "presentation/messages.h"
#include "presentation/recording_windows.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <optional>
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <span>
#include <stdexcept>
#include <string>
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
struct Worker {
    FragmentData fragment;
    PpgWorkspace workspace;
};

Worker& ThisThreadsWorker() {
    thread_local LargePagePtr<Worker> worker;
    if (!worker) {
        worker = MakeOnLargePages<Worker>();
    }
    return *worker;
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
                 bool nonlinear) {
    const auto count = static_cast<int>(std::min<py::ssize_t>(ticks.size(), kWordCapacity));
    Worker& w = ThisThreadsWorker();
    FragmentData& f = w.fragment;
    bool analysed = false;
    {
        const std::uint8_t* data = ticks.data();
        const py::gil_scoped_release unlocked;
        f.RrCount = count;
        for (int k = 1; k <= count; ++k) {
            f.RrWords[static_cast<std::size_t>(k)] = static_cast<std::uint16_t>(data[k - 1] * 256);
        }
        TakeRrWords(f);
        f.Correct = Mode(correct);
        analysed = AnalyseFragment(f);
    }
    if (!analysed) {
        throw py::value_error(std::string(msg::kTooLittleData));
    }
    py::dict result;
    VisitResultFields(f, ResultOptions{.spectrum = spectrum, .nonlinear = nonlinear},
                      DictFields{result});
    return result;
}

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
py::list AnalyseWindowsOf(py::array_t<std::uint8_t, py::array::c_style> ticks, int step,
                          int correct, bool spectrum, bool nonlinear) {
    struct Window {
        RecordingWindow window;
        bool analysed = false;
        RecordedFields fields;
    };
    std::vector<Window> results;
    {
        const std::uint8_t* data = ticks.data();
        const auto count = static_cast<std::size_t>(ticks.size());
        const py::gil_scoped_release unlocked;
        std::vector<std::uint16_t> words(count);
        for (std::size_t k = 0; k < count; ++k) {
            words[k] = static_cast<std::uint16_t>(data[k] * 256);
        }
        const std::vector<RecordingWindow> windows = RecordingWindows(words, step);
        results.reserve(windows.size());
        const ResultOptions options{.spectrum = spectrum, .nonlinear = nonlinear};
        AnalyseWindows<Window>(
            words, windows, Mode(correct), 0,
            [&](const RecordingWindow& w, const FragmentData& f, bool analysed) {
                Window r{w, analysed, {}};
                if (analysed) {
                    VisitWindowFields(f, options, r.fields);
                }
                return r;
            },
            [&](const RecordingWindow&, Window&& r) { results.push_back(std::move(r)); });
    }
    if (results.empty()) {
        throw py::value_error(std::string(msg::kTooLittleData));
    }
    py::list list(results.size());
    for (std::size_t i = 0; i < results.size(); ++i) {
        const Window& r = results[i];
        py::dict d;
        d["ok"] = r.analysed;
        d["window"] = r.window.window;
        d["first"] = r.window.first;
        d["start_s"] = static_cast<double>(r.window.startTicks) / 100.0;
        if (r.analysed) {
            r.fields.Into(d);
        } else {
            d["error"] = std::string(msg::kTooLittleData);
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
py::dict AnalyseFile(const py::object& pathArgument, int kind, int correct, bool spectrum,
                     bool nonlinear) {
    const std::string path = PathArgument(pathArgument);
    const FileKind k = kind == 0 ? KindFromExtension(path) : static_cast<FileKind>(kind);
    Worker& w = ThisThreadsWorker();
    std::string error;
    {
        const py::gil_scoped_release unlocked;
        w.fragment.Correct = Mode(correct);
        error = cli::AnalyseFile(path, k, w.fragment, w.workspace);
    }
    py::dict result;
    result["file"] = py::module_::import("os").attr("fsdecode")(pathArgument);
    result["type"] = std::string(cli::TypeName(k));
    result["ok"] = error.empty();
    if (!error.empty()) {
        result["error"] = MessageText(error);
        return result;
    }
    VisitResultFields(w.fragment, ResultOptions{.spectrum = spectrum, .nonlinear = nonlinear},
                      DictFields{result});
    return result;
}

// The intervals of a file in milliseconds, as the program loads them (at most 40,000).
py::array_t<double> Read(const py::object& pathArgument, int kind) {
    const std::string path = PathArgument(pathArgument);
    const FileKind k = kind == 0 ? KindFromExtension(path) : static_cast<FileKind>(kind);
    Worker& w = ThisThreadsWorker();
    FragmentData& f = w.fragment;
    std::string error;
    {
        const py::gil_scoped_release unlocked;
        try {
            if (!FileExists(path)) {
                error = msg::FileNotFound(path);
            } else if (LoadFragmentFile(path, k, f, w.workspace) == LoadResult::ImportError) {
                error = msg::kImportError;
            }
        } catch (const FileIoError& e) {
            error = e.what();
        }
    }
    if (!error.empty()) {
        PyErr_SetObject(PyExc_ValueError, MessageText(error).ptr());
        throw py::error_already_set();
    }
    const int count = std::clamp(f.RrCount, 0, kWordCapacity);
    py::array_t<double> ms(count);
    double* out = ms.mutable_data();
    for (int i = 0; i < count; ++i) {
        out[i] = (f.RrWords[static_cast<std::size_t>(i + 1)] >> 8) * 10.0;
    }
    return ms;
}

} // namespace
} // namespace hrv

PYBIND11_MODULE(_rvx, m) {
    m.doc() = "The RVX analysis core (use the rvx package, which checks the arguments)";
    m.attr("__version__") = RVX_VERSION;
    m.def("analyse", &hrv::Analyse, py::arg("ticks"), py::arg("correct"), py::arg("spectrum"),
          py::arg("nonlinear"));
    m.def("analyse_file", &hrv::AnalyseFile, py::arg("path"), py::arg("kind"), py::arg("correct"),
          py::arg("spectrum"), py::arg("nonlinear"));
    m.def("analyse_windows", &hrv::AnalyseWindowsOf, py::arg("ticks"), py::arg("step"),
          py::arg("correct"), py::arg("spectrum"), py::arg("nonlinear"));
    m.def("read", &hrv::Read, py::arg("path"), py::arg("kind"));
    m.def("set_analysis_threads", &hrv::SetAnalysisThreads, py::arg("count"),
          "Threads one analysis spreads its bins over (1..64); 0: the default");
}
