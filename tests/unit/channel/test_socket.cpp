#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <thread>

#include "channel/socket.h"
#include "input_wait_checks.h"
#include "tcp_listener.h"

namespace {

std::string bytesOf(std::uint32_t address) {
    unsigned char b[4];
    std::memcpy(b, &address, 4);
    return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

TEST(TcpAddress, AcceptsDottedAndLocalhostFormsOnly) {
    std::uint32_t address = 0;
    std::uint16_t port = 0;
    ASSERT_TRUE(vek::parseTcpAddress("192.168.1.10:23", address, port));
    EXPECT_EQ(bytesOf(address), "192.168.1.10");
    EXPECT_EQ(port, 23);
    ASSERT_TRUE(vek::parseTcpAddress("localhost:9900", address, port));
    EXPECT_EQ(bytesOf(address), "127.0.0.1");
    EXPECT_EQ(port, 9900);
    ASSERT_TRUE(vek::parseTcpAddress("0.0.0.0:65535 trailing text", address, port));
    EXPECT_EQ(port, 65535);

    for (const char* bad : {"256.1.1.1:23", "1.2.3.4:70000", "-1.2.3.4:5", "1.2.3.4", "1.2.3.4:-1",
                            "1.2.3.4:99999999999999", "Localhost:9900", "localhost:", "localhost:65536",
                            "localhost", "TCPIP", "COM1", ""}) {
        EXPECT_FALSE(vek::isTcpAddress(bad)) << bad;
    }
    EXPECT_FALSE(vek::isTcpAddress(nullptr));
}

TEST(SocketLoopback, ReadsNothingWhenIdleAndMinusOneAfterThePeerCloses) {
    TcpListener listener;
    ASSERT_TRUE(listener.ok());
    vek::Socket socket;
    ASSERT_GE(socket.connectTo(vek::ipv4Address(127, 0, 0, 1), listener.port()), 0) << socket.lastErrorText();
    TcpPeer peer = listener.accept();
    ASSERT_TRUE(peer.ok());

    char buffer[16];
    EXPECT_EQ(socket.read(buffer, sizeof buffer), 0);
    ASSERT_EQ(socket.write("hello", 5), 5);
    EXPECT_EQ(peer.receive(5), "hello");
    peer.send("ok");
    EXPECT_EQ(readUntilData(socket, buffer, sizeof buffer), 2);

    peer.close();
    EXPECT_EQ(readUntilData(socket, buffer, sizeof buffer), -1);
    EXPECT_TRUE(socket.isOpen());
}

TEST(SocketLoopback, WaitForInputEndsWhenBytesArriveOrThePeerCloses) {
    TcpListener listener;
    ASSERT_TRUE(listener.ok());
    vek::Socket socket;
    EXPECT_EQ(socket.waitForInput(10), vek::Channel::kCannotWait);
    ASSERT_GE(socket.connectTo(vek::ipv4Address(127, 0, 0, 1), listener.port()), 0) << socket.lastErrorText();
    TcpPeer peer = listener.accept();
    ASSERT_TRUE(peer.ok());

    expectWaitEndsWhenBytesArrive(socket, [&peer] { peer.send("ok"); });
    char buffer[8];
    EXPECT_EQ(socket.read(buffer, sizeof buffer), 2);

    peer.close();
    EXPECT_EQ(socket.waitForInput(20000), 1);
    EXPECT_EQ(socket.read(buffer, sizeof buffer), -1);
    socket.close();
    EXPECT_EQ(socket.waitForInput(10), vek::Channel::kCannotWait);
}

TEST(SocketLoopback, WritingToAClosedPeerFailsWithoutKillingTheProcess) {
    TcpListener listener;
    ASSERT_TRUE(listener.ok());
    vek::Socket socket;
    ASSERT_GE(socket.connectTo(vek::ipv4Address(127, 0, 0, 1), listener.port()), 0);
    listener.accept().close();
    // The first writes may still be taken by the system; the reset that
    // follows makes a later one fail, which would raise SIGPIPE.
    int result = 0;
    for (int i = 0; i < 50 && result >= 0; ++i) {
        result = socket.write("data", 4);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(result, -1);
}

TEST(SocketLoopback, OpenUsesTheStoredAddressAndReconnectsCleanly) {
    TcpListener listener;
    ASSERT_TRUE(listener.ok());
    vek::Socket socket;
    TcpSettings settings;
    settings.address = vek::ipv4Address(127, 0, 0, 1);
    settings.port = listener.port();
    ASSERT_GE(socket.open("ignored", &settings), 0);
    TcpPeer first = listener.accept();
    // Connecting again drops the first connection.
    ASSERT_GE(socket.open(nullptr, nullptr), 0);
    TcpPeer second = listener.accept();
    ASSERT_TRUE(second.ok());
    EXPECT_TRUE(first.sawEndOfStream());
    EXPECT_EQ(socket.port(), listener.port());
}

TEST(SocketLoopback, RefusedConnectionLeavesTheSocketClosed) {
    std::uint16_t freePort = 0;
    {
        TcpListener listener;
        ASSERT_TRUE(listener.ok());
        freePort = listener.port();
    }
    vek::Socket socket;
    EXPECT_EQ(socket.connectTo(vek::ipv4Address(127, 0, 0, 1), freePort), -2);
    EXPECT_FALSE(socket.isOpen());
    EXPECT_STRNE(socket.lastErrorText(), "");
    char buffer[4];
    EXPECT_EQ(socket.read(buffer, sizeof buffer), -1);
    EXPECT_EQ(socket.close(), 0);
}

}  // namespace
