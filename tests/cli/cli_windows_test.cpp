// rvx-cli analyze --windows on long recordings, and plain analyze of them.
#include "cli/commands.h"
#include "files/cp1251.h"
#include "files/fragment_load.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <memory>
#include <sstream>
#include <utility>

namespace hrv {
namespace {

struct CliRun {
    int status;
    std::string out;
    std::string err;
    std::vector<std::string> lines;
};

CliRun RunCli(const cli::Args& args) {
    std::ostringstream out;
    std::ostringstream err;
    CliRun r{cli::Run(args, out, err), out.str(), err.str(), {}};
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        r.lines.push_back(line);
    }
    return r;
}

// The top-level fields of a JSON line as written: each key with its value's text.
using Fields = std::vector<std::pair<std::string, std::string>>;

Fields Parse(const std::string& line) {
    Fields fields;
    std::size_t at = 1; // after '{'
    while (at < line.size() && line[at] == '"') {
        const std::size_t keyEnd = line.find('"', at + 1);
        std::string key = line.substr(at + 1, keyEnd - at - 1);
        std::size_t end = keyEnd + 3; // past '": '
        int depth = 0;
        bool inString = false;
        for (; end < line.size(); ++end) {
            const char c = line[end];
            if (inString) {
                inString = c != '"' || line[end - 1] == '\\';
            } else if (c == '"') {
                inString = true;
            } else if (c == '[' || c == '{') {
                ++depth;
            } else if ((c == ']' || c == '}') && depth > 0) {
                --depth;
            } else if ((c == ',' || c == '}') && depth == 0) {
                break;
            }
        }
        fields.emplace_back(std::move(key), line.substr(keyEnd + 3, end - keyEnd - 3));
        at = end + 2; // past ", "
    }
    return fields;
}

Fields Without(Fields fields, std::initializer_list<std::string_view> keys) {
    std::erase_if(fields, [&](const auto& f) {
        return std::find(keys.begin(), keys.end(), f.first) != keys.end();
    });
    return fields;
}

std::string Value(const Fields& fields, std::string_view key) {
    for (const auto& [k, v] : fields) {
        if (k == key) {
            return v;
        }
    }
    return "<missing>";
}

// h:mm:ss of whole seconds, hours padded to `hourDigits`.
std::string Clock(std::int64_t ticks, int hourDigits) {
    const std::int64_t s = ticks / 100;
    std::string hours = std::to_string(s / 3600);
    while (static_cast<int>(hours.size()) < hourDigits) {
        hours = "0" + hours;
    }
    const auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return hours + ":" + two(s / 60 % 60) + ":" + two(s % 60);
}

// The real RR recordings one after another: a recording of about 70 minutes.
std::vector<int> RealRecordings() {
    std::vector<int> ticks;
    for (const auto& entry : std::filesystem::directory_iterator(test::SharedData())) {
        if (entry.path().extension() == ".rr") {
            const auto bytes = test::ReadBytes(entry.path().string());
            for (std::size_t at = 3; at < bytes.size(); at += 2) {
                ticks.push_back(bytes[at]);
            }
        }
    }
    return ticks;
}

TEST(CliWindows, EachWindowIsTheAnalysisOfAFileStartingAtItsFirstInterval) {
    if (test::SharedData().empty()) {
        GTEST_SKIP() << "the real recordings are not beside the project";
    }
    const test::ScratchDir dir;
    const std::vector<int> ticks = RealRecordings();
    const std::string path = dir / "long.rr";
    test::WriteBytes(path, test::RrImage(ticks));
    const cli::Args flags{"--correct", "auto", "--nonlinear"};
    cli::Args args{"analyze", "--windows", "300"};
    args.insert(args.end(), flags.begin(), flags.end());
    args.push_back(path);
    const CliRun windows = RunCli(args);
    ASSERT_EQ(windows.status, cli::kExitOk) << windows.err;
    ASSERT_GE(windows.lines.size(), 10u);
    std::vector<std::int64_t> starts{0};
    for (const int t : ticks) {
        starts.push_back(starts.back() + t);
    }
    for (std::size_t w = 0; w < windows.lines.size(); ++w) {
        const Fields line = Parse(windows.lines[w]);
        ASSERT_EQ(Value(line, "window"), std::to_string(w));
        const auto first = static_cast<std::size_t>(std::stoll(Value(line, "first")));
        // The first interval that starts at or after w * 300 s.
        EXPECT_GE(starts[first], static_cast<std::int64_t>(w) * 30000);
        if (first > 0) {
            EXPECT_LT(starts[first - 1], static_cast<std::int64_t>(w) * 30000);
        }
        EXPECT_DOUBLE_EQ(std::stod(Value(line, "start_s")),
                         static_cast<double>(starts[first]) / 100);

        const std::string part = dir / ("from" + std::to_string(first) + ".rr");
        test::WriteBytes(
            part, test::RrImage(std::vector<int>(ticks.begin() + static_cast<std::ptrdiff_t>(first),
                                                 ticks.end())));
        cli::Args plainArgs{"analyze"};
        plainArgs.insert(plainArgs.end(), flags.begin(), flags.end());
        plainArgs.push_back(part);
        const CliRun plain = RunCli(plainArgs);
        ASSERT_EQ(plain.lines.size(), 1u);
        EXPECT_EQ(Without(line, {"file", "window", "first", "start_s"}),
                  Without(Parse(plain.lines[0]), {"file", "intervals", "corrected_intervals"}))
            << "window " << w;
    }
    // Past the last window less than 300 s follow its first interval.
    const Fields last = Parse(windows.lines.back());
    const auto next = static_cast<std::int64_t>(windows.lines.size()) * 30000;
    std::size_t i = 0;
    while (i < ticks.size() && starts[i] < next) {
        ++i;
    }
    EXPECT_TRUE(i == ticks.size() || starts.back() - starts[i + 1] < 30000);
}

TEST(CliWindows, PlainAnalyzeOfALongRecordingKeepsItsLineAndNotesTheRestOnStderr) {
    const test::ScratchDir dir;
    // 45,000 intervals (past the 40,000 words a fragment holds) of about 10 hours.
    const std::vector<int> ticks = test::TwoBandRhythm(45000, 80);
    const std::string path = dir / "night.rr";
    test::WriteBytes(path, test::RrImage(ticks));
    const std::string shortPath = dir / "rest.rr";
    test::WriteBytes(shortPath, test::RrImage(test::TwoBandRhythm(700, 80))); // 9.3 minutes

    const CliRun r = RunCli({"analyze", "--nonlinear", path, shortPath});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    std::string expected;
    for (const std::string& p : std::vector<std::string>{path, shortPath}) {
        ASSERT_EQ(cli::AnalyseFile(p, FileKind::Rr, *f, *w), "");
        expected += cli::ResultLine(p, FileKind::Rr, *f, false, true) + "\n";
    }
    EXPECT_EQ(r.out, expected);
    std::int64_t total = 0;
    for (const int t : ticks) {
        total += t;
    }
    EXPECT_EQ(r.err, "rvx-cli analyze: " + path + ": проанализированы первые 300 с из " +
                         Clock(total, 1) + "; для всей записи: --windows 300\n");
}

TEST(CliWindows, TextAndTableGiveOneRowPerWindowNamedByItsStart) {
    const test::ScratchDir dir;
    const test::ScopedEnv locale("LC_ALL", "C");
    const std::vector<int> ticks = test::TwoBandRhythm(2000, 80); // about 27 minutes
    const std::string path = dir / "rest.rr";
    test::WriteBytes(path, test::RrImage(ticks));
    const CliRun json = RunCli({"analyze", "--windows", "300", path});
    ASSERT_EQ(json.status, cli::kExitOk) << json.err;
    std::vector<std::string> clocks;
    for (const std::string& line : json.lines) {
        const auto first = static_cast<std::size_t>(std::stoll(Value(Parse(line), "first")));
        std::int64_t start = 0;
        for (std::size_t k = 0; k < first; ++k) {
            start += ticks[k];
        }
        clocks.push_back(Clock(start, 2));
    }
    ASSERT_EQ(clocks.size(), 5u);

    const CliRun text = RunCli({"analyze", "--windows", "300", "--format", "text", path});
    ASSERT_EQ(text.status, cli::kExitOk) << text.err;
    ASSERT_EQ(text.lines.size(), 3 + clocks.size() + 1); // name, columns, units, rows, blank
    EXPECT_EQ(text.lines[0], path);
    for (std::size_t w = 0; w < clocks.size(); ++w) {
        EXPECT_TRUE(text.lines[3 + w].starts_with(clocks[w] + " ")) << text.lines[3 + w];
    }

    const std::string table = dir / "rvx.txt";
    const CliRun rows = RunCli({"analyze", "--windows", "300", "--table", table, path});
    ASSERT_EQ(rows.status, cli::kExitOk) << rows.err;
    std::istringstream lines(Cp1251ToUtf8(test::ReadBytes<std::string>(table)));
    std::vector<std::string> identities;
    for (std::string line; std::getline(lines, line);) {
        identities.push_back(line.substr(0, line.find('\t')));
    }
    ASSERT_EQ(identities.size(), 1 + clocks.size()); // the header, then the windows
    for (std::size_t w = 0; w < clocks.size(); ++w) {
        EXPECT_TRUE(identities[1 + w].starts_with("rest "));
        EXPECT_TRUE(identities[1 + w].ends_with(" [" + clocks[w] + "]")) << identities[1 + w];
    }
}

} // namespace
} // namespace hrv
