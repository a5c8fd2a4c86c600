// rvx-cli driven through its command line, in process.
#include "cli/commands.h"
#include "files/cp1251.h"
#include "files/rr_file.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

namespace hrv {
namespace {

struct Result {
    int status;
    std::string out;
    std::string err;
    std::vector<std::string> lines;
};

Result RunCli(const cli::Args& args) {
    std::ostringstream out;
    std::ostringstream err;
    Result r{cli::Run(args, out, err), out.str(), err.str(), {}};
    std::istringstream in(r.out);
    for (std::string line; std::getline(in, line);) {
        r.lines.push_back(line);
    }
    return r;
}

// The text of a JSON value after "key": in a line (up to the next comma or bracket).
std::string Field(const std::string& line, const std::string& key) {
    const auto at = line.find("\"" + key + "\": ");
    if (at == std::string::npos) {
        return "<missing>";
    }
    const auto start = at + key.size() + 4;
    const auto end = line.find_first_of(",}", start);
    return line.substr(start, end - start);
}

std::string WriteRr(const std::filesystem::path& dir, const std::string& name,
                    const std::vector<int>& ticks) {
    auto f = test::NewFragment();
    test::SetIntervals(*f, ticks);
    const std::string path = (dir / name).string();
    WriteRrFile(path, *f);
    return path;
}

TEST(Cli, AnalyzePrintsOneObjectPerFileWithItsKeysInOrder) {
    const test::ScratchDir dir;
    const auto rhythm = test::ModulatedRhythm(80, 9, 10, 450);
    const std::string path = WriteRr(dir, "rest.rr", rhythm);
    const auto r = RunCli({"analyze", "--spectrum", path});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    ASSERT_EQ(r.lines.size(), 1u);
    const std::string& line = r.lines[0];
    std::size_t last = 0;
    for (const char* key : {"file",      "type",      "ok",    "RrCount",  "FragmentCount", "SDNN",
                            "RMSSD",     "NN50",      "pNN50", "HRVind",   "TINN",          "HR",
                            "ModeClass", "ModeCount", "AMo",   "MinClass", "MaxClass",      "VLF",
                            "LF",        "HF",        "Total", "LFnorm",   "HFnorm",        "LFHF",
                            "intervals", "Power"}) {
        const auto at = line.find(std::string("\"").append(key).append("\": "));
        ASSERT_NE(at, std::string::npos) << key;
        EXPECT_GT(at, last) << key;
        last = at;
    }
    EXPECT_EQ(Field(line, "type"), "\"rr\"");
    EXPECT_EQ(Field(line, "ok"), "true");
    EXPECT_EQ(Field(line, "RrCount"), "450");
    // The intervals are the file's, in order.
    const auto open = line.find("\"intervals\": [") + 14;
    std::istringstream ints(line.substr(open, line.find(']', open) - open));
    std::vector<int> read;
    for (std::string v; std::getline(ints, v, ',');) {
        read.push_back(std::stoi(v));
    }
    EXPECT_EQ(read, rhythm);
    // 150 spectral bins.
    const auto power = line.substr(line.find("\"Power\": [") + 10);
    EXPECT_EQ(std::count(power.begin(), power.end(), ','), 149);
    // Reals are written to round trip.
    const double lfnorm = std::stod(Field(line, "LFnorm"));
    const double hfnorm = std::stod(Field(line, "HFnorm"));
    EXPECT_TRUE(test::NearRel(lfnorm + hfnorm, 100, 1e-12));
    EXPECT_GT(lfnorm, 50); // a 10 s modulation lies in LF
}

TEST(Cli, CorrectionIsOffByDefaultAndAutoAddsTheCorrectedSeries) {
    const test::ScratchDir dir;
    const auto truth = test::ModulatedRhythm(80, 9, 10, 450);
    auto rhythm = truth;
    rhythm[200] += rhythm[201]; // a missed beat
    rhythm.erase(rhythm.begin() + 201);
    const std::string path = WriteRr(dir, "missed.rr", rhythm);
    const auto plain = RunCli({"analyze", "--spectrum", path});
    const auto none = RunCli({"analyze", "--spectrum", "--correct", "none", path});
    EXPECT_EQ(none.out, plain.out);
    EXPECT_EQ(plain.out.find("corrected_intervals"), std::string::npos);
    const auto r = RunCli({"analyze", "--correct", "auto", path});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    const std::string& line = r.lines.at(0);
    EXPECT_EQ(Field(line, "RrCount"), "449");
    // "intervals" stay the file's own; the corrected series has the missed beat back.
    const auto list = [](const std::string& of, const std::string& key) {
        const auto open = of.find("\"" + key + "\": [") + key.size() + 5;
        return of.substr(open, of.find(']', open) - open);
    };
    EXPECT_EQ(list(line, "intervals"), list(plain.lines.at(0), "intervals"));
    const std::string corrected = list(line, "corrected_intervals");
    EXPECT_EQ(std::count(corrected.begin(), corrected.end(), ','), 449);
    EXPECT_EQ(line.substr(line.find("\"artefacts\": ")),
              "\"artefacts\": [{\"index\": 200, \"kind\": \"missed\"}]}");
    // The indices are those of the corrected series: far closer to the rhythm's own.
    const auto clean = RunCli({"analyze", WriteRr(dir, "truth.rr", truth)});
    const double want = std::stod(Field(clean.lines.at(0), "RMSSD"));
    EXPECT_LT(std::fabs(std::stod(Field(line, "RMSSD")) - want), 0.05 * want);
    EXPECT_GT(std::fabs(std::stod(Field(plain.lines.at(0), "RMSSD")) - want), 0.5 * want);
}

TEST(Cli, AFailingFileGivesItsMessageAndTheRunGoesOn) {
    const test::ScratchDir dir;
    const std::string good = WriteRr(dir, "good.rr", test::Repeat(90, 400));
    const std::string shortRr = WriteRr(dir, "short.rr", test::Repeat(90, 300));
    const std::string tinyPpg = (dir / "tiny.ppg").string();
    test::WriteBytes(tinyPpg, {231, 0, 0});
    const std::string missing = (dir / "missing.rr").string();
    const auto r = RunCli({"analyze", missing, shortRr, tinyPpg, dir.string(), good});
    EXPECT_EQ(r.status, cli::kExitFailed);
    ASSERT_EQ(r.lines.size(), 5u);
    std::string inJson; // a Windows path's backslashes are escaped
    for (const char c : missing) {
        inJson += c == '\\' ? std::string("\\\\") : std::string(1, c);
    }
    EXPECT_EQ(r.lines[0], "{\"file\": \"" + inJson +
                              "\", \"type\": \"rr\", \"ok\": false, "
                              "\"error\": \"Файл " +
                              inJson + " не найден\"}");
    EXPECT_EQ(Field(r.lines[1], "error"), "\"Недостаточно данных для анализа\"");
    EXPECT_EQ(Field(r.lines[2], "type"), "\"ppg\"");
    EXPECT_EQ(Field(r.lines[2], "error"), "\"Ошибка импорта данных\"");
    EXPECT_EQ(Field(r.lines[3], "ok"), "false"); // a folder is no file
    EXPECT_EQ(Field(r.lines[4], "ok"), "true");
    EXPECT_EQ(Field(r.lines[4], "HR"), "66");
}

TEST(Cli, NonlinearAddsSevenKeysAndNullsAndNothingElse) {
    const test::ScratchDir dir;
    std::vector<int> rhythm;
    for (int k = 0; k < 420; ++k) {
        rhythm.push_back(78 + (k * 7 % 11) - (k % 3) + (k / 40 % 4));
    }
    const std::string path = WriteRr(dir, "rhythm.rr", rhythm);
    const auto plain = RunCli({"analyze", path});
    const auto r = RunCli({"analyze", "--nonlinear", path});
    ASSERT_EQ(r.lines.size(), 1u);
    for (const char* key : {"SD1", "SD2", "SD1SD2", "SampEn", "DFA_alpha1", "DFA_alpha2", "SI"}) {
        EXPECT_NE(Field(r.lines[0], key), "<missing>") << key;
        EXPECT_EQ(plain.lines.at(0).find(std::string("\"") + key + "\""), std::string::npos);
    }
    // Removing the seven keys gives the plain line back.
    const auto from = r.lines[0].find(", \"SD1\": ");
    const auto to = r.lines[0].find(", \"intervals\": ");
    ASSERT_NE(from, std::string::npos);
    EXPECT_EQ(r.lines[0].substr(0, from) + r.lines[0].substr(to), plain.lines[0]);
    // A constant series: SD2 0, so SD1SD2 null; the exponents and SI null.
    const auto flat =
        RunCli({"analyze", "--nonlinear", WriteRr(dir, "flat.rr", test::Repeat(80, 500))});
    EXPECT_EQ(Field(flat.lines.at(0), "SD1SD2"), "null");
    EXPECT_EQ(Field(flat.lines.at(0), "SampEn"), "0");
    EXPECT_EQ(Field(flat.lines.at(0), "DFA_alpha1"), "null");
    EXPECT_EQ(Field(flat.lines.at(0), "SI"), "null");
}

TEST(Cli, MethodStandardAppendsItsObjectAndLeavesTheRestAsItWas) {
    const test::ScratchDir dir;
    const auto rhythm = test::ModulatedRhythm(80, 9, 10, 450);
    const std::string path = WriteRr(dir, "rest.rr", rhythm);
    const auto plain = RunCli({"analyze", path});
    const auto r = RunCli({"analyze", "--method", "standard", "--nn-threshold", "20", path});
    ASSERT_EQ(r.status, cli::kExitOk) << r.err;
    ASSERT_EQ(r.lines.size(), 1u);
    const std::string& line = r.lines[0];
    const std::string head = plain.lines.at(0).substr(0, plain.lines[0].size() - 1);
    ASSERT_EQ(line.substr(0, head.size()), head);
    EXPECT_EQ(line.substr(head.size(), 15), ", \"standard\": {");
    // Every interval of the file, in ms.
    double sum = 0;
    for (const int t : rhythm) {
        sum += t * 10;
    }
    EXPECT_NEAR(std::stod(Field(line, "MeanRR")), sum / static_cast<double>(rhythm.size()), 1e-9);
    EXPECT_EQ(Field(line, "nn_threshold_ms"), "20");
    EXPECT_EQ(Field(line, "SDANN"), "null"); // 6 minutes
    EXPECT_EQ(RunCli({"analyze", "--method", "system", path}).out, plain.out);
    // With a table: its row as without the method, the standard one in the table beside.
    const std::string table = (dir / "t.txt").string();
    const std::string mine = (dir / "mine.txt").string();
    ASSERT_EQ(RunCli({"analyze", "--table", table, path}).status, cli::kExitOk);
    ASSERT_EQ(
        RunCli({"analyze", "--method", "standard", "--nn-threshold", "20", "--table", mine, path})
            .status,
        cli::kExitOk);
    EXPECT_EQ(test::ReadBytes<std::string>(mine), test::ReadBytes<std::string>(table));
    EXPECT_FALSE(std::filesystem::exists(dir / "t_std.txt"));
    const auto standardTable = Cp1251ToUtf8(test::ReadBytes<std::string>(dir / "mine_std.txt"));
    const std::string tableRow = Cp1251ToUtf8(test::ReadBytes<std::string>(table));
    const std::string identity = tableRow.substr(tableRow.find('\n') + 1);
    const std::size_t second = standardTable.find('\n') + 1;
    EXPECT_EQ(standardTable.substr(second, standardTable.find('\t', second) - second),
              identity.substr(0, identity.find('\t')));
    EXPECT_NE(standardTable.find("NNxx > 20 мс"), std::string::npos);
    // An RR list at its own resolution (ms as written), not in ticks.
    const std::string list = (dir / "list.txt").string();
    std::ofstream text(list);
    for (int k = 0; k < 400; ++k) {
        text << (k % 2 != 0 ? "812\n" : "800.5\n");
    }
    text.close();
    const auto listed = RunCli({"analyze", "--method", "standard", list});
    EXPECT_NEAR(std::stod(Field(listed.lines.at(0), "MeanRR")), 806.25, 1e-9);

    // Its options need it, and settings it cannot use are refused, naming them.
    EXPECT_EQ(RunCli({"analyze", "--interp", "4", path}).status, cli::kExitUsage);
    const auto order = RunCli({"analyze", "--method", "standard", "--ar-order", "0", path});
    EXPECT_EQ(order.status, cli::kExitUsage);
    EXPECT_NE(order.err.find("ar_order"), std::string::npos) << order.err;
}

TEST(Cli, MethodStandardWithCorrectionTakesTheCorrectedBeats) {
    const test::ScratchDir dir;
    const auto list = [&dir](const std::string& name, int merged) {
        const std::string p = (dir / name).string();
        std::ofstream text(p);
        for (int k = 0; k < 400; ++k) {
            if (k == merged) {
                text << "1612.5\n"; // a missed beat: 800.5 + 812 in one interval
                ++k;
            } else {
                text << (k % 2 != 0 ? "812\n" : "800.5\n");
            }
        }
        return p;
    };
    const auto standard = [](const std::string& line) {
        return line.substr(line.find("\"standard\""));
    };
    // A clean list is left as it is: the same beats, in ms as written.
    const std::string clean = list("clean.txt", -1);
    EXPECT_EQ(
        standard(
            RunCli({"analyze", "--correct", "auto", "--method", "standard", clean}).lines.at(0)),
        standard(RunCli({"analyze", "--method", "standard", clean}).lines.at(0)));
    // The missed beat restored: 400 intervals over the same time, less the merged interval's
    // 2.5 ms below its 161 ticks; the intervals left as they were keep their ms.
    const std::string missed = list("missed.txt", 200);
    const auto raw = RunCli({"analyze", "--method", "standard", missed}).lines.at(0);
    EXPECT_NEAR(std::stod(Field(raw, "MeanRR")), 806.25 * 400 / 399, 1e-9);
    const auto fixed =
        RunCli({"analyze", "--correct", "auto", "--method", "standard", missed}).lines.at(0);
    EXPECT_NEAR(std::stod(Field(fixed, "MeanRR")), (806.25 * 400 - 2.5) / 400, 1e-9);
    EXPECT_EQ(Field(fixed, "NNxx"), "0");
}

TEST(Cli, TheTypeOptionDecidesOverTheExtension) {
    const test::ScratchDir dir;
    const std::string path = WriteRr(dir, "rr-data.ppg", test::Repeat(90, 400));
    EXPECT_EQ(Field(RunCli({"analyze", path}).lines.at(0), "type"), "\"ppg\"");
    const auto r = RunCli({"analyze", "--type", "rr", path});
    EXPECT_EQ(r.status, cli::kExitOk);
    EXPECT_EQ(Field(r.lines.at(0), "type"), "\"rr\"");
    EXPECT_EQ(Field(r.lines.at(0), "FragmentCount"), "333"); // 334 x 90 ticks after the first
}

TEST(Cli, UsageErrors) {
    for (const cli::Args& args :
         {cli::Args{}, cli::Args{"analyze"}, cli::Args{"frobnicate"},
          cli::Args{"analyze", "--type", "wav", "x.rr"}, cli::Args{"analyze", "--bogus", "x.rr"},
          cli::Args{"convert"}, cli::Args{"convert", "--bogus", "x.ppg"}}) {
        const auto r = RunCli(args);
        EXPECT_EQ(r.status, cli::kExitUsage);
        EXPECT_TRUE(r.out.empty());
        EXPECT_NE(r.err.find("Usage"), std::string::npos);
    }
    const auto help = RunCli({"--help"});
    EXPECT_EQ(help.status, cli::kExitOk);
    EXPECT_NE(help.out.find("analyze"), std::string::npos);
    EXPECT_NE(help.out.find("convert"), std::string::npos);
    // Every command's own help, on the standard output, whatever else the words say.
    for (const std::string command : {"analyze", "convert", "print", "record"}) {
        for (const cli::Args& args : {cli::Args{command, "--help"}, cli::Args{command, "-h"},
                                      cli::Args{command, "--bogus", "--help", "x.rr"}}) {
            const auto r = RunCli(args);
            EXPECT_TRUE(r.status == cli::kExitOk && r.err.empty()) << command << r.err;
            EXPECT_EQ(r.out.rfind("Usage:\n  rvx-cli " + command + " ", 0), 0u) << r.out;
            EXPECT_EQ(r.out.find("rvx-cli --version"), std::string::npos) << "only its own";
        }
    }
    // After "--" it is a file's name.
    EXPECT_EQ(RunCli({"analyze", "--", "--help"}).status, cli::kExitFailed);
}

TEST(Cli, ConvertReportsEachFileAndGoesOnAfterARejectedOne) {
    const test::ScratchDir dir;
    std::vector<int> jumps;
    for (int s = 70; s < 2000; s += 70) {
        jumps.push_back(s);
    }
    const auto image = test::PpgImage(test::StepWave(jumps, 35, 100, 2050));
    const std::string a = (dir / "a.ppg").string();
    const std::string bad = (dir / "bad.ppg").string();
    const std::string c = (dir / "c").string();
    test::WriteBytes(a, image);
    test::WriteBytes(bad, {1, 2});
    test::WriteBytes(c, image);
    const auto r = RunCli({"convert", "--", a, bad, c}); // "--" ends the options, as elsewhere
    EXPECT_EQ(r.status, cli::kExitFailed);
    ASSERT_EQ(r.lines.size(), 3u);
    EXPECT_NE(r.lines[0].find((dir / "a.rr").string()), std::string::npos);
    EXPECT_EQ(r.lines[1], bad + ": Ошибка импорта данных");
    EXPECT_NE(r.lines[2].find(c + ".rr"), std::string::npos);
    EXPECT_EQ(test::ReadBytes((dir / "a.rr").string()).size(), 2u + 2 * (jumps.size() - 1));
    EXPECT_FALSE(std::filesystem::exists(dir / "bad.rr"));
}

TEST(Cli, MalformedTruncatedAndRandomFilesNeverCrash) {
    const test::ScratchDir dir;
    std::mt19937 rng(12345);
    cli::Args args{"analyze"};
    std::vector<std::string> paths;
    for (int i = 0; i < 40; ++i) {
        std::size_t size = rng() % 9000;
        if (i % 10 == 0) {
            size = 80000 + rng() % 200000; // beyond the word capacity
        }
        std::vector<std::uint8_t> bytes(size);
        for (auto& b : bytes) {
            b = static_cast<std::uint8_t>(i % 3 == 0 ? 200 + rng() % 56 : rng());
        }
        const std::string path =
            (dir / std::string("r").append(std::to_string(i)).append(i % 2 ? ".rr" : ".ppg"))
                .string();
        test::WriteBytes(path, bytes);
        args.push_back(path);
    }
    // Every interval at its largest: far more samples than the rhythmogram holds.
    args.push_back(WriteRr(dir, "max.rr", test::Repeat(255, 2000)));
    const auto r = RunCli(args);
    ASSERT_EQ(r.lines.size(), args.size() - 1);
    for (const auto& line : r.lines) {
        const std::string ok = Field(line, "ok");
        EXPECT_TRUE(ok == "true" || (ok == "false" && Field(line, "error") != "<missing>")) << line;
    }
    EXPECT_EQ(Field(r.lines.back(), "FragmentCount"), "117");
}

} // namespace
} // namespace hrv
