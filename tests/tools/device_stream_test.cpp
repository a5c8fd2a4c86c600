// The simulator's byte stream, read back through the program's decoder.
#include "acquisition/stream_decoder.h"
#include "tools/devsim/device_stream.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <memory>
#include <vector>

namespace hrv {
namespace {

using devsim::Beat;
using devsim::Chunk;
using devsim::DeviceStream;
using devsim::StreamOptions;

std::vector<std::uint8_t> BytesOf(const std::vector<Chunk>& chunks) {
    std::vector<std::uint8_t> bytes;
    for (const Chunk& c : chunks) {
        bytes.insert(bytes.end(), c.bytes.begin(), c.bytes.end());
    }
    return bytes;
}

struct Decoded {
    std::vector<Beat> beats;
    std::vector<std::uint8_t> statuses;
    RecordingEnd end = RecordingEnd::None;
};

Decoded Decode(const std::vector<std::uint8_t>& bytes, std::int32_t scale) {
    auto f = std::make_unique<FragmentData>();
    StreamDecoder d(*f);
    d.Reset(scale);
    Decoded out;
    for (std::uint8_t b : bytes) {
        const DecodeStep step = d.Feed(b);
        if (step.statusReceived) {
            out.statuses.push_back(step.status);
        }
        if (step.end != RecordingEnd::None) {
            out.end = step.end;
            break;
        }
    }
    for (std::int32_t k = 1; k < d.RecIndex(); ++k) {
        out.beats.push_back({f->RrTicks[k], f->RrAux[k]});
    }
    return out;
}

TEST(DeviceStream, EveryIntervalReadsBackThroughTheDecoderOfItsModel) {
    // Each model's interval bytes, read as the program reads that model: every interval comes
    // back exactly, except that the second model carries no more than 204 ticks.
    std::vector<Beat> beats;
    for (int ticks = 0; ticks <= 255; ++ticks) {
        beats.push_back({static_cast<std::uint8_t>(ticks), 0});
    }
    for (const int device : {0, 1}) {
        StreamOptions o;
        o.deviceIndex = device;
        const Decoded d = Decode(BytesOf(DeviceStream(beats, o)), device == 1 ? 8 : 10);
        ASSERT_EQ(d.beats.size(), beats.size()) << device;
        for (int ticks = 0; ticks <= 255; ++ticks) {
            EXPECT_EQ(d.beats[ticks].ticks, device == 1 ? std::min(ticks, 204) : ticks) << ticks;
        }
    }
}

TEST(DeviceStream, BeatsComeBackThroughTheDecoder) {
    const std::vector<Beat> beats = {{80, 0}, {85, 12}, {90, 155}, {45, 3}, {156, 0}};
    for (int device : {0, 1}) {
        StreamOptions o;
        o.deviceIndex = device;
        o.junk = {7, 200, 99};
        o.statusBefore[1] = {1, 3};
        o.statusBefore[4] = {2};
        const auto chunks = DeviceStream(beats, o);
        const Decoded d = Decode(BytesOf(chunks), device == 1 ? 8 : 10);
        EXPECT_EQ(d.end, RecordingEnd::None);
        ASSERT_EQ(d.beats.size(), beats.size()) << device;
        for (std::size_t i = 0; i < beats.size(); ++i) {
            EXPECT_EQ(d.beats[i].ticks, beats[i].ticks) << i;
            EXPECT_EQ(d.beats[i].aux, beats[i].aux) << i;
        }
        const std::vector<std::uint8_t> statuses = {1, 3, 0, 0, 0, 2, 0, 0};
        EXPECT_EQ(d.statuses, statuses);
    }
}

TEST(DeviceStream, GroupsWaitForTheirBeat) {
    const auto chunks = DeviceStream({{80, 0}, {90, 0}}, {});
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].waitMs, 800);
    EXPECT_EQ(chunks[1].waitMs, 900);
}

TEST(DeviceStream, BrokenThirdByteEndsTheRecordingThere) {
    StreamOptions o;
    o.breakAt = 3;
    const Decoded d = Decode(BytesOf(DeviceStream(devsim::GeneratedBeats(10), o)), 10);
    EXPECT_EQ(d.end, RecordingEnd::Broken);
    EXPECT_EQ(d.beats.size(), 2u);
}

TEST(DeviceStream, GeneratedRhythmIsSteadyAndLongEnough) {
    const auto beats = devsim::GeneratedBeats(450);
    int total = 0;
    for (const Beat& b : beats) {
        EXPECT_GE(b.ticks, 70);
        EXPECT_LE(b.ticks, 90);
        total += b.ticks;
    }
    EXPECT_GT(total, 33000);                        // a recording of it stops by the time limit
    const auto again = devsim::GeneratedBeats(450); // the same every time
    ASSERT_EQ(again.size(), beats.size());
    for (std::size_t i = 0; i < beats.size(); ++i) {
        EXPECT_EQ(again[i].ticks, beats[i].ticks) << i;
    }
}

} // namespace
} // namespace hrv
