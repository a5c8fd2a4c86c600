// rvx-cli analyze --windows on long recordings, and plain analyze of them.
#include "cli/commands.h"
#include "files/cp1251.h"
#include "files/fragment_load.h"
#include "presentation/format_fixed.h"
#include "service/file_analysis.h"
#include "tests/support/test_support.h"

#include <charconv>
#include <filesystem>
#include <numeric>
#include <sstream>

namespace hrv {
namespace {

// Runs rvx-cli; the lines of its output, its status and its error stream.
std::vector<std::string> Lines(const cli::Args& args, int* status = nullptr,
                               std::string* errors = nullptr) {
    std::ostringstream out;
    std::ostringstream err;
    const int s = cli::Run(args, out, err);
    EXPECT_TRUE(status != nullptr || s == cli::kExitOk) << err.str();
    if (status != nullptr) {
        *status = s;
    }
    if (errors != nullptr) {
        *errors = err.str();
    }
    std::vector<std::string> lines;
    std::istringstream in(out.str());
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// The value of the number field `name` in a JSON line ("" when absent). Plain string search:
// MinGW's std::regex over lines this long takes minutes under wine.
std::string Field(const std::string& line, const std::string& name) {
    const std::string key = "\"" + name + "\": ";
    const auto at = line.find(key);
    if (at == std::string::npos) {
        return {};
    }
    const auto from = at + key.size();
    return line.substr(from, line.find_first_of(",}", from) - from);
}

// A line without the fields that differ between a window and a file starting there: the file's
// name, the window's place and the interval lists.
std::string Indices(std::string line) {
    for (const char* name :
         {"file", "window", "first", "start_s", "intervals", "corrected_intervals"}) {
        const std::string key = std::string("\"") + name + "\": ";
        const auto at = line.find(key);
        if (at == std::string::npos) {
            continue;
        }
        auto end = at + key.size();
        const char open = line[end];
        end = open == '"'   ? line.find('"', end + 1) + 1
              : open == '[' ? line.find(']', end) + 1
                            : line.find_first_of(",}", end);
        // With the separator after the field, or before it when the field ends the object.
        if (line.compare(end, 2, ", ") == 0) {
            line.erase(at, end + 2 - at);
        } else {
            line.erase(at - 2, end - at + 2);
        }
    }
    return line;
}

// h:mm:ss of whole seconds, hours padded to `hourDigits`.
std::string Clock(std::int64_t ticks, std::size_t hourDigits) {
    const std::int64_t s = ticks / 100;
    std::string hours = std::to_string(s / 3600);
    hours.insert(0, hourDigits > hours.size() ? hourDigits - hours.size() : 0, '0');
    const auto two = [](std::int64_t v) { return (v < 10 ? "0" : "") + std::to_string(v); };
    return hours + ":" + two(s / 60 % 60) + ":" + two(s % 60);
}

TEST(CliWindows, EachWindowIsTheAnalysisOfAFileStartingAtItsFirstInterval) {
    if (test::SharedData().empty()) {
        GTEST_SKIP() << "the real recordings are not beside the project";
    }
    // The real RR recordings end to end: about 70 minutes, artefacts among them.
    std::vector<int> ticks;
    for (const auto& entry : std::filesystem::directory_iterator(test::SharedData())) {
        if (entry.path().extension() == ".rr") {
            const auto bytes = test::ReadBytes(entry.path().string());
            for (std::size_t at = 3; at < bytes.size(); at += 2) {
                ticks.push_back(bytes[at]);
            }
        }
    }
    std::vector<std::int64_t> starts{0}; // start time of each interval, and the end
    for (const int t : ticks) {
        starts.push_back(starts.back() + t);
    }
    const test::ScratchDir dir;
    const std::string path = dir / "long.rr";
    test::WriteBytes(path, test::RrImage(ticks));
    const auto windows = Lines(
        {"analyze", "--windows", "300", "--correct", "auto", "--nonlinear", "--spectrum", path});
    ASSERT_GE(windows.size(), 10u);
    for (std::size_t w = 0; w < windows.size(); ++w) {
        const std::string& line = windows[w];
        ASSERT_EQ(Field(line, "window"), std::to_string(w));
        const auto first = std::stoul(Field(line, "first"));
        // The first interval that starts at or after w * 300 s.
        const auto at = static_cast<std::int64_t>(w) * 30000;
        EXPECT_TRUE(starts[first] >= at && (first == 0 || starts[first - 1] < at)) << line;
        EXPECT_EQ(std::stod(Field(line, "start_s")), static_cast<double>(starts[first]) / 100);
        const std::string part = dir / ("from" + std::to_string(first) + ".rr");
        test::WriteBytes(part, test::RrImage(std::vector<int>(ticks.begin() + first, ticks.end())));
        const auto plain =
            Lines({"analyze", "--correct", "auto", "--nonlinear", "--spectrum", part});
        ASSERT_EQ(plain.size(), 1u);
        EXPECT_EQ(Indices(line), Indices(plain[0])) << "window " << w;
    }
    // Less than 300 s follow the first interval of the window after the last.
    const auto next = static_cast<std::int64_t>(windows.size()) * 30000;
    const auto after = std::lower_bound(starts.begin(), starts.end() - 1, next);
    EXPECT_TRUE(after + 1 >= starts.end() - 1 || starts.back() - *(after + 1) < 30000);
}

TEST(CliWindows, PlainAnalyzeOfALongRecordingKeepsItsLineAndNotesTheRestOnStderr) {
    const test::ScratchDir dir;
    // 45,000 intervals (past the 40,000 words a fragment holds): about 10 hours.
    const std::vector<int> ticks = test::TwoBandRhythm(45000, 80);
    const std::string path = dir / "night.rr";
    test::WriteBytes(path, test::RrImage(ticks));
    const std::string shortPath = dir / "rest.rr";
    test::WriteBytes(shortPath, test::RrImage(test::TwoBandRhythm(700, 80))); // 9.3 minutes
    int status = 0;
    std::string err;
    const auto lines = Lines({"analyze", "--nonlinear", path, shortPath}, &status, &err);
    ASSERT_EQ(status, cli::kExitOk) << err;
    ASSERT_EQ(lines.size(), 2u);
    auto f = test::NewFragment();
    auto w = std::make_unique<PpgWorkspace>();
    for (std::size_t i = 0; i < 2; ++i) {
        const std::string& p = i == 0 ? path : shortPath;
        ASSERT_EQ(AnalyseFile(p, FileKind::Rr, *f, *w), "");
        EXPECT_EQ(lines[i], cli::ResultLine(p, FileKind::Rr, *f, false, true));
    }
    const std::int64_t total = std::accumulate(ticks.begin(), ticks.end(), std::int64_t{0});
    EXPECT_EQ(err, "rvx-cli analyze: " + path + ": проанализированы первые 300 с из " +
                       Clock(total, 1) + "; для всей записи: --windows 300\n");
}

TEST(CliWindows, TextAndTableGiveOneRowPerWindowNamedByItsStart) {
    const test::ScratchDir dir;
    const test::ScopedEnv locale("LC_ALL", "C");
    const std::vector<int> ticks = test::TwoBandRhythm(2000, 80); // about 27 minutes
    const std::string path = dir / "rest.rr";
    test::WriteBytes(path, test::RrImage(ticks));
    std::vector<std::string> clocks; // the windows' starts, from their first intervals
    for (const std::string& line : Lines({"analyze", "--windows", "300", path})) {
        const auto first = std::stol(Field(line, "first"));
        clocks.push_back(Clock(std::accumulate(ticks.begin(), ticks.begin() + first, 0), 2));
    }
    ASSERT_EQ(clocks.size(), 5u);
    const auto text = Lines({"analyze", "--windows", "300", "--format", "text", path});
    ASSERT_EQ(text.size(), 3 + clocks.size() + 1); // name, columns, units, rows, blank
    const std::string table = dir / "rvx.txt";
    Lines({"analyze", "--windows", "300", "--table", table, path});
    const std::string once = test::ReadBytes<std::string>(table);
    // Once more: every row is refused by name, in window order, and the table stays as it was.
    std::string refused;
    Lines({"analyze", "--windows", "300", "--table", table, path}, nullptr, &refused);
    EXPECT_EQ(test::ReadBytes<std::string>(table), once);
    std::size_t at = 0;
    std::istringstream rows(Cp1251ToUtf8(once));
    std::string row;
    std::getline(rows, row); // the header
    for (std::size_t w = 0; w < clocks.size(); ++w) {
        EXPECT_TRUE(text[3 + w].starts_with(clocks[w] + " ")) << text[3 + w];
        ASSERT_TRUE(std::getline(rows, row));
        const std::string identity = row.substr(0, row.find('\t'));
        EXPECT_TRUE(identity.starts_with("rest ") && identity.ends_with(" [" + clocks[w] + "]"))
            << identity;
        at = refused.find("«" + identity + "» уже сохранена", at);
        ASSERT_NE(at, std::string::npos) << identity << "\n" << refused;
    }
    EXPECT_FALSE(std::getline(rows, row));
}

// A number as an RR list holds it, whatever the locale.
std::string Written(double v) {
    char buf[32];
    return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// The "standard" object at the end of a line.
std::string StandardOf(const std::string& line) {
    const auto at = line.find("\"standard\": ");
    return at == std::string::npos ? std::string() : line.substr(at);
}

TEST(CliWindows, StandardObjectOfEachWindowIsThatOfItsFiveMinutes) {
    const test::ScratchDir dir;
    const test::ScopedEnv locale("LC_ALL", "C");
    // An RR list in ms off the tick: the windows' standard analysis keeps the ms as written.
    std::vector<double> ms;
    std::string text;
    for (const int t : test::TwoBandRhythm(1500, 80)) {
        ms.push_back(t * 10 + (ms.size() % 3 == 0 ? 2.5 : -1.0));
        text += Written(ms.back()) + "\n";
    }
    const std::string path = dir / "long.txt";
    test::WriteBytes(path, text);
    const auto plain = Lines({"analyze", "--windows", "120", path});
    const auto lines = Lines({"analyze", "--windows", "120", "--method", "standard", path});
    ASSERT_EQ(lines.size(), plain.size());
    ASSERT_GE(lines.size(), 3u);
    for (std::size_t w = 0; w < lines.size(); ++w) {
        // The system's fields as they were.
        ASSERT_EQ(lines[w].substr(0, plain[w].size() - 1), plain[w].substr(0, plain[w].size() - 1));
        // The intervals from the window's first that end within 300 s of its start, as a list.
        const auto first = std::stoul(Field(lines[w], "first"));
        std::string part;
        double sum = 0;
        for (std::size_t k = first; k < ms.size() && sum + ms[k] <= 300000; ++k) {
            sum += ms[k];
            part += Written(ms[k]) + "\n";
        }
        const std::string partPath = dir / ("w" + std::to_string(w) + ".txt");
        test::WriteBytes(partPath, part);
        // (Too short for the system's own analysis, which needs 300 s after the first.)
        int partStatus = 0;
        const auto whole = Lines({"analyze", "--method", "standard", partPath}, &partStatus);
        ASSERT_EQ(whole.size(), 1u);
        EXPECT_EQ(StandardOf(lines[w]), StandardOf(whole[0])) << "window " << w;
    }
    // The table's rows stay the system's own.
    const std::string table = dir / "rvx.txt";
    const std::string standardTable = dir / "rvx-standard.txt";
    Lines({"analyze", "--windows", "300", "--table", table, path});
    Lines({"analyze", "--windows", "300", "--method", "standard", "--table", standardTable, path});
    EXPECT_EQ(test::ReadBytes<std::string>(standardTable), test::ReadBytes<std::string>(table));
    // ... and each window's standard analysis goes to the table beside, under the row's identity.
    EXPECT_FALSE(std::filesystem::exists(dir / "rvx_std.txt"));
    const auto rowsOf = [](const std::string& bytes) {
        std::vector<std::string> out;
        for (std::size_t at = 0, end; (end = bytes.find("\r\n", at)) != std::string::npos;
             at = end + 2) {
            out.push_back(bytes.substr(at, end - at));
        }
        return out;
    };
    const auto summaryRows = rowsOf(test::ReadBytes<std::string>(table));
    const auto standardRows = rowsOf(test::ReadBytes<std::string>(dir / "rvx-standard_std.txt"));
    const auto windows300 = Lines({"analyze", "--windows", "300", "--method", "standard", path});
    ASSERT_EQ(standardRows.size(), summaryRows.size());
    ASSERT_GE(standardRows.size(), 3u);
    ASSERT_LE(standardRows.size(), windows300.size() + 1); // the analysed windows come first
    for (std::size_t k = 1; k < standardRows.size(); ++k) {
        const std::string& row = standardRows[k];
        EXPECT_EQ(row.substr(0, row.find('\t')),
                  summaryRows[k].substr(0, summaryRows[k].find('\t')));
        const double meanRr = std::stod(Field(StandardOf(windows300[k - 1]), "MeanRR"));
        std::string mean = FormatFixed(meanRr, 1, '.');
        EXPECT_TRUE(row.find('\t' + mean + '\t') != std::string::npos ||
                    row.find('\t' + mean.replace(mean.find('.'), 1, ",") + '\t') !=
                        std::string::npos)
            << row;
    }
    // As text: the window rows as they were, then the standard table, a row per window.
    const auto rows = Lines({"analyze", "--windows", "120", "--format", "text", path});
    const auto shown =
        Lines({"analyze", "--windows", "120", "--method", "standard", "--format", "text", path});
    ASSERT_EQ(shown.size(), rows.size() + 5 + lines.size());
    ASSERT_EQ(std::vector(shown.begin(), shown.begin() + static_cast<long>(rows.size()) - 1),
              std::vector(rows.begin(), rows.end() - 1));
    const std::size_t at = rows.size();
    EXPECT_EQ(shown[at - 1], "");
    EXPECT_EQ(shown[at], "Стандартный анализ");
    EXPECT_TRUE(shown[at + 2].starts_with("Начало")) << shown[at + 2];
    for (std::size_t w = 0; w < lines.size(); ++w) {
        const std::string& row = shown[at + 4 + w];
        EXPECT_TRUE(row.starts_with(shown[3 + w].substr(0, 8))) << row; // the window's start
        const double meanRr = std::stod(Field(StandardOf(lines[w]), "MeanRR"));
        EXPECT_NE(row.find(FormatFixed(meanRr, 1, '.')), std::string::npos) << row;
    }
    EXPECT_EQ(shown.back(), "");
}

} // namespace
} // namespace hrv
