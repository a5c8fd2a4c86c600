// The device's byte stream through a recording: the decoder and the stop rules over a scripted
// link that plays the input, then the hand-over of the fragment.
#include "acquisition/recording.h"
#include "fuzz/fuzz_support.h"
#include "tests/support/fake_serial_link.h"

#include <algorithm>
#include <memory>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    using namespace hrv;
    if (size == 0) {
        return 0;
    }
    static const auto f = std::make_unique<FragmentData>();
    // The first byte: the device model and whether the device goes away after the last byte.
    const std::int32_t scale = (data[0] & 1) != 0 ? kScaleSecondModel : 10;
    test::FakeSerialLink link;
    link.hangUpAtEnd = (data[0] & 2) != 0;
    link.bytes.assign(data + 1, data + size);
    f->Settings.PortIndex = 1;
    f->Settings.BaudIndex = 1;
    RecordingSession session(*f, link);
    FUZZ_CHECK(session.Start(f->Settings, scale));

    RecordingEnd end = RecordingEnd::None;
    const std::size_t ticks = link.bytes.size() + 3;
    for (std::size_t i = 0; i < ticks && session.Active(); ++i) {
        const RecordingTick tick = session.Tick();
        const StreamDecoder& d = session.Decoder();
        FUZZ_CHECK(d.RecIndex() >= 1 && d.RecIndex() <= kRecordSlotLimit);
        FUZZ_CHECK(d.StreamState() <= kExpectThird || d.StreamState() == kHunting);
        end = tick.step.end;
        if (end == RecordingEnd::None) {
            FUZZ_CHECK(session.Active() && link.opened);
            FUZZ_CHECK(d.RecTotalTicks() <= kStopTicks);
            FUZZ_CHECK(d.RecIndex() < kRecordSlotLimit);
        } else {
            FUZZ_CHECK(!session.Active());
        }
    }
    const StreamDecoder& d = session.Decoder();
    switch (end) {
    case RecordingEnd::None:
        // Only a device that stays open and silent keeps a recording going.
        FUZZ_CHECK(session.Active() && !link.hangUpAtEnd && link.next == link.bytes.size());
        session.Abort();
        break;
    case RecordingEnd::Broken:
        FUZZ_CHECK(!link.opened);
        break;
    case RecordingEnd::SlotLimit:
        FUZZ_CHECK(d.RecIndex() == kRecordSlotLimit);
        break;
    case RecordingEnd::TimeLimit:
        FUZZ_CHECK(d.RecTotalTicks() > kStopTicks);
        break;
    }
    if (end == RecordingEnd::SlotLimit || end == RecordingEnd::TimeLimit) {
        const std::int32_t recIndex = d.RecIndex();
        const bool analyse = session.Stop();
        FUZZ_CHECK(!link.opened);
        FUZZ_CHECK(f->RrCount == std::min(recIndex, kRrCapacity));
        FUZZ_CHECK(analyse == (f->RrCount >= 3));
        for (std::int32_t k = 1; k <= f->RrCount; ++k) {
            FUZZ_CHECK(f->RrWords[k] == f->RrTicks[k] * 256 + f->RrAux[k]);
            FUZZ_CHECK(f->AnalysisSeries[k] == (analyse ? f->RrTicks[k] : 0));
        }
    }
    return 0;
}
