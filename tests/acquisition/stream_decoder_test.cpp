// The device stream decoder, fed byte by byte.
#include "acquisition/stream_decoder.h"
#include "analysis/fragment_data.h"

#include <gtest/gtest.h>
#include <memory>
#include <string>
#include <vector>

namespace hrv {
namespace {

struct Fed {
    std::vector<DecodeStep> steps;
    RecordingEnd end = RecordingEnd::None;
};

// Feeds the bytes until the decoder ends the recording.
Fed FeedAll(StreamDecoder& d, const std::vector<std::uint8_t>& bytes) {
    Fed out;
    for (std::uint8_t b : bytes) {
        out.steps.push_back(d.Feed(b));
        if (out.steps.back().end != RecordingEnd::None) {
            out.end = out.steps.back().end;
            break;
        }
    }
    return out;
}

std::vector<std::uint8_t> Groups(int count, std::uint8_t interval, std::uint8_t third = 100) {
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < count; ++i) {
        bytes.insert(bytes.end(), {0, interval, third});
    }
    return bytes;
}

class DecoderTest : public ::testing::Test {
protected:
    std::unique_ptr<FragmentData> f_ = std::make_unique<FragmentData>();
    StreamDecoder d_{*f_};
};

TEST_F(DecoderTest, HuntingDropsBytesAboveFiveAndLocksOnAStatusByte) {
    d_.Reset(10);
    f_->RrTicks[1] = 77;
    const Fed fed = FeedAll(d_, {7, 200, 3, 0, 90, 150});
    ASSERT_EQ(fed.steps.size(), 6u);
    EXPECT_FALSE(fed.steps[0].statusReceived);
    EXPECT_FALSE(fed.steps[1].statusReceived);
    ASSERT_TRUE(fed.steps[2].statusReceived);
    EXPECT_EQ(fed.steps[2].status, 3);
    EXPECT_STREQ(DeviceStatusText(fed.steps[2].status), "Нет пульса");
    EXPECT_FALSE(fed.steps[3].intervalStored); // a status group carries no interval
    EXPECT_FALSE(fed.steps[4].statusReceived);
    ASSERT_TRUE(fed.steps[5].statusReceived); // locked: 150 is the next status byte
    EXPECT_EQ(fed.steps[5].status, 150);
    EXPECT_STREQ(DeviceStatusText(150), "");
    EXPECT_EQ(d_.StreamState(), kExpectInterval);
    EXPECT_EQ(d_.RecStatus(), 150);
    EXPECT_EQ(d_.RecIndex(), 1);
    EXPECT_EQ(d_.RecTotalTicks(), 0);
    EXPECT_EQ(f_->RrTicks[1], 77);
    // The group of status 150 is ignored like any status group.
    const Fed rest = FeedAll(d_, {85, 20});
    EXPECT_FALSE(rest.steps[0].intervalStored);
    EXPECT_EQ(d_.RecIndex(), 1);
    EXPECT_EQ(d_.StreamState(), kExpectStatus);
}

TEST_F(DecoderTest, EachGroupShowsItsStatusThenStoresItsIntervalAndAux) {
    // What the recording dialog sees byte by byte: S a status to show, I an interval stored, .
    // nothing (the third byte, 112 or 113, is no status) though it completes the slot's aux.
    d_.Reset(10);
    std::string events;
    for (const DecodeStep& step : FeedAll(d_, {0, 85, 112, 0, 90, 113}).steps) {
        events += std::string(step.statusReceived ? "S" : "") + (step.intervalStored ? "I" : "");
        events += step.statusReceived || step.intervalStored ? "" : ".";
    }
    EXPECT_EQ(events, "SI.SI.");
    EXPECT_EQ(f_->RrTicks[1], 85);
    EXPECT_EQ(f_->RrAux[1], 12);
    EXPECT_EQ(f_->RrTicks[2], 90);
    EXPECT_EQ(f_->RrAux[2], 13);
}

struct ScaleCase {
    std::int32_t scale;
    std::uint8_t byte;
    std::uint8_t ticks;
};

void PrintTo(const ScaleCase& c, std::ostream* os) {
    *os << "Scale" << c.scale << "_Byte" << int(c.byte);
}

class DecoderScale : public ::testing::TestWithParam<ScaleCase> {};

TEST_P(DecoderScale, IntervalByteIsStoredAsTicks) {
    const ScaleCase c = GetParam();
    auto f = std::make_unique<FragmentData>();
    StreamDecoder d(*f);
    d.Reset(c.scale);
    const Fed fed = FeedAll(d, {0, c.byte, 112});
    ASSERT_TRUE(fed.steps[1].intervalStored);
    EXPECT_EQ(fed.steps[1].interval, c.ticks);
    EXPECT_EQ(f->RrTicks[1], c.ticks);
    EXPECT_EQ(f->RrAux[1], 12);
    EXPECT_EQ(d.RecIndex(), 2);
    EXPECT_EQ(d.RecTotalTicks(), c.ticks);
}

INSTANTIATE_TEST_SUITE_P(Scales, DecoderScale,
                         ::testing::Values(ScaleCase{10, 85, 85}, ScaleCase{8, 85, 68},
                                           ScaleCase{8, 255, 204}, ScaleCase{8, 9, 7},
                                           ScaleCase{8, 0, 0}, ScaleCase{10, 255, 255},
                                           ScaleCase{0, 85, 85}), // 0: before start-up
                         ::testing::PrintToStringParamName());

struct ThirdCase {
    std::uint8_t third;
    bool broken;
    std::uint8_t aux;
};

void PrintTo(const ThirdCase& c, std::ostream* os) {
    *os << "Third" << int(c.third);
    if (c.broken) {
        *os << "_Broken";
    } else {
        *os << "_Aux" << int(c.aux);
    }
}

class DecoderThird : public ::testing::TestWithParam<ThirdCase> {};

TEST_P(DecoderThird, ThirdByteIsAuxPlus100OrBreaksTheStream) {
    const ThirdCase c = GetParam();
    auto f = std::make_unique<FragmentData>();
    f->RrAux[1] = 222;
    StreamDecoder d(*f);
    d.Reset(10);
    const Fed fed = FeedAll(d, {0, 85, c.third});
    EXPECT_EQ(fed.end, c.broken ? RecordingEnd::Broken : RecordingEnd::None);
    if (!c.broken) {
        EXPECT_EQ(f->RrAux[1], c.aux);
        EXPECT_EQ(d.RecIndex(), 2);
    } else {
        EXPECT_EQ(d.RecIndex(), 1);
    }
}

INSTANTIATE_TEST_SUITE_P(Thirds, DecoderThird,
                         ::testing::Values(ThirdCase{99, true, 0}, ThirdCase{0, true, 0},
                                           ThirdCase{100, false, 0}, ThirdCase{112, false, 12},
                                           ThirdCase{255, false, 155}),
                         ::testing::PrintToStringParamName());

TEST_F(DecoderTest, ThirdByteOfAStatusGroupIsNeverBroken) {
    d_.Reset(10);
    const Fed fed = FeedAll(d_, {2, 85, 0, 0, 85, 101});
    EXPECT_EQ(fed.end, RecordingEnd::None);
    EXPECT_EQ(d_.RecIndex(), 2);
}

TEST_F(DecoderTest, LockedStreamNeverResynchronises) {
    d_.Reset(10);
    // One extra byte after the first group shifts every later group by one.
    std::vector<std::uint8_t> bytes = {0, 80, 100, 55, 0, 80, 100};
    const Fed fed = FeedAll(d_, bytes);
    // 55 is taken as a status byte, 0 and 80 as its ignored bytes, 100 as the next status.
    EXPECT_EQ(fed.end, RecordingEnd::None);
    EXPECT_EQ(d_.RecIndex(), 2);
    EXPECT_EQ(d_.RecStatus(), 100);
}

TEST_F(DecoderTest, IntervalsOf100TicksStopAt331InTheIntervalByte) {
    d_.Reset(10);
    f_->RrAux[331] = 77; // left from an earlier fragment
    const std::vector<std::uint8_t> bytes = Groups(400, 100);
    const Fed fed = FeedAll(d_, bytes);
    EXPECT_EQ(fed.end, RecordingEnd::TimeLimit);
    // 330 groups complete, then the status and interval bytes of the 331st.
    EXPECT_EQ(fed.steps.size(), 330u * 3 + 2);
    EXPECT_TRUE(fed.steps.back().intervalStored);
    EXPECT_EQ(d_.RecTotalTicks(), 33100);
    EXPECT_EQ(d_.RecIndex(), 331);
    EXPECT_EQ(f_->RrTicks[331], 100);
    EXPECT_EQ(f_->RrAux[331], 0); // its third byte never came
}

TEST_F(DecoderTest, ExactlyThe330SecondsDoNotStop) {
    d_.Reset(10);
    const Fed fed = FeedAll(d_, Groups(330, 100));
    EXPECT_EQ(fed.end, RecordingEnd::None);
    EXPECT_EQ(d_.RecTotalTicks(), 33000);
    EXPECT_FALSE(d_.TimeLimitReached());
    EXPECT_EQ(FeedAll(d_, {0, 1}).end, RecordingEnd::TimeLimit);
}

TEST_F(DecoderTest, SlotLimitAfter1999Groups) {
    d_.Reset(10);
    f_->RrTicks[kRrCapacity] = 99; // left from an earlier fragment
    f_->RrAux[kRrCapacity] = 9;
    const Fed fed = FeedAll(d_, Groups(2100, 16)); // 1999 * 16 ticks stay below 33000
    EXPECT_EQ(fed.end, RecordingEnd::SlotLimit);
    EXPECT_EQ(fed.steps.size(), 1999u * 3);
    EXPECT_EQ(d_.RecIndex(), 2000);
    EXPECT_EQ(d_.RecTotalTicks(), 1999 * 16);
    EXPECT_EQ(f_->RrTicks[1999], 16);
    EXPECT_EQ(f_->RrTicks[kRrCapacity], 0); // slot 2000 was never received
    EXPECT_EQ(f_->RrAux[kRrCapacity], 0);
}

TEST_F(DecoderTest, ResetStartsAnewWithoutClearingTheSlots) {
    d_.Reset(10);
    FeedAll(d_, {0, 85, 112, 0, 90, 113});
    d_.Reset(10);
    EXPECT_EQ(d_.StreamState(), kHunting);
    EXPECT_EQ(d_.RecIndex(), 1);
    EXPECT_EQ(d_.RecTotalTicks(), 0);
    EXPECT_EQ(f_->RrTicks[2], 90);
    FeedAll(d_, {0, 70, 100});
    EXPECT_EQ(f_->RrTicks[1], 70);
    EXPECT_EQ(f_->RrTicks[2], 90);
}

TEST(DeviceStatus, TextsOfTheCodes) {
    const std::vector<std::pair<int, std::string>> table = {
        {0, ""},           {1, "Нет датчика"}, {2, "Нет пациента"},
        {3, "Нет пульса"}, {4, "Ограничение"}, {5, "Отказ датчика"},
        {6, ""},           {255, ""}};
    for (const auto& [code, text] : table) {
        EXPECT_EQ(DeviceStatusText(static_cast<std::uint8_t>(code)), text) << code;
    }
}

} // namespace
} // namespace hrv
