// rvx-cli record: a recording from the pulse sensor device without the window. The same decoder
// and stop rules as the window, but the bytes are taken as they arrive, not one per 100 ms.
#include "acquisition/platform_serial_link.h"
#include "acquisition/recording.h"
#include "analysis/pipeline.h"
#include "cli/commands.h"
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
};

constexpr int kMaxSilenceSeconds = 3600;

std::optional<RecordOptions> ParseRecord(const Args& args, std::ostream& err) {
    RecordOptions o;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        const bool hasValue = i + 1 < args.size();
        const std::string value = hasValue ? args[i + 1] : std::string();
        if (a == "--spectrum") {
            o.spectrum = true;
            continue;
        }
        if (!hasValue || (a != "--port" && a != "--baud" && a != "--device" && a != "--out" &&
                          a != "--silence")) {
            err << "rvx-cli record: " << (hasValue ? "unknown option " : "missing value after ")
                << a << "\n";
            return std::nullopt;
        }
        ++i;
        if (a == "--out") {
            o.out = value;
            continue;
        }
        bool found = false;
        if (a == "--silence") {
            int seconds = -1;
            const auto [end, ec] =
                std::from_chars(value.data(), value.data() + value.size(), seconds);
            found = ec == std::errc() && end == value.data() + value.size() && seconds >= 0 &&
                    seconds <= kMaxSilenceSeconds;
            o.silenceSeconds = seconds;
        } else if (a == "--port") {
            for (std::uint8_t p = 0; p < kUsbPortIndex; ++p) {
                if (value == kComPortNames[p]) {
                    o.portIndex = p;
                    found = true;
                }
            }
        } else if (a == "--baud") {
            for (std::int32_t b = 0; b < kBaudCount; ++b) {
                if (value == std::to_string(kComBaudRates[static_cast<std::size_t>(b)])) {
                    o.baudIndex = b;
                    found = true;
                }
            }
        } else if (value == "0" || value == "1") {
            o.deviceIndex = value == "1" ? 1 : 0;
            found = true;
        }
        if (!found) {
            err << "rvx-cli record: " << a << " does not take " << value << "\n";
            return std::nullopt;
        }
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
    InterruptGuard() {
        gInterrupted = 0;
        struct sigaction sa {};
        sa.sa_handler = OnInterrupt; // no SA_RESTART: the waiting read returns at once
        ::sigemptyset(&sa.sa_mask);
        ::sigaction(SIGINT, &sa, &old_);
    }
    InterruptGuard(const InterruptGuard&) = delete;
    InterruptGuard& operator=(const InterruptGuard&) = delete;
    ~InterruptGuard() { ::sigaction(SIGINT, &old_, nullptr); }

private:
    struct sigaction old_ {};
};

} // namespace

int Record(const Args& args, std::ostream& out, std::ostream& err) {
    const auto options = ParseRecord(args, err);
    if (!options) {
        Usage(err);
        return kExitUsage;
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
        err << "rvx-cli record: " << e.what() << "\n";
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
                err << "rvx-cli record: " << msg::kComReadError << ": nothing received from "
                    << port << " for " << options->silenceSeconds << " s\n";
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
    if (!options->out.empty()) {
        try {
            WriteRrFile(options->out, *f);
        } catch (const FileIoError& e) {
            err << "rvx-cli record: " << e.what() << "\n";
            return kExitFailed;
        }
    }
    if (!analyse || !AnalyseFragment(*f)) {
        err << "rvx-cli record: " << msg::kTooLittleData << "\n";
        return kExitFailed;
    }
    out << ResultLine(options->out.empty() ? port : options->out, FileKind::Rr, *f,
                      options->spectrum)
        << '\n';
    out.flush();
    return kExitOk;
}

} // namespace hrv::cli
