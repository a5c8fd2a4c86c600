// The printed report's page arithmetic, cell texts and identification line.
#include "presentation/report_layout.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <utility>

namespace hrv {
namespace {

PageRect ChartRect(const ReportLayout& l, ReportChart c) {
    return l.charts[static_cast<int>(c)];
}

void ExpectRect(const PageRect& r, int left, int top, int right, int bottom) {
    EXPECT_EQ(r.left, left);
    EXPECT_EQ(r.top, top);
    EXPECT_EQ(r.right, right);
    EXPECT_EQ(r.bottom, bottom);
}

TEST(ReportLayout, PageOf4800By6800) {
    const int th = 100;
    const ReportLayout l = ComputeReportLayout(4800, 6800, th, 45);
    EXPECT_EQ(l.x0, 480);
    EXPECT_EQ(l.top, 226); // 6800 div 30
    EXPECT_EQ(l.ch, 1360);
    EXPECT_EQ(l.cwid, 3840);
    EXPECT_EQ(l.third, 1280);
    EXPECT_EQ(l.th, th);
    EXPECT_EQ(l.cw, 900); // 20 widths of "0"

    // Four empty lines, the identification line, two more lines, then the five rows.
    EXPECT_EQ(l.identificationY, 226 + 4 * th);
    for (int r = 0; r < kReportRows; ++r) {
        EXPECT_EQ(l.rowY[r], 226 + 7 * th + r * th) << "row " << r + 1;
    }
    for (int c = 0; c < kReportColumns; ++c) {
        EXPECT_EQ(l.columnX[c], 480 + c * 900) << "column " << c + 1;
    }

    // Charts: two lines below the last row, one line between the chart rows.
    const int row1 = 226 + 7 * th + 4 * th + 2 * th;
    ExpectRect(ChartRect(l, ReportChart::Rhythmogram), 480, row1, 4320, row1 + 1360);
    const int row2 = row1 + 1360 + th;
    ExpectRect(ChartRect(l, ReportChart::Histogram), 480, row2, 3040, row2 + 1360);
    ExpectRect(ChartRect(l, ReportChart::Scattergram), 3040, row2, 4320, row2 + 1360);
    const int row3 = row2 + 1360 + th;
    ExpectRect(ChartRect(l, ReportChart::Spectrum), 480, row3, 3040, row3 + 1360);
    ExpectRect(ChartRect(l, ReportChart::Components), 3040, row3, 4320, row3 + 1360);

    // The content ends 15 lines and three charts below the top.
    EXPECT_EQ(ChartRect(l, ReportChart::Components).bottom, 226 + 15 * th + 3 * 1360);
}

TEST(ReportLayout, DivisionsTruncate) {
    // 4799 x 6799: W div 10 = 479, H div 5 = 1359, H div 30 = 226, (4799 - 958) div 3 = 1280.
    const ReportLayout l = ComputeReportLayout(4799, 6799, 7, 3);
    EXPECT_EQ(l.x0, 479);
    EXPECT_EQ(l.ch, 1359);
    EXPECT_EQ(l.top, 226);
    EXPECT_EQ(l.cwid, 3841);
    EXPECT_EQ(l.third, 1280);
    EXPECT_EQ(ChartRect(l, ReportChart::Histogram).right, 479 + 2560);
    EXPECT_EQ(ChartRect(l, ReportChart::Scattergram).right, 479 + 3841);
}

std::unique_ptr<FragmentData> KnownResults() {
    auto f = std::make_unique<FragmentData>();
    auto& t = f->TimeIndices;
    t.SDNN = 45.678;
    t.RMSSD = 31.2;
    t.NN50 = 40; // not on the page: the cell labelled NN50 shows pNN50
    t.pNN50 = 12.346;
    t.HRVind = 9;
    t.TINN = 310;
    t.ModeClass = 81;
    t.AMo = 38;
    t.MinClass = 62;
    t.MaxClass = 104;
    t.HR = 74;
    auto& s = f->SpectralIndices;
    s.Total = 2500;
    s.VLF = 812.25;
    s.LF = 1000.004;
    s.HF = 687.5;
    s.LFnorm = 59.2593;
    s.HFnorm = 40.7407;
    s.LFHF = 1.454545;
    return f;
}

TEST(ReportCells, TextsUnitsAndPlacesWithEitherSeparator) {
    const auto f = KnownResults();
    const std::string latinMs = std::string(" м") + 'c';           // Latin c
    const std::string latinMs2 = std::string(" м") + 'c' + "2/Гц"; // Latin c
    for (const char sep : {'.', ','}) {
        SCOPED_TRACE(sep);
        const std::string d(1, sep);
        const ReportCells c = ReportCellTexts(*f, sep);
        const ReportCells expected = {{
            {"SDNN 45" + d + "68 мс", "Moda 810 мс", "Total 2500" + d + "00" + latinMs2,
             "LF norm 59" + d + "26 %"},
            {"RMSSD 31" + d + "20" + latinMs, "AMo 38 %", "VLF 812" + d + "25" + latinMs2,
             "HF norm 40" + d + "74 %"},
            {"NN50 12" + d + "35 %", "DX 420" + latinMs, "LF 1000" + d + "00" + latinMs2,
             "LF/HF 1" + d + "45"},
            {"HRVind 9", "HR 74 уд/мин", "HF 687" + d + "50" + latinMs2, ""},
            {"TINN 310 мс", "", "", ""},
        }};
        for (int r = 0; r < kReportRows; ++r) {
            for (int col = 0; col < kReportColumns; ++col) {
                EXPECT_EQ(c[r][col], expected[r][col]) << "row " << r + 1 << " column " << col + 1;
            }
        }
    }
}

TEST(ReportCells, CyrillicAndLatinLetterAfterM) {
    const auto f = KnownResults();
    const ReportCells c = ReportCellTexts(*f, '.');
    const std::string cyrillicEs = "с"; // U+0441
    ASSERT_EQ(cyrillicEs.size(), 2u);
    // Cells that end in the Cyrillic "мс" and those that carry the Latin "мc".
    for (const auto& [r, col] : {std::pair{0, 0}, {0, 1}, {4, 0}}) {
        EXPECT_TRUE(c[r][col].ends_with(" м" + cyrillicEs)) << c[r][col];
    }
    for (const auto& [r, col] : {std::pair{1, 0}, {2, 1}}) {
        EXPECT_TRUE(c[r][col].ends_with(" мc")) << c[r][col];
        EXPECT_EQ(c[r][col].back(), 'c');
    }
    for (const auto& [r, col] : {std::pair{0, 2}, {1, 2}, {2, 2}, {3, 2}}) {
        EXPECT_NE(c[r][col].find(" мc2/Гц"), std::string::npos) << c[r][col];
    }
}

TEST(ReportCells, RowFourHasThreeCellsAndRowFiveOne) {
    const ReportCells c = ReportCellTexts(*KnownResults(), '.');
    const auto filled = [](const std::array<std::string, kReportColumns>& row) {
        return std::count_if(row.begin(), row.end(), [](const auto& s) { return !s.empty(); });
    };
    EXPECT_EQ(filled(c[0]), 4);
    EXPECT_EQ(filled(c[1]), 4);
    EXPECT_EQ(filled(c[2]), 4);
    EXPECT_EQ(filled(c[3]), 3);
    EXPECT_EQ(filled(c[4]), 1);
}

struct IdentificationCase {
    const char* name;
    std::string fileName;
    std::string fileDate;
    std::string infoText;
    std::string expected;
};

class ReportIdentificationTest : public ::testing::TestWithParam<IdentificationCase> {};

TEST_P(ReportIdentificationTest, NamesTheFileWhenTheResultsAreItsOwn) {
    const auto& c = GetParam();
    auto f = std::make_unique<FragmentData>();
    f->CurrentFileName = c.fileName;
    f->CurrentFileDate = c.fileDate;
    EXPECT_EQ(ReportIdentification(*f, c.infoText), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ReportIdentificationTest,
    ::testing::Values(IdentificationCase{"OpenedFile", "C:\\Data\\a b.rr", "08.12.2026",
                                         "a b 08.12.2026", "a b 08.12.2026"},
                      IdentificationCase{"UnixPath", "/home/u/Data/pat12.ppg", "08.12.2026",
                                         "pat12 08.12.2026", "pat12 08.12.2026"},
                      IdentificationCase{"NoFileYet", "", "", "Нет записи", ""},
                      IdentificationCase{"FirstRecording", "", "", "Новая запись", ""},
                      // After a recording the results are not the file's: the line is left out.
                      IdentificationCase{"RecordingAfterOpen", "C:\\Data\\a.rr", "08.12.2026",
                                         "Новая запись", ""}),
    [](const ::testing::TestParamInfo<IdentificationCase>& param) { return param.param.name; });

} // namespace
} // namespace hrv
