// The termios serial link against real pseudo-terminals.
#include "acquisition/posix_serial_link.h"
#include "tests/support/pty_support.h"

#include <gtest/gtest.h>
#include <termios.h>

namespace hrv {
namespace {

using test::Pty;
using test::ScopedEnv;

class PtyLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!pty_.Ok()) {
            GTEST_SKIP() << "no pseudo-terminal on this machine";
        }
        env_ = std::make_unique<ScopedEnv>("RVX_COM1", pty_.SlavePath());
    }
    // The slave's settings as the master sees them.
    termios Settings() const {
        termios t{};
        ::tcgetattr(pty_.Master(), &t);
        return t;
    }

    Pty pty_;
    std::unique_ptr<ScopedEnv> env_;
    PosixSerialLink link_;
};

TEST_F(PtyLinkTest, OpensThePortNamedByTheEnvironment) {
    link_.ComOpen(0);
    EXPECT_TRUE(link_.ComOpened());
    EXPECT_EQ(link_.DevicePath(), pty_.SlavePath());
}

TEST_F(PtyLinkTest, SecondLinkOnTheSamePortFails) {
    link_.ComOpen(0);
    PosixSerialLink other;
    EXPECT_THROW(other.ComOpen(0), ComError);
    EXPECT_FALSE(other.ComOpened());
    EXPECT_TRUE(link_.ComOpened());
    link_.ComClose();
    other.ComOpen(0); // free again
    EXPECT_TRUE(other.ComOpened());
}

TEST_F(PtyLinkTest, OpenWhileOpenClosesTheOldPortFirst) {
    link_.ComOpen(0);
    link_.ComOpen(0); // would fail on its own lock if the first were still open
    EXPECT_TRUE(link_.ComOpened());
}

TEST_F(PtyLinkTest, UsbIndexChangesNothing) {
    link_.ComOpen(3);
    EXPECT_FALSE(link_.ComOpened());
    EXPECT_THROW(link_.ComSetState(1), ComError);
    EXPECT_THROW(link_.ComSetQueues(kQueueBytes, kQueueBytes), ComError);
    EXPECT_THROW(link_.ComSetTimeouts(), ComError);
    link_.ComOpen(0);
    link_.ComOpen(3);
    EXPECT_TRUE(link_.ComOpened()); // the open port stays open
}

TEST_F(PtyLinkTest, IndexAbove3IsRefusedAndTheOpenPortKept) {
    link_.ComOpen(0);
    EXPECT_THROW(link_.ComOpen(4), ComError);
    EXPECT_TRUE(link_.ComOpened());
}

struct SpeedCase {
    std::int32_t baudIndex;
    speed_t speed;
    int baud;
};

void PrintTo(const SpeedCase& c, std::ostream* os) {
    *os << "Index" << c.baudIndex << "_" << c.baud << "Baud";
}

