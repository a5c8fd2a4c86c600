// rvx-devsim: the pulse sensor device played on a pseudo-terminal. It prints the terminal's path
// as its first line, waits for a program to open it, then sends the device's byte stream at the
// pace of the beats (or faster).
#include "cli/options.h"
#include "files/file_io.h"
#include "tools/devsim/device_stream.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <iostream>
#include <optional>
#include <poll.h>
#include <sstream>
#include <string>
#include <termios.h>
#include <thread>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using hrv::devsim::Chunk;

volatile std::sig_atomic_t gQuit = 0;
void OnSignal(int) {
    gQuit = 1;
}

constexpr int kPollMs = 20;   // how often the terminal's state is looked at
constexpr int kSettleMs = 50; // after a reader opened the terminal, before the first byte

void Usage(std::ostream& os) {
    os << "Usage: rvx-devsim [options] FILE.rr\n"
          "       rvx-devsim [options] --generate N\n"
          "Plays a fragment as the pulse sensor device's byte stream on a pseudo-terminal.\n"
          "The first line on stdout is the terminal's path: give it to the program as\n"
          "RVX_COM1, RVX_COM2 or RVX_COM3 (e.g. RVX_COM2=/dev/pts/5 for the port COM2).\n"
          "Playing starts when a program opens the terminal and starts again from the\n"
          "beginning for each new opening. Each beat is one group: status 0, the interval\n"
          "byte, 100 + the aux byte, sent when the beat has passed.\n"
          "Options:\n"
          "  --speed N       N times faster than the beats (default 1; 0: no waiting at all)\n"
          "  --device 0|1    interval bytes for the first (default) or the second device\n"
          "                  model, which the program reads as byte * 8 div 10\n"
          "  --generate N    N beats of a generated rhythm (about 75 per minute) instead of\n"
          "                  a file\n"
          "  --junk B,B,...  bytes sent before the first group\n"
          "  --status K:C    a status group with code C (1 no sensor, 2 no patient, 3 no\n"
          "                  pulse, 4 limit, 5 sensor failure) before beat K; repeatable\n"
          "  --break K       beat K gets the third byte 99: a broken stream\n"
          "  --loop          start the fragment again at its end (default: fall silent)\n"
          "  --once          exit when the first program closes the terminal\n";
}

struct Options {
    double speed = 1;
    bool loop = false;
    bool once = false;
    int generate = 0;
    std::string file;
    hrv::devsim::StreamOptions stream;
};

std::optional<int> ParseInt(const std::string& s, int low, int high) {
    try {
        std::size_t used = 0;
        const int v = std::stoi(s, &used);
        if (used == s.size() && v >= low && v <= high) {
            return v;
        }
    } catch (const std::exception&) {
    }
    return std::nullopt;
}

std::optional<Options> Parse(int argc, char** argv) {
    Options o;
    bool help = false;
    const auto integer = [](int low, int high, auto store) {
        return [=](const std::string& v) {
            const auto n = ParseInt(v, low, high);
            if (n) {
                store(*n);
            }
            return n.has_value();
        };
    };
    hrv::cli::OptionParser parser("rvx-devsim", std::cerr);
    parser.Flag("--help", help)
        .Flag("-h", help)
        .Flag("--loop", o.loop)
        .Flag("--once", o.once)
        .Value("--speed", "a number of times, 0 or more",
               [&o](const std::string& v) {
                   try {
                       std::size_t used = 0;
                       o.speed = std::stod(v, &used);
                       return used == v.size() && o.speed >= 0;
                   } catch (const std::exception&) {
                       return false;
                   }
               })
        .Value("--device", "0 or 1", integer(0, 1, [&o](int n) { o.stream.deviceIndex = n; }))
        .Value("--generate", "a number of beats from 1 to 100000",
               integer(1, 100000, [&o](int n) { o.generate = n; }))
        .Value("--junk", "bytes 0..255 separated by commas",
               [&o](const std::string& v) {
                   std::stringstream ss(v);
                   std::string item;
                   while (std::getline(ss, item, ',')) {
                       const auto b = ParseInt(item, 0, 255);
                       if (!b) {
                           return false;
                       }
                       o.stream.junk.push_back(static_cast<std::uint8_t>(*b));
                   }
                   return true;
               })
        .Value("--status", "K:C, a beat number and a status code 0..255",
               [&o](const std::string& v) {
                   const auto colon = v.find(':');
                   const auto k = ParseInt(v.substr(0, colon), 1, 1000000);
                   const auto c = colon == std::string::npos
                                      ? std::nullopt
                                      : ParseInt(v.substr(colon + 1), 0, 255);
                   if (k && c) {
                       o.stream.statusBefore[*k].push_back(static_cast<std::uint8_t>(*c));
                   }
                   return k && c;
               })
        .Value("--break", "a beat number",
               integer(1, 1000000, [&o](int n) { o.stream.breakAt = n; }));
    std::vector<std::string> files;
    if (!parser.Parse(std::vector<std::string>(argv + 1, argv + argc), files)) {
        return std::nullopt;
    }
    if (help) {
        Usage(std::cout);
        std::exit(0);
    }
    if (files.size() > 1 || files.empty() == (o.generate == 0)) {
        return std::nullopt; // a file or --generate, not both
    }
    if (!files.empty()) {
        o.file = files.front();
    }
    return o;
}

