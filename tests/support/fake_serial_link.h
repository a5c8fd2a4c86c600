// A serial link for tests: plays a byte vector and records every call.
#pragma once

#include "acquisition/serial_link.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace hrv::test {

class FakeSerialLink : public SerialLink {
public:
    std::vector<std::uint8_t> bytes; // what the device sends, from the front
    std::size_t next = 0;
    std::vector<std::string> calls; // "open 1", "state 1", "queues 1024 1024", "timeouts", ...
    std::string failAt;             // a call name ("open", "state", ...) that throws ComError
    bool opened = false;
    int reads = 0;
    bool hangUpAtEnd = false; // after the last byte the device goes away: the read fails

    void ComOpen(std::uint8_t portIndex) override {
        calls.push_back("open " + std::to_string(portIndex));
        if (portIndex == kUsbPortIndex) {
            return;
        }
        if (portIndex > kUsbPortIndex || failAt == "open") {
            throw ComError();
        }
        opened = true;
    }
    void ComSetState(std::int32_t baudIndex) override {
        calls.push_back("state " + std::to_string(baudIndex));
        if (!opened || failAt == "state" || baudIndex < 0 || baudIndex >= kBaudCount) {
            throw ComError();
        }
    }
    void ComSetQueues(std::int32_t in, std::int32_t out) override {
        calls.push_back("queues " + std::to_string(in) + " " + std::to_string(out));
        if (!opened || failAt == "queues") {
            throw ComError();
        }
    }
    void ComSetTimeouts() override {
        calls.push_back("timeouts");
        if (!opened || failAt == "timeouts") {
            throw ComError();
        }
    }
    std::optional<std::uint8_t> ComReadByte() override {
        ++reads;
        if (opened && next >= bytes.size() && hangUpAtEnd) {
            ComClose(); // a failed read closes the port
        }
        if (!opened || next >= bytes.size()) {
            return std::nullopt;
        }
        return bytes[next++];
    }
    void ComClose() override {
        calls.push_back("close");
        opened = false;
    }
    bool ComOpened() const override { return opened; }
};

// The device's group for an interval: status 0, the interval byte, 100 + aux.
inline void AddGroup(std::vector<std::uint8_t>& bytes, std::uint8_t interval,
                     std::uint8_t aux = 0) {
    bytes.insert(bytes.end(), {0, interval, static_cast<std::uint8_t>(100 + aux)});
}

} // namespace hrv::test
