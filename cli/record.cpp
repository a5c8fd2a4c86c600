// rvx-cli record: a recording from the pulse sensor device without the window. The same decoder
// and stop rules as the window, but the bytes are taken as they arrive, not one per 100 ms.
#include "acquisition/platform_serial_link.h"
#include "acquisition/recording.h"
#include "analysis/pipeline.h"
#include "cli/commands.h"
#include "cli/options.h"
#include "files/file_io.h"
#include "files/fragment_load.h"
#include "files/rr_file.h"
#include "presentation/messages.h"

#include <charconv>
#include <chrono>
#include <csignal>
#include <memory>
#include <optional>
#include <ostream>
#include <thread>

namespace hrv::cli {

namespace {

constexpr std::int32_t kScaleFirstModel = 10;
constexpr auto kIdleStep = std::chrono::milliseconds(100); // least time between empty reads

struct RecordOptions {
    std::uint8_t portIndex = 1; // COM2, as the first run sets it
    std::int32_t baudIndex = 1; // 2400 baud
    int deviceIndex = 0;        // the first device model
    std::string out;
    bool spectrum = false;
    int silenceSeconds = 10; // the recording ends when nothing comes for this long (0: never)
    CorrectionMode correct = CorrectionMode::None;
};

constexpr int kMaxSilenceSeconds = 3600;

std::optional<RecordOptions> ParseRecord(const Args& args, std::ostream& err) {
    RecordOptions o;
    std::vector<std::string> operands;
    OptionParser parser("rvx-cli record", err);
    parser.Flag("--spectrum", o.spectrum)
        .Text("--out", "the path of the RR file", o.out)
        .Value("--correct", "none or auto", CorrectOption(o.correct))
        .Value("--port", "COM1, COM2 or COM3",
               [&o](const std::string& v) {
                   for (std::uint8_t p = 0; p < kUsbPortIndex; ++p) {
                       if (v == kComPortNames[p]) {
                           o.portIndex = p;
                           return true;
                       }
                   }
                   return false;
               })
        .Value("--baud", "600, 2400, 19200 or 38400",
               [&o](const std::string& v) {
                   for (std::int32_t b = 0; b < kBaudCount; ++b) {
                       if (v == std::to_string(kComBaudRates[static_cast<std::size_t>(b)])) {
                           o.baudIndex = b;
                           return true;
                       }
                   }
                   return false;
               })
        .Value("--device", "0 or 1",
               [&o](const std::string& v) {
                   o.deviceIndex = v == "1" ? 1 : 0;
                   return v == "0" || v == "1";
               })
        .Value("--silence", "a number of seconds from 0 to 3600", [&o](const std::string& v) {
            int seconds = -1;
            const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
            o.silenceSeconds = seconds;
            return ec == std::errc() && end == v.data() + v.size() && seconds >= 0 &&
                   seconds <= kMaxSilenceSeconds;
        });
    if (!parser.Parse(args, operands)) {
        return std::nullopt;
    }
    if (!operands.empty()) {
        err << "rvx-cli record: unexpected " << operands.front() << "\n";
        return std::nullopt;
    }
    return o;
}

volatile std::sig_atomic_t gInterrupted = 0;
void OnInterrupt(int) {
    gInterrupted = 1;
}

// Ctrl+C aborts the recording instead of ending the program, while this object lives.
class InterruptGuard {
public:
#ifdef _WIN32
    // The console runs the handler on a thread of its own; the reads wait at most their timeout.
    InterruptGuard() {
        gInterrupted = 0;
        old_ = std::signal(SIGINT, OnInterrupt);
    }
    ~InterruptGuard() {
        std::signal(SIGINT, old_);
    }
#else
    InterruptGuard() {
        gInterrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt; // no SA_RESTART: the waiting read returns at once
        ::sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &old_);
    }
    ~InterruptGuard() {
        ::sigaction(SIGINT, &old_, nullptr);
    }
#endif
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;

private:
#ifdef _WIN32
    void (*old_)(int) = SIG_DFL;
#else
    struct sigaction old_ {};
#endif
};

} // namespace