class PtyLinkSpeed : public PtyLinkTest, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(PtyLinkSpeed, LineFormatAndSpeed) {
    link_.ComOpen(0);
    link_.ComSetState(GetParam().baudIndex);
    link_.ComSetQueues(kQueueBytes, kQueueBytes);
    link_.ComSetTimeouts();
    const termios t = Settings();
    EXPECT_EQ(cfgetispeed(&t), GetParam().speed);
    EXPECT_EQ(cfgetospeed(&t), GetParam().speed);
    EXPECT_EQ(t.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_EQ(t.c_cflag & (PARENB | CSTOPB), 0u);
    EXPECT_NE(t.c_cflag & CRTSCTS, 0u);
    EXPECT_EQ(t.c_iflag & (IXON | IXOFF | ICRNL | ISTRIP), 0u);
    EXPECT_EQ(t.c_lflag & (ICANON | ECHO | ISIG), 0u);
}

INSTANTIATE_TEST_SUITE_P(Speeds, PtyLinkSpeed,
                         ::testing::Values(SpeedCase{0, B600, 600}, SpeedCase{1, B2400, 2400},
                                           SpeedCase{2, B19200, 19200},
                                           SpeedCase{3, B38400, 38400}),
                         ::testing::PrintToStringParamName());

TEST_F(PtyLinkTest, BaudIndexOutOfRangeIsRefused) {
    link_.ComOpen(0);
    for (std::int32_t bad : {-1, 4, 100}) {
        EXPECT_THROW(link_.ComSetState(bad), ComError) << bad;
    }
    EXPECT_THROW(link_.ComSetQueues(-1, kQueueBytes), ComError);
    EXPECT_THROW(link_.ComSetQueues(kQueueBytes, -1), ComError);
}

TEST_F(PtyLinkTest, ReadsBytesAsTheyAreAndNothingWithoutData) {
    link_.ComOpen(0);
    link_.ComSetState(1);
    link_.ComSetTimeouts();
    EXPECT_EQ(link_.ComReadByte(), std::nullopt); // gives up after its time-out
    EXPECT_TRUE(link_.ComOpened());               // a time-out is no failure
    // Bytes the terminal would translate in its default mode pass unchanged.
    pty_.Send({0, 3, 13, 17, 19, 255});
    for (int expected : {0, 3, 13, 17, 19, 255}) {
        EXPECT_EQ(link_.ComReadByte(), std::optional<std::uint8_t>(expected));
    }
    EXPECT_EQ(link_.ComReadByte(), std::nullopt);
}

TEST_F(PtyLinkTest, BytesSentBeforeTheOpenAreNotRead) {
    {
        // A terminal that was opened and closed before keeps what reached it meanwhile.
        PosixSerialLink earlier;
        earlier.ComOpen(0);
        earlier.ComClose();
    }
    pty_.Send({9, 9, 9});
    link_.ComOpen(0);
    link_.ComSetState(1);
    link_.ComSetTimeouts();
    pty_.Send({4});
    EXPECT_EQ(link_.ComReadByte(), std::optional<std::uint8_t>(4));
}

TEST_F(PtyLinkTest, AHangUpIsAFailedReadThatClosesThePort) {
    link_.ComOpen(0);
    link_.ComSetState(1);
    link_.ComSetTimeouts();
    pty_.Send({42});
    EXPECT_EQ(link_.ComReadByte(), std::optional<std::uint8_t>(42));
    pty_.HangUp();
    EXPECT_EQ(link_.ComReadByte(), std::nullopt);
    EXPECT_FALSE(link_.ComOpened());
    EXPECT_EQ(link_.ComReadByte(), std::nullopt);
}

TEST_F(PtyLinkTest, CloseTwiceAndReadAfterClose) {
    link_.ComOpen(0);
    link_.ComSetState(1);
    pty_.Send({42});
    link_.ComClose();
    EXPECT_FALSE(link_.ComOpened());
    link_.ComClose();
    EXPECT_FALSE(link_.ComOpened());
    EXPECT_EQ(link_.ComReadByte(), std::nullopt);
}

TEST(PosixLink, MissingDeviceFailsToOpen) {
    ScopedEnv env("RVX_COM2", "/nonexistent/rvx-port");
    PosixSerialLink link;
    EXPECT_THROW(link.ComOpen(1), ComError);
    EXPECT_FALSE(link.ComOpened());
}

TEST(PosixLink, AFileThatIsNoTerminalFailsToOpen) {
    ScopedEnv env("RVX_COM3", "/dev/null");
    PosixSerialLink link;
    EXPECT_THROW(link.ComOpen(2), ComError);
    EXPECT_FALSE(link.ComOpened());
}

TEST(PortNames, DefaultsAndOverrides) {
    ScopedEnv one("RVX_COM1", "");
    ScopedEnv two("RVX_COM2", "/dev/ttyUSB0");
    ::unsetenv("RVX_COM3");
    EXPECT_EQ(PortDevicePath(0), "/dev/ttyS0"); // empty: not set
    EXPECT_EQ(PortDevicePath(1), "/dev/ttyUSB0");
    EXPECT_EQ(PortDevicePath(2), "/dev/ttyS2");
    EXPECT_EQ(PortDevicePath(3), "");
    EXPECT_EQ(PortDevicePath(200), "");
}

} // namespace
} // namespace hrv
