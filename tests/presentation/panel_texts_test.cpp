// The result panels' texts and the window's layout arithmetic.
#include "presentation/panel_texts.h"
#include "presentation/window_layout.h"

#include <gtest/gtest.h>
#include <memory>

namespace hrv {
namespace {

std::unique_ptr<FragmentData> Results() {
    auto f = std::make_unique<FragmentData>();
    TimeIndicesData& t = f->TimeIndices;
    t.SDNN = 45.678;
    t.RMSSD = 0;
    t.pNN50 = 12.5;
    t.HRVind = 7;
    t.TINN = 140;
    t.HR = 72;
    t.ModeClass = 83;
    t.AMo = 41;
    t.MinClass = 60;
    t.MaxClass = 95;
    f->FragmentCount = 397;
    SpectralIndicesData& s = f->SpectralIndices;
    s.VLF = 1234.4;
    s.LF = 567.5;
    s.HF = 89.49;
    s.Total = 1234567.0;
    s.LFnorm = 62.5;
    s.HFnorm = 37.5;
    s.LFHF = 1.254;
    return f;
}

TEST(PanelTexts, TimeDomainPanelWithRussianSeparator) {
    const auto f = Results();
    EXPECT_EQ(StatPanelText(*f, ','),
              " SDNN\t45,68 мс\r\n RMSSD\t0,00 мс\r\n pNN50\t12,50 %\r\n HRVind\t7\r\n"
              " TINN\t140 мс\r\n HR\t72 уд/мин\r\n\r\n Moda\t830 мс\r\n AMo\t41 %\r\n"
              " DX\t350 мс\r\n n\t397");
}

TEST(PanelTexts, SpectralPanelWithPointSeparator) {
    const auto f = Results();
    EXPECT_EQ(SpecPanelText(*f, '.'),
              " VLF\t1234 мс2\r\n LF\t568 мс2\r\n HF\t89 мс2\r\n Total\t1.23457E6 мс2\r\n\r\n"
              " LF norm\t63 %\r\n HF norm\t38 %\r\n LF/HF\t1.25");
}

TEST(PanelTexts, ExactlyOneEmptyLineAndNoFinalLineEnd) {
    const auto f = Results();
    for (const std::string& text : {StatPanelText(*f, ','), SpecPanelText(*f, ',')}) {
        std::size_t empty = 0;
        for (auto pos = text.find("\r\n\r\n"); pos != std::string::npos;
             pos = text.find("\r\n\r\n", pos + 1)) {
            ++empty;
        }
        EXPECT_EQ(empty, 1u);
        EXPECT_NE(text.substr(text.size() - 2), "\r\n");
        EXPECT_EQ(text[0], ' ');
    }
}

TEST(PanelTexts, CountIsUnsigned) {
    auto f = Results();
    f->FragmentCount = 65535;
    const std::string text = StatPanelText(*f, ',');
    EXPECT_EQ(text.substr(text.rfind('\t') + 1), "65535");
}

TEST(WindowLayout, ThirdsOfTheMainPanelAndQuartersOfTheWidth) {
    struct Case {
        int height, width, rg, histo, wide, narrow;
    };
    const Case table[] = {
        {400, 1023, 133, 133, 510, 255},
        {401, 1024, 133, 133, 512, 256},
        {2, 3, 0, 0, 0, 0},
    };
    for (const Case& c : table) {
        const MainLayout l = ComputeMainLayout(c.height, c.width);
        EXPECT_EQ(l.panRgHeight, c.rg);
        EXPECT_EQ(l.panHistoHeight, c.histo);
        EXPECT_EQ(l.chartHistoWidth, c.wide);
        EXPECT_EQ(l.chartSpectrWidth, c.wide);
        EXPECT_EQ(l.chartScaterWidth, c.narrow);
        EXPECT_EQ(l.chartDiagramWidth, c.narrow);
        EXPECT_EQ(l.infoLeft, 5);
    }
}

TEST(WindowLayout, SmallestSizeIsTheDesignSizeCutToTheScreen) {
    const WindowSize roomy = SmallestWindowSize(1920, 1040);
    EXPECT_EQ(roomy.width, 741);
    EXPECT_EQ(roomy.height, 491);
    const WindowSize small = SmallestWindowSize(640, 452); // 640 x 480 less a title bar
    EXPECT_EQ(small.width, 640);
    EXPECT_EQ(small.height, 452);
    const WindowSize odd = SmallestWindowSize(800, 300);
    EXPECT_EQ(odd.width, 741);
    EXPECT_EQ(odd.height, 300);
    EXPECT_EQ(SmallestWindowSize(0, -5).width, 1);
    EXPECT_EQ(SmallestWindowSize(0, -5).height, 1);
}

TEST(WindowLayout, ScrollBarsOnlyBelow800Pixels) {
    EXPECT_FALSE(MemosNeedScrollBars(800));
    EXPECT_TRUE(MemosNeedScrollBars(799));
}

} // namespace
} // namespace hrv
