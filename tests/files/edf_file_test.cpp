// EDF, EDF+ and BDF files: those of EDF libraries' test suites beside the project, and small files
// written here field by field from the format's definition, whole or broken.
#include "files/edf_file.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace hrv {
namespace {

using namespace std::string_literals;

std::string SharedEcg() {
    const std::string dir = HRV_SHARED_ECG;
    return std::filesystem::exists(dir + "/README.md") ? dir : std::string();
}

template <class F> std::string FaultOf(F&& read) {
    try {
        read();
    } catch (const SignalFileError& e) {
        return e.what();
    }
    return {};
}

// A field of `width` characters, the text left-aligned and padded with blanks.
std::string Pad(const std::string& text, std::size_t width) {
    std::string s = text.substr(0, width);
    s.resize(width, ' ');
    return s;
}

struct EdfSignal {
    std::string label;
    int samplesPerRecord;
    double physMin, physMax;
    int digMin, digMax;
};

// An EDF file: its header from `signals`, then `records` records of the 16-bit samples `data`
// (record after record, each signal's samples of a record in turn).
std::string EdfImage(const std::vector<EdfSignal>& signals, int records, double duration,
                     const std::vector<std::int16_t>& data, const std::string& reserved = "",
                     const std::string& tail = "") {
    const auto num = [](double v) {
        std::string s = std::to_string(v);
        while (s.find('.') != std::string::npos && (s.back() == '0' || s.back() == '.')) {
            const bool dot = s.back() == '.';
            s.pop_back();
            if (dot) {
                break;
            }
        }
        return s;
    };
    std::string h = Pad("0", 8) + Pad("X X X X", 80) + Pad("Startdate 02-JAN-2003 X X X", 80) +
                    "02.01.03" + "10.20.30" + Pad(std::to_string(256 * (signals.size() + 1)), 8) +
                    Pad(reserved, 44) + Pad(std::to_string(records), 8) + Pad(num(duration), 8) +
                    Pad(std::to_string(signals.size()), 4);
    for (const auto& s : signals)
        h += Pad(s.label, 16);
    for (std::size_t k = 0; k < signals.size(); ++k)
        h += Pad("", 80);
    for (std::size_t k = 0; k < signals.size(); ++k)
        h += Pad("mV", 8);
    for (const auto& s : signals)
        h += Pad(num(s.physMin), 8);
    for (const auto& s : signals)
        h += Pad(num(s.physMax), 8);
    for (const auto& s : signals)
        h += Pad(std::to_string(s.digMin), 8);
    for (const auto& s : signals)
        h += Pad(std::to_string(s.digMax), 8);
    for (std::size_t k = 0; k < signals.size(); ++k)
        h += Pad("", 80);
    for (const auto& s : signals)
        h += Pad(std::to_string(s.samplesPerRecord), 8);
    for (std::size_t k = 0; k < signals.size(); ++k)
        h += Pad("", 32);
    for (const std::int16_t v : data) {
        h += static_cast<char>(v & 0xFF);
        h += static_cast<char>((v >> 8) & 0xFF);
    }
    return h + tail;
}

// The annotation signal's bytes of one record: TALs "+onset\x14text\x14\0" padded with zeros
// to `words` 16-bit words, as samples.
std::vector<std::int16_t> Tals(const std::string& tals, std::size_t words) {
    std::string s = tals;
    s.resize(2 * words, '\0');
    std::vector<std::int16_t> out;
    for (std::size_t i = 0; i < s.size(); i += 2) {
        out.push_back(static_cast<std::int16_t>(static_cast<std::uint8_t>(s[i]) |
                                                (static_cast<std::uint8_t>(s[i + 1]) << 8)));
    }
    return out;
}

TEST(EdfFile, TheLibrariesTestFilesRead) {
    const std::string dir = SharedEcg();
    if (dir.empty() || !EdfAvailable()) {
        GTEST_SKIP() << "no ../shared/ecg or no EDFlib in this build";
    }
    const SignalRecording a = ReadEdfRecord(dir + "/edf/chtypes_edf.edf");
    ASSERT_EQ(a.channels.size(), 42u);
    EXPECT_GE(a.ChannelIndex("ECG ECG1"), 0);
    EXPECT_DOUBLE_EQ(a.channels[0].rate, 200);
    EXPECT_EQ(a.channels[0].Size(), 1000u);
    // One data record of 9.59375 s.
    const SignalRecording b = ReadEdfRecord(dir + "/edf/test_edf_stim_channel.edf");
    EXPECT_DOUBLE_EQ(b.channels[0].rate, 128);
    EXPECT_EQ(b.channels[0].Size(), 1228u);
    const SignalRecording c = ReadEdfRecord(dir + "/edf/test_uneven_samp.edf");
    ASSERT_EQ(c.channels.size(), 2u);
    EXPECT_DOUBLE_EQ(c.channels[0].rate, 100);
    EXPECT_DOUBLE_EQ(c.channels[1].rate, 12.8);
    // BDF: 24-bit samples.
    const SignalRecording d = ReadEdfRecord(dir + "/edf/test_bdf_stim_channel.bdf");
    EXPECT_FALSE(d.channels[0].raw32.empty());
    EXPECT_DOUBLE_EQ(d.channels[0].rate, 500);
    const SignalRecording e = ReadEdfRecord(dir + "/edf/test_generator_datarec_generator_2.bdf");
    EXPECT_EQ(e.channels.size(), 5u);
    // Annotations only; sub-second onsets; duplicate labels.
    std::vector<EdfAnnotation> notes;
    EXPECT_TRUE(ReadEdfRecord(dir + "/edf/test_edfann.edf", {}, &notes).channels.empty());
    EXPECT_FALSE(notes.empty());
    ReadEdfRecord(dir + "/edf/test_subsecond.edf", {}, &notes);
    ASSERT_FALSE(notes.empty());
    bool fraction = false;
    for (const EdfAnnotation& n : notes) {
        fraction = fraction || n.onset != static_cast<double>(static_cast<long long>(n.onset));
    }
    EXPECT_TRUE(fraction);
    EXPECT_EQ(ReadEdfRecord(dir + "/edf/duplicate_channel_labels.edf").channels.size(), 3u);
    ReadEdfRecord(dir + "/edf/test_utf8.edf");
}

TEST(EdfFile, PhysicalValuesAndBeatsGivenAsAnnotations) {
    if (!EdfAvailable()) {
        GTEST_SKIP() << "no EDFlib in this build";
    }
    test::ScratchDir dir;
    // Two records of 1 s: an ECG at 4 Hz (-2048..2047 for -1..1 mV) and the annotations.
    const std::vector<EdfSignal> signals = {{"ECG II", 4, -1, 1, -2048, 2047},
                                            {"EDF Annotations", 30, -1, 1, -32768, 32767}};
    std::vector<std::int16_t> data = {-2048, 2047, 0, -1};
    const auto first = Tals("+0\x14\x14\0+0.5\x14N\x14\0"s, 30);
    data.insert(data.end(), first.begin(), first.end());
    data.insert(data.end(), {100, 200, 300, 400});
    const auto second = Tals("+1\x14\x14\0+1.25\x14V\x14\0+1.5\x15"
                             "0.5\x14N\x14\0"s,
                             30);
    data.insert(data.end(), second.begin(), second.end());
    test::WriteBytes(dir / "a.edf", EdfImage(signals, 2, 1, data, "EDF+C"));
    std::vector<EdfAnnotation> notes;
    const SignalRecording r = ReadEdfRecord(dir / "a.edf", {true}, &notes);
    ASSERT_EQ(r.channels.size(), 1u);
    EXPECT_EQ(r.channels[0].name, "ECG II");
    EXPECT_DOUBLE_EQ(r.channels[0].rate, 4);
    EXPECT_EQ(r.channels[0].raw16,
              (std::vector<std::int16_t>{-2048, 2047, 0, -1, 100, 200, 300, 400}));
    EXPECT_NEAR(r.channels[0].Physical(0), -1, 1e-12);
    EXPECT_NEAR(r.channels[0].Physical(1), 1, 1e-12);
    EXPECT_EQ(r.start.hour * 10000 + r.start.minute * 100 + static_cast<int>(r.start.second),
              102030);
    ASSERT_EQ(notes.size(), 3u);
    // The N with a duration of 0.5 s is no beat; the others are, at the ECG's rate.
    ASSERT_EQ(r.beats.size(), 2u);
    EXPECT_EQ(r.beats[0].sample, 2);
    EXPECT_EQ(r.beats[0].kind, BeatKind::Normal);
    EXPECT_EQ(r.beats[1].sample, 5);
    EXPECT_EQ(r.beats[1].kind, BeatKind::Ventricular);
    EXPECT_TRUE(ReadEdfRecord(dir / "a.edf").beats.empty());
}

TEST(EdfFile, FilesThatDoNotAddUpAreRefusedWithTheFault) {
    test::ScratchDir dir;
    const std::vector<EdfSignal> one = {{"ECG", 4, -1, 1, -2048, 2047}};
    const std::vector<std::int16_t> eight(8, 1);
    const auto fault = [&](const std::string& image) {
        test::WriteBytes(dir / "b.edf", image);
        return FaultOf([&] { ReadEdfRecord(dir / "b.edf"); });
    };
    if (!EdfAvailable()) {
        EXPECT_NE(fault(EdfImage(one, 2, 1, eight)).find("недоступно"), std::string::npos);
        return;
    }
    EXPECT_EQ(fault(EdfImage(one, 2, 1, eight)), "");
    // A record short, a record too many, a byte more.
    EXPECT_NE(fault(EdfImage(one, 2, 1, std::vector<std::int16_t>(7, 1)))
                  .find("по заголовку 2 записей по 8 байт, в файле после заголовка 14 байт"),
              std::string::npos);
    EXPECT_NE(fault(EdfImage(one, 3, 1, eight)).find("не сходятся"), std::string::npos);
    EXPECT_NE(fault(EdfImage(one, 2, 1, eight, "", "x")).find("не сходятся"), std::string::npos);
    // A header length that does not match the signals, a cut header, no version.
    std::string image = EdfImage(one, 2, 1, eight);
    image.replace(184, 8, Pad("768", 8));
    EXPECT_NE(fault(image).find("длина заголовка"), std::string::npos);
    EXPECT_NE(fault(EdfImage(one, 2, 1, eight).substr(0, 300)).find("обрезан"), std::string::npos);
    EXPECT_NE(fault("1       " + EdfImage(one, 2, 1, eight).substr(8)).find("не файл EDF"),
              std::string::npos);
    EXPECT_NE(fault(EdfImage(one, 2, 1, eight, "EDF+D")).find("EDF+D"), std::string::npos);
    EXPECT_NE(fault(EdfImage({{"ECG", 0, -1, 1, -2048, 2047}}, 2, 1, {})).find("число отсчётов"),
              std::string::npos);
    EXPECT_NE(fault(EdfImage(one, -1, 1, {})).find("число записей"), std::string::npos);
    // Every message names the file; nothing is there at all.
    EXPECT_EQ(fault(EdfImage(one, 3, 1, eight)).rfind("Файл " + (dir / "b.edf").string(), 0), 0u);
    EXPECT_NE(FaultOf([&] { ReadEdfRecord(dir / "none.edf"); }).find("не найден"),
              std::string::npos);
}

} // namespace
} // namespace hrv