int Record(const Args& args, Executor& executor, std::ostream& out, std::ostream& err) {
    const auto options = ParseRecord(args, err);
    if (!options) {
        Usage(err);
        return kExitUsage;
    }
    // A target that cannot be written is refused now, not after minutes of recording.
    if (!options->out.empty()) {
        try {
            CheckWriteTarget(options->out);
        } catch (const FileIoError& e) {
            err << "rvx-cli record: " << e.what() << "\n";
            return kExitFailed;
        }
    }
    auto f = std::make_unique<FragmentData>();
    f->Settings.PortIndex = options->portIndex;
    f->Settings.BaudIndex = options->baudIndex;
    f->Settings.DeviceIndex = options->deviceIndex;
    const std::int32_t scale = options->deviceIndex == 1 ? kScaleSecondModel : kScaleFirstModel;

    const auto link = MakePlatformSerialLink();
    RecordingSession session(*f, *link);
    const InterruptGuard interruptGuard;
    try {
        if (!session.Start(f->Settings, scale)) {
            return kExitFailed; // nothing was opened
        }
    } catch (const ComError& e) {
        err << "rvx-cli record: " << e.FullText() << "\n";
        return kExitFailed;
    }
    const std::string port = kComPortNames[options->portIndex];
    err << "rvx-cli record: recording from " << port << " (" << PortDevicePath(options->portIndex)
        << ") at " << kComBaudRates[static_cast<std::size_t>(options->baudIndex)]
        << " baud; Ctrl+C aborts\n";

    std::string lastStatus;
    RecordingEnd end = RecordingEnd::None;
    const auto silenceLimit = std::chrono::seconds(options->silenceSeconds);
    auto lastByte = std::chrono::steady_clock::now();
    while (end == RecordingEnd::None) {
        if (gInterrupted != 0) {
            session.Abort();
            err << "rvx-cli record: aborted\n";
            return kExitFailed;
        }
        const auto started = std::chrono::steady_clock::now();
        const RecordingTick tick = session.Tick();
        if (tick.step.statusReceived) {
            const std::string text = DeviceStatusText(tick.step.status);
            if (text != lastStatus && !text.empty()) {
                err << "rvx-cli record: " << text << "\n";
            }
            lastStatus = text;
        }
        end = tick.step.end;
        if (tick.byteRead) {
            lastByte = std::chrono::steady_clock::now();
        } else if (end == RecordingEnd::None) {
            if (options->silenceSeconds > 0 &&
                std::chrono::steady_clock::now() - lastByte >= silenceLimit) {
                session.Abort();
                err << "rvx-cli record: " << msg::NothingReceived(port, options->silenceSeconds)
                    << "\n";
                return kExitFailed;
            }
            // A read that returned at once must not spin.
            std::this_thread::sleep_until(started + kIdleStep);
        }
    }
    if (end == RecordingEnd::Broken) {
        // A broken stream, or the device hung up, went away or failed to read.
        err << "rvx-cli record: " << msg::kComReadError << "\n";
        return kExitFailed;
    }
    if (end == RecordingEnd::SlotLimit) {
        err << "rvx-cli record: " << msg::SlotLimitWarning(kRecordSlotLimit) << "\n";
    }
    const bool analyse = session.Stop();
    bool saved = false;
    if (!options->out.empty()) {
        try {
            WriteRrFile(options->out, *f);
            saved = true;
        } catch (const FileIoError& e) {
            // The analysis is still printed: its "intervals" keep the recording.
            err << "rvx-cli record: " << e.what() << "\n";
        }
    }
    // The file holds the intervals as recorded; the correction, when asked for, is the analysis's.
    f->Correct = options->correct;
    if (!analyse || !AnalyseFragment(*f, executor)) {
        err << "rvx-cli record: " << msg::kTooLittleData << "\n";
        return kExitFailed;
    }
    out << ResultLine(saved ? options->out : port, FileKind::Rr, *f, options->spectrum) << '\n';
    if (!OutputWritten(out, err)) {
        if (!saved) {
            err << "rvx-cli record: the recording is lost (it was not saved to a file)\n";
        }
        return kExitFailed;
    }
    return saved || options->out.empty() ? kExitOk : kExitFailed;
}

} // namespace hrv::cli
