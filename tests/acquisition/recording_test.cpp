// The recording session: the port's set-up, ticks, stop rules, hand-over and abort, over a
// scripted link.
#include "acquisition/recording.h"
#include "analysis/pipeline.h"
#include "tests/support/fake_serial_link.h"

#include <cstdlib>
#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace hrv {
namespace {

using test::AddGroup;
using test::FakeSerialLink;

class RecordingTest : public ::testing::Test {
protected:
    void SetUp() override {
        f_->Settings.PortIndex = 1;
        f_->Settings.BaudIndex = 1;
    }
    // Ticks until the session ends or `limit` ticks have passed.
    RecordingEnd RunTicks(int limit) {
        for (int i = 0; i < limit && session_.Active(); ++i) {
            const RecordingEnd end = session_.Tick().step.end;
            if (end != RecordingEnd::None) {
                return end;
            }
        }
        return RecordingEnd::None;
    }

    std::unique_ptr<FragmentData> f_ = std::make_unique<FragmentData>();
    FakeSerialLink link_;
    RecordingSession session_{*f_, link_};
};

TEST_F(RecordingTest, StartSetsUpThePortInOrder) {
    f_->Settings.PortIndex = 2;
    f_->Settings.BaudIndex = 3;
    EXPECT_TRUE(session_.Start(f_->Settings, 10));
    EXPECT_TRUE(session_.Active());
    const std::vector<std::string> expected = {"open 2", "state 3", "queues 1024 1024", "timeouts"};
    EXPECT_EQ(link_.calls, expected);
    EXPECT_EQ(session_.Decoder().StreamState(), kHunting);
    EXPECT_EQ(session_.Decoder().RecIndex(), 1);
}

struct BadSettings {
    int port;
    int baud;
};

void PrintTo(const BadSettings& c, std::ostream* os) {
    *os << "Port" << c.port << "_Baud" << (c.baud < 0 ? "Minus" : "") << std::abs(c.baud);
}

class RecordingBadSettings : public RecordingTest,
                             public ::testing::WithParamInterface<BadSettings> {};

TEST_P(RecordingBadSettings, RefusedBeforeAnyPortIsTouched) {
    f_->Settings.PortIndex = static_cast<std::uint8_t>(GetParam().port);
    f_->Settings.BaudIndex = GetParam().baud;
    EXPECT_THROW(session_.Start(f_->Settings, 10), ComError);
    EXPECT_TRUE(link_.calls.empty());
    EXPECT_FALSE(session_.Active());
}

INSTANTIATE_TEST_SUITE_P(Settings, RecordingBadSettings,
                         ::testing::Values(BadSettings{4, 1}, BadSettings{255, 1},
                                           BadSettings{1, -1}, BadSettings{1, 4},
                                           BadSettings{0, 1000}),
                         ::testing::PrintToStringParamName());

TEST_F(RecordingTest, ComErrorCarriesTheFixedText) {
    f_->Settings.BaudIndex = 7;
    try {
        session_.Start(f_->Settings, 10);
        FAIL() << "no ComError";
    } catch (const ComError& e) {
        EXPECT_STREQ(e.what(), "Ошибка инициализации COM");
    }
}

TEST_F(RecordingTest, UsbIndexFailsAtTheLineSettings) {
    f_->Settings.PortIndex = 3;
    EXPECT_THROW(session_.Start(f_->Settings, 10), ComError);
    const std::vector<std::string> expected = {"open 3", "state 1", "close"};
    EXPECT_EQ(link_.calls, expected);
    EXPECT_FALSE(session_.Active());
}

class RecordingFailingStep : public RecordingTest,
                             public ::testing::WithParamInterface<const char*> {};

TEST_P(RecordingFailingStep, ClosesThePortAgain) {
    link_.failAt = GetParam();
    EXPECT_THROW(session_.Start(f_->Settings, 10), ComError);
    EXPECT_FALSE(link_.opened);
    EXPECT_EQ(link_.calls.back(), "close");
    EXPECT_FALSE(session_.Active());
}

INSTANTIATE_TEST_SUITE_P(Steps, RecordingFailingStep,
                         ::testing::Values("open", "state", "queues", "timeouts"),
                         [](const auto& step) { return std::string(step.param); });

TEST_F(RecordingTest, NoTickReadsWhileInactive) {
    link_.bytes = {0, 85, 112};
    session_.Tick();
    EXPECT_EQ(link_.reads, 0);
}

TEST_F(RecordingTest, ATickWithoutAByteDecodesNothing) {
    ASSERT_TRUE(session_.Start(f_->Settings, 10));
    const RecordingTick tick = session_.Tick();
    EXPECT_FALSE(tick.byteRead);
    EXPECT_EQ(tick.step.end, RecordingEnd::None);
    EXPECT_TRUE(session_.Active());
}

TEST_F(RecordingTest, BrokenStreamClosesThePortAndEnds) {
    link_.bytes = {0, 85, 112, 0, 85, 99, 0, 85, 112};
    ASSERT_TRUE(session_.Start(f_->Settings, 10));
    EXPECT_EQ(RunTicks(100), RecordingEnd::Broken);
    EXPECT_FALSE(session_.Active());
    EXPECT_FALSE(link_.opened);
    EXPECT_EQ(link_.next, 6u);
}

TEST_F(RecordingTest, ADeviceThatGoesAwayEndsTheRecordingAsAReadFailure) {
    link_.bytes = {0, 85, 112, 0, 85};
    link_.hangUpAtEnd = true;
    ASSERT_TRUE(session_.Start(f_->Settings, 10));
    EXPECT_EQ(RunTicks(100), RecordingEnd::Broken);
    EXPECT_FALSE(session_.Active());
    EXPECT_EQ(link_.reads, 6); // the first failed read ends it
}

TEST_F(RecordingTest, TimeLimitHandsOverAndTheAnalysisAcceptsIt) {
    for (int i = 0; i < 400; ++i) {
        AddGroup(link_.bytes, 100, 5);
    }
    f_->AnalysisSeries[400] = 9; // left from an earlier fragment
    ASSERT_TRUE(session_.Start(f_->Settings, 10));
    EXPECT_EQ(RunTicks(2000), RecordingEnd::TimeLimit);
    EXPECT_FALSE(session_.Active());
    EXPECT_TRUE(link_.opened); // Stop closes it
    EXPECT_TRUE(session_.Stop());
    EXPECT_FALSE(link_.opened);
    EXPECT_EQ(f_->RrCount, 331);
    EXPECT_EQ(f_->RrWords[1], 100 * 256 + 5);
    EXPECT_EQ(f_->RrWords[331], 100 * 256); // aux of the last slot never came
    EXPECT_EQ(f_->AnalysisSeries[331], 100);
    EXPECT_EQ(f_->AnalysisSeries[332], 0);
    EXPECT_EQ(f_->AnalysisSeries[400], 0);
    EXPECT_TRUE(AnalyseFragment(*f_));
}

TEST_F(RecordingTest, SlotLimitHandsOver2000Slots) {
    for (int i = 0; i < 2100; ++i) {
        AddGroup(link_.bytes, 16, static_cast<std::uint8_t>(i % 7));
    }
    ASSERT_TRUE(session_.Start(f_->Settings, 10));
    EXPECT_EQ(RunTicks(10000), RecordingEnd::SlotLimit);
    EXPECT_FALSE(session_.Active());
    EXPECT_TRUE(session_.Stop());
    EXPECT_EQ(f_->RrCount, 2000);
    EXPECT_EQ(f_->RrWords[1999], 16 * 256 + 1998 % 7);
    EXPECT_EQ(f_->RrWords[2000], 0);
    EXPECT_EQ(f_->AnalysisSeries[1999], 16);
    EXPECT_EQ(f_->AnalysisSeries[2000], 0);
}

TEST_F(RecordingTest, AbortKeepsThePreviousFragmentAndResults) {
    f_->RrCount = 5;
    f_->RrWords[1] = 1234;
    f_->AnalysisSeries[1] = 80;
    f_->TimeIndices.HR = 71;
    link_.bytes = {0, 90, 101, 0, 91, 102};
    ASSERT_TRUE(session_.Start(f_->Settings, 10));
    RunTicks(6);
    session_.Abort();
    EXPECT_FALSE(session_.Active());
    EXPECT_FALSE(link_.opened);
    EXPECT_EQ(f_->RrTicks[1], 90); // the partial recording is in the slots
    EXPECT_EQ(f_->RrTicks[2], 91);
    EXPECT_EQ(f_->RrCount, 5);
    EXPECT_EQ(f_->RrWords[1], 1234);
    EXPECT_EQ(f_->AnalysisSeries[1], 80);
    EXPECT_EQ(f_->TimeIndices.HR, 71);
}

struct HandOverCase {
    std::int32_t recIndex;
    bool analysed;
};

void PrintTo(const HandOverCase& c, std::ostream* os) {
    *os << "RecIndex" << c.recIndex << (c.analysed ? "_Analysed" : "_NotAnalysed");
}

class HandOver : public ::testing::TestWithParam<HandOverCase> {};

TEST_P(HandOver, PacksWordsAndSeries) {
    const HandOverCase c = GetParam();
    auto f = std::make_unique<FragmentData>();
    for (int k = 1; k <= 10; ++k) {
        f->RrTicks[k] = static_cast<std::uint8_t>(60 + k);
        f->RrAux[k] = static_cast<std::uint8_t>(k);
    }
    f->AnalysisSeries.fill(55);
    EXPECT_EQ(HandOverRecording(*f, c.recIndex), c.analysed);
    EXPECT_EQ(f->RrCount, c.recIndex);
    for (int k = 1; k <= c.recIndex; ++k) {
        EXPECT_EQ(f->RrWords[k], (60 + k) * 256 + k) << k;
        EXPECT_EQ(f->AnalysisSeries[k], c.analysed ? 60 + k : 0) << k;
    }
    for (int k = c.recIndex + 1; k <= kSeriesCapacity; ++k) {
        ASSERT_EQ(f->AnalysisSeries[k], 0) << k;
    }
    EXPECT_EQ(f->AnalysisSeries[0], 0);
}

INSTANTIATE_TEST_SUITE_P(Counts, HandOver,
                         ::testing::Values(HandOverCase{1, false}, HandOverCase{2, false},
                                           HandOverCase{3, true}, HandOverCase{10, true}),
                         ::testing::PrintToStringParamName());

} // namespace
} // namespace hrv
