// WFDB records: the MIT-BIH and other PhysioNet records beside the project (their checksums and
// reference beats are the databases' own), hand-encoded files of every signal format, the forms
// of the header's fields, and headers and files that lie.
#include "files/wfdb_annotation.h"
#include "files/wfdb_header.h"
#include "files/wfdb_signal.h"
#include "tests/support/scratch_dir.h"
#include "tests/support/test_support.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sstream>

namespace hrv {
namespace {

std::string SharedEcg() {
    const std::string dir = HRV_SHARED_ECG;
    return std::filesystem::exists(dir + "/README.md") ? dir : std::string();
}

// The message a reading throws, "" when it reads.
template <class F> std::string FaultOf(F&& read) {
    try {
        read();
    } catch (const SignalFileError& e) {
        return e.what();
    }
    return {};
}

// The reference beats of a record: "sample,time_s,code" lines of its .beats.csv.
std::vector<std::pair<std::int64_t, std::string>> ReferenceBeats(const std::string& csv) {
    std::ifstream in(csv);
    std::string line;
    std::getline(in, line);
    std::vector<std::pair<std::int64_t, std::string>> beats;
    while (std::getline(in, line)) {
        const auto a = line.find(',');
        const auto b = line.rfind(',');
        beats.emplace_back(std::stoll(line.substr(0, a)), line.substr(b + 1));
    }
    return beats;
}

TEST(WfdbRecord, MitBihRecordsMatchTheirChecksumsAndReferenceBeats) {
    const std::string dir = SharedEcg();
    if (dir.empty()) {
        GTEST_SKIP() << "no ../shared/ecg";
    }
    for (const char* name : {"100", "105", "107", "119", "201", "208"}) {
        SCOPED_TRACE(name);
        std::vector<std::string> warnings;
        const std::string base = dir + "/mitdb/" + name;
        const SignalRecording r = ReadWfdbRecord(base + ".dat", {"atr"}, &warnings);
        EXPECT_TRUE(warnings.empty()) << warnings.front();
        ASSERT_EQ(r.channels.size(), 2u);
        EXPECT_EQ(r.channels[0].name, "MLII");
        EXPECT_EQ(r.channels[0].Size(), 650000u);
        EXPECT_DOUBLE_EQ(r.channels[1].rate, 360);
        EXPECT_DOUBLE_EQ(r.channels[0].gain, 200);
        EXPECT_DOUBLE_EQ(r.channels[0].baseline, 1024);
        EXPECT_EQ(r.channels[0].unit, "mV");
        EXPECT_DOUBLE_EQ(r.beatRate, 360);
        const auto reference = ReferenceBeats(base + ".beats.csv");
        ASSERT_EQ(r.beats.size(), reference.size());
        for (std::size_t k = 0; k < reference.size(); ++k) {
            ASSERT_EQ(r.beats[k].sample, reference[k].first) << k;
            ASSERT_EQ(AnnotationMnemonic(r.beats[k].code), reference[k].second) << k;
            ASSERT_EQ(r.beats[k].source, BeatSource::Annotation);
        }
    }
    // Record 100's first samples (the database's own rdsamp listing: 995 1011, 995 1011 ...).
    const SignalRecording r = ReadWfdbRecord(dir + "/mitdb/100");
    EXPECT_EQ(r.channels[0].Raw(0), 995);
    EXPECT_EQ(r.channels[1].Raw(0), 1011);
    EXPECT_NEAR(r.channels[0].Physical(0), (995 - 1024) / 200.0, 1e-12);
    const SignalRecording v107 = ReadWfdbRecord(dir + "/mitdb/107.hea", {"atr"});
    EXPECT_EQ(v107.beats[10].kind, BeatKind::Paced);
}

TEST(WfdbRecord, OtherFormatsOfThePhysioNetSamples) {
    const std::string dir = SharedEcg();
    if (dir.empty()) {
        GTEST_SKIP() << "no ../shared/ecg";
    }
    std::vector<std::string> warnings;
    // 212 with four samples per frame for the first signal and a skew for the third.
    const SignalRecording a = ReadWfdbRecord(dir + "/wfdb_formats/03700181.hea", {}, &warnings);
    EXPECT_TRUE(warnings.empty());
    ASSERT_EQ(a.channels.size(), 3u);
    EXPECT_EQ(a.channels[0].name, "MCL1");
    EXPECT_DOUBLE_EQ(a.channels[0].rate, 500);
    EXPECT_EQ(a.channels[0].Size(), 300000u);
    EXPECT_EQ(a.channels[1].Size(), 75000u);
    EXPECT_DOUBLE_EQ(a.channels[1].gain, 12.84);
    EXPECT_DOUBLE_EQ(a.channels[1].baseline, -1605);
    EXPECT_EQ(a.channels[1].unit, "mmHg");
    EXPECT_TRUE(a.start.hasTime && a.start.hasDate);
    EXPECT_EQ(a.start.hour * 10000 + a.start.minute * 100 + static_cast<int>(a.start.second),
              172745);
    EXPECT_EQ(a.start.year * 10000 + a.start.month * 100 + a.start.day, 19940815);
    // Format 16, four leads, gain in "/mV" form, descriptions with a blank.
    const SignalRecording b = ReadWfdbRecord(dir + "/wfdb_formats/test01_00s.dat", {}, &warnings);
    ASSERT_EQ(b.channels.size(), 4u);
    EXPECT_EQ(b.channels[3].name, "ECG 4");
    EXPECT_DOUBLE_EQ(b.channels[0].gain, 100);
    EXPECT_EQ(b.channels[0].Size(), 4000u);
    // Format 80, a base time with a fraction.
    const SignalRecording c = ReadWfdbRecord(dir + "/wfdb_formats/3000003_0003", {}, &warnings);
    EXPECT_EQ(c.channels[1].Size(), 1028u);
    EXPECT_NEAR(c.start.second, 25.757, 1e-9);
    // 212 at 250 Hz with "/NU" units.
    const SignalRecording d = ReadWfdbRecord(dir + "/ppg/v102s.hea", {}, &warnings);
    EXPECT_EQ(d.channels[2].name, "PLETH");
    EXPECT_EQ(d.channels[2].unit, "NU");
    EXPECT_EQ(d.channels[2].Size(), 75000u);
    EXPECT_TRUE(warnings.empty()) << warnings.front();
}

// A record written into a scratch folder.
struct Record {
    test::ScratchDir dir;
    std::string Write(const std::string& header, const std::string& file = {},
                      const std::vector<std::uint8_t>& bytes = {}) {
        test::WriteBytes(dir / "r.hea", header);
        if (!file.empty()) {
            test::WriteBytes(dir / file, bytes);
        }
        return dir / "r.hea";
    }
};

TEST(WfdbSignal, EveryFormatDecodedAsItsDefinitionSays) {
    Record rec;
    struct Case {
        const char* format;
        std::vector<std::uint8_t> bytes;
        std::vector<std::int32_t> samples;
    };
    const std::vector<Case> cases = {
        // 16: little-endian two's complement; 61: big-endian.
        {"16", {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80}, {1, -1, -32768}},
        {"61", {0x00, 0x01, 0xFF, 0xFE, 0x7F, 0xFF}, {1, -2, 32767}},
        // 80: offset binary (byte - 128); 160: 16-bit offset binary.
        {"80", {0x80, 0x00, 0xFF}, {0, -128, 127}},
        {"160", {0x00, 0x80, 0x00, 0x00}, {0, -32768}},
        // 24 and 32: little-endian two's complement.
        {"24", {0x01, 0x00, 0x80, 0xFF, 0xFF, 0x7F}, {-8388607, 8388607}},
        {"32", {0x00, 0x00, 0x00, 0x80, 0x02, 0x00, 0x00, 0x00}, {-2147483647 - 1, 2}},
        // 212: 0x123 and 0x456 in 23 41 56 (low nibble of the middle byte to the first, high to
        // the second); then -1 alone in two bytes FF 0F.
        {"212", {0x23, 0x41, 0x56, 0xFF, 0x0F}, {0x123, 0x456, -1}},
        // 310: words 0x0402 (sample 1 in bits 1-10, bits 11-15 = 0) and 0x0BFE: sample 2 = 0x1FF,
        // third = (0x0402 >> 11) | ((0x0BFE >> 11) << 5) = 0 | (1 << 5) = 32; then -512 alone.
        {"310", {0x02, 0x04, 0xFE, 0x0B, 0x00, 0x04}, {0x201 - 1024, 0x1FF, 32, -512}},
        // 311: one word 0x3FF00401: bits 0-9 = 1, 10-19 = 1, 20-29 = 0x3FF (-1).
        {"311", {0x01, 0x04, 0xF0, 0x3F}, {1, 1, -1}},
        // 8: first differences from the initial value 100.
        {"8", {0x05, 0xFB, 0x80}, {105, 100, -28}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.format);
        const std::string header = "r 1 100 " + std::to_string(c.samples.size()) + "\nr.dat " +
                                   c.format + " 10 12 0 100\n";
        const SignalRecording r = ReadWfdbRecord(rec.Write(header, "r.dat", c.bytes));
        ASSERT_EQ(r.channels.size(), 1u);
        std::vector<std::int32_t> got;
        for (std::size_t i = 0; i < r.channels[0].Size(); ++i) {
            got.push_back(r.channels[0].Raw(i));
        }
        EXPECT_EQ(got, c.samples);
    }
}

TEST(WfdbSignal, FramesSkewOffsetAndSeveralFiles) {
    Record rec;
    // Format 16 after a 3-byte prolog, signal a with two samples a frame, b one, c in a file of
    // its own (format 80) lagging by one frame.
    const std::vector<std::uint8_t> ab = {9, 9, 9, 1, 0, 2, 0, 50, 0, 3, 0, 4, 0, 60, 0};
    test::WriteBytes(rec.dir / "c.dat", std::vector<std::uint8_t>{128 + 7, 128 + 1, 128 + 2});
    const SignalRecording r = ReadWfdbRecord(rec.Write("r 3 50 2 10:00:00 01/02/2003\n"
                                                       "ab.dat 16x2+3 200(0)/mV 16 0 0 0 0 lead a\n"
                                                       "ab.dat 16+3 5/uV\n"
                                                       "c.dat 80:1 0\n",
                                                       "ab.dat", ab));
    ASSERT_EQ(r.channels.size(), 3u);
    EXPECT_EQ(r.channels[0].raw16, (std::vector<std::int16_t>{1, 2, 3, 4}));
    EXPECT_DOUBLE_EQ(r.channels[0].rate, 100);
    EXPECT_EQ(r.channels[0].name, "lead a");
    EXPECT_EQ(r.channels[1].raw16, (std::vector<std::int16_t>{50, 60}));
    EXPECT_EQ(r.channels[1].unit, "uV");
    EXPECT_DOUBLE_EQ(r.channels[1].gain, 5);
    // The lagging signal moves forward by its skew; its last value repeats.
    EXPECT_EQ(r.channels[2].raw16, (std::vector<std::int16_t>{1, 1}));
    EXPECT_FALSE(r.channels[2].calibrated);
    EXPECT_DOUBLE_EQ(r.channels[2].gain, 200);
}

TEST(WfdbHeader, FieldsInEveryForm) {
    const WfdbHeader h = ParseWfdbHeader("# a comment\n"
                                         "rec 5 360/3600(12) 1000 \n"
                                         "f 212 200\n"
                                         "f 212 200(-3)\n"
                                         "f 212 200(-3)/mmHg 12 1024 1000 -5 0 V5 lead  \r\n"
                                         "g 16 -1.5e2/mV\n"
                                         "g 16\n"
                                         "# another\n",
                                         "rec.hea");
    EXPECT_EQ(h.name, "rec");
    EXPECT_DOUBLE_EQ(h.frameRate, 360);
    EXPECT_DOUBLE_EQ(h.counterFrequency, 3600);
    EXPECT_DOUBLE_EQ(h.baseCounter, 12);
    EXPECT_EQ(h.frames, 1000);
    ASSERT_EQ(h.signals.size(), 5u);
    EXPECT_DOUBLE_EQ(h.signals[1].baseline, -3);
    EXPECT_EQ(h.signals[1].unit, "mV");
    EXPECT_EQ(h.signals[2].unit, "mmHg");
    EXPECT_EQ(h.signals[2].adcZero, 1024);
    EXPECT_EQ(h.signals[2].initialValue, 1000);
    EXPECT_EQ(h.signals[2].checksum, -5);
    EXPECT_EQ(h.signals[2].description, "V5 lead");
    EXPECT_DOUBLE_EQ(h.signals[3].gain, -150);
    // No gain: the default 200, uncalibrated, baseline the ADC zero.
    EXPECT_DOUBLE_EQ(h.signals[4].gain, 200);
    EXPECT_FALSE(h.signals[4].gainGiven);
    EXPECT_EQ(h.comments.size(), 2u);
    // No rate: 250 frames a second.
    EXPECT_DOUBLE_EQ(ParseWfdbHeader("r 0\n", "r.hea").frameRate, 250);
}

TEST(WfdbHeader, LyingHeadersAreRefusedWithTheFault) {
    const auto fault = [](const char* text) {
        return FaultOf([&] { ParseWfdbHeader(text, "x.hea"); });
    };
    EXPECT_NE(fault("r 2 360\nr.dat 212\n").find("заявлено сигналов: 2, описано: 1"),
              std::string::npos);
    EXPECT_NE(fault("r 1 0\nr.dat 212\n").find("больше нуля"), std::string::npos);
    EXPECT_NE(fault("r 1 -360\nr.dat 212\n").find("больше нуля"), std::string::npos);
    EXPECT_NE(fault("r 1 360\nr.dat 999\n").find("формат сигнала WFDB 999"), std::string::npos);
    EXPECT_NE(fault("r 1 360\nr.dat 516\n").find("FLAC"), std::string::npos);
    EXPECT_NE(fault("r/3 1 360\n").find("многосегментные"), std::string::npos);
    EXPECT_NE(fault("r 99999999 360\n").find("заявлено сигналов"), std::string::npos);
    EXPECT_NE(fault("r 1 360 -5\n").find("длины записи"), std::string::npos);
    EXPECT_NE(fault("r 1 360\nr.dat 212 abc\n").find("усиления"), std::string::npos);
    EXPECT_NE(fault("").find("нет строки записи"), std::string::npos);
    EXPECT_EQ(fault("r 1 360\nr.dat 212\n"), "");
    // Every message names the file.
    EXPECT_EQ(fault("r 1 0\n").rfind("Файл x.hea: ", 0), 0u);
}

TEST(WfdbSignal, FilesThatDoNotHoldTheRecordAreRefused) {
    Record rec;
    // Header says 1000 frames of two signals in 212 (3000 bytes); the file holds 100 frames.
    const std::string two = "r 2 360 1000\nr.dat 212\nr.dat 212\n";
    std::string m =
        FaultOf([&] { ReadWfdbRecord(rec.Write(two, "r.dat", std::vector<std::uint8_t>(300))); });
    EXPECT_NE(m.find("короче записи: по заголовку 1000 отсчётов (2 с), в файле 100 отсчётов"),
              std::string::npos)
        << m;
    // A missing signal file, an absurd length, a skew beyond the record.
    EXPECT_NE(
        FaultOf([&] { ReadWfdbRecord(rec.Write("r 1 360\nnone.dat 16\n")); }).find("не найден"),
        std::string::npos);
    EXPECT_NE(FaultOf([&] {
                  ReadWfdbRecord(rec.Write("r 1 360 999999999999999\nr.dat 16\n", "r.dat",
                                           std::vector<std::uint8_t>(4)));
              }).find("слишком велика"),
              std::string::npos);
    EXPECT_NE(FaultOf([&] {
                  ReadWfdbRecord(
                      rec.Write("r 1 360\nr.dat 16:5\n", "r.dat", std::vector<std::uint8_t>(4)));
              }).find("больше записи"),
              std::string::npos);
    EXPECT_NE(FaultOf([&] {
                  ReadWfdbRecord(rec.Write("r 1 360\nr.dat 16\n", "r.dat", {}));
              }).find("нет ни одного отсчёта"),
              std::string::npos);
    // Without a length the file's whole frames are read: 301 bytes of two 212 signals.
    const SignalRecording r = ReadWfdbRecord(
        rec.Write("r 2 360\nr.dat 212\nr.dat 212\n", "r.dat", std::vector<std::uint8_t>(301)));
    EXPECT_EQ(r.channels[1].Size(), 100u);
    // A checksum that does not match is a warning.
    std::vector<std::string> warnings;
    ReadWfdbRecord(rec.Write("r 1 360 2\nr.dat 16 200 16 0 0 7\n", "r.dat",
                             std::vector<std::uint8_t>{1, 0, 2, 0}),
                   {}, &warnings);
    EXPECT_EQ(warnings.size(), 1u);
}

// An annotation word: code in the high 6 bits, the interval in the low 10.
void Word(std::vector<std::uint8_t>& b, int code, int value) {
    const int w = (code << 10) | (value & 0x3FF);
    b.push_back(static_cast<std::uint8_t>(w & 0xFF));
    b.push_back(static_cast<std::uint8_t>(w >> 8));
}

TEST(WfdbAnnotation, CodesSkipNumSubChnAux) {
    std::vector<std::uint8_t> b;
    Word(b, 1, 100);   // N at 100
    Word(b, 61, 1023); // SUB -1 of it
    Word(b, 59, 0);    // SKIP 0x00010002 = 65538
    b.insert(b.end(), {0x01, 0x00, 0x02, 0x00});
    Word(b, 5, 2);  // V at 100 + 65538 + 2
    Word(b, 62, 1); // CHN 1, kept for what follows
    Word(b, 63, 3); // AUX "(AF" padded to 4 bytes
    b.insert(b.end(), {'(', 'A', 'F', 0});
    Word(b, 28, 10); // rhythm change
    Word(b, 60, 5);  // NUM 5
    Word(b, 12, 1);  // paced beat
    Word(b, 0, 0);
    Word(b, 1, 1); // after the end: ignored
    const auto a = ParseWfdbAnnotations(b, "x.atr");
    ASSERT_EQ(a.size(), 4u);
    EXPECT_EQ(a[0].sample, 100);
    EXPECT_EQ(a[0].sub, -1);
    EXPECT_EQ(a[1].sample, 100 + 65538 + 2);
    EXPECT_EQ(a[1].chan, 1);
    EXPECT_EQ(a[1].aux, "(AF");
    EXPECT_EQ(a[2].chan, 1);
    EXPECT_EQ(a[2].num, 5);
    EXPECT_EQ(a[3].num, 5);
    const auto beats = BeatsOfAnnotations(a, 0, "x.atr");
    ASSERT_EQ(beats.size(), 3u);
    EXPECT_EQ(beats[1].kind, BeatKind::Ventricular);
    EXPECT_EQ(beats[2].kind, BeatKind::Paced);
    EXPECT_NE(FaultOf([&] { BeatsOfAnnotations(a, 1000, "x.atr"); }).find("за концом записи"),
              std::string::npos);
    // Cut inside a SKIP or an AUX; a time below zero.
    EXPECT_NE(FaultOf([&] {
                  ParseWfdbAnnotations(std::vector<std::uint8_t>(b.begin(), b.begin() + 6), "x");
              }).find("SKIP"),
              std::string::npos);
    std::vector<std::uint8_t> aux;
    Word(aux, 1, 1);
    Word(aux, 63, 9);
    EXPECT_NE(FaultOf([&] { ParseWfdbAnnotations(aux, "x"); }).find("AUX"), std::string::npos);
    std::vector<std::uint8_t> back;
    Word(back, 59, 0);
    back.insert(back.end(), {0xFF, 0xFF, 0x00, 0xFF});
    EXPECT_NE(FaultOf([&] { ParseWfdbAnnotations(back, "x"); }).find("меньше нуля"),
              std::string::npos);
}

} // namespace
} // namespace hrv