// The terminal's reader side is closed (never opened, or closed again).
bool ReaderAbsent(int master) {
    pollfd p{master, 0, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
}

// Waits `ms` milliseconds, or less when the reader goes or a signal comes. False then.
bool WaitWhileReading(int master, std::int64_t ms) {
    const auto until = Clock::now() + std::chrono::milliseconds(ms);
    while (true) {
        if (gQuit != 0 || ReaderAbsent(master)) {
            return false;
        }
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            return true;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::milliseconds>(left, std::chrono::milliseconds(kPollMs)));
    }
}

// Sends the bytes, waiting while the terminal's buffer is full. False when the reader goes.
bool Send(int master, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (gQuit != 0 || ReaderAbsent(master)) {
            return false;
        }
        const ssize_t n = ::write(master, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{master, POLLOUT, 0};
            ::poll(&p, 1, kPollMs);
        }
    }
    return true;
}

// Plays the stream to one reader until it closes the terminal.
void Serve(int master, const std::vector<Chunk>& chunks, const Options& o) {
    if (!WaitWhileReading(master, kSettleMs)) {
        return;
    }
    do {
        for (const Chunk& c : chunks) {
            const auto wait =
                o.speed > 0 ? static_cast<std::int64_t>(static_cast<double>(c.waitMs) / o.speed)
                            : 0;
            if ((wait > 0 && !WaitWhileReading(master, wait)) || !Send(master, c.bytes)) {
                return;
            }
        }
    } while (o.loop && !chunks.empty());
    // The fragment is over: the device falls silent until the reader closes the terminal.
    while (WaitWhileReading(master, 1000)) {
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "rvx-devsim " << RVX_VERSION << "\n";
        return 0;
    }
    const auto options = Parse(argc, argv);
    if (!options) {
        Usage(std::cerr);
        return 2;
    }
    std::vector<hrv::devsim::Beat> beats;
    try {
        beats = options->generate > 0 ? hrv::devsim::GeneratedBeats(options->generate)
                                      : hrv::devsim::BeatsOfRrFile(options->file);
    } catch (const hrv::FileIoError& e) {
        std::cerr << "rvx-devsim: " << e.what() << "\n";
        return 1;
    }
    const auto chunks = hrv::devsim::DeviceStream(beats, options->stream);

    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    ::signal(SIGPIPE, SIG_IGN);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        std::perror("rvx-devsim: pseudo-terminal");
        return 1;
    }
    const char* slave = ::ptsname(master);
    if (slave == nullptr) {
        std::perror("rvx-devsim: pseudo-terminal");
        return 1;
    }
    const std::string slavePath = slave;
    // Raw from the start, so no byte is ever taken as a control character or echoed.
    termios t{};
    ::tcgetattr(master, &t);
    ::cfmakeraw(&t);
    ::tcsetattr(master, TCSANOW, &t);
    // Opened and closed once, the terminal reports a hang-up until a reader opens it.
    const int probe = ::open(slavePath.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (probe >= 0) {
        ::close(probe);
    }

    std::cout << slavePath << std::endl;
    std::cerr << "rvx-devsim: " << beats.size() << " beats; waiting for a program to open "
              << slavePath << "\n";
    while (gQuit == 0) {
        if (ReaderAbsent(master)) {
            std::this_thread::sleep_for(std::chrono::milliseconds(kPollMs));
            continue;
        }
        std::cerr << "rvx-devsim: playing\n";
        Serve(master, chunks, *options);
        if (gQuit != 0) {
            break;
        }
        std::cerr << "rvx-devsim: the program closed the port\n";
        if (options->once) {
            break;
        }
    }
    ::close(master);
    return 0;
}
