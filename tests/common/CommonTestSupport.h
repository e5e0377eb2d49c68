// Helpers for the wire protocol tests: a fresh stand-in host per test, a
// captured module log, raw datagrams written byte by byte, loopback sockets.
#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "Log.h"
#include "Loopback.h"
#include "Message.h"
#include "SimHost.h"
#include "TestVessels.h"

namespace helmtest {

// Every test starts from a new host on its virtual clock, with a log file of
// its own that the test can read back.
class HostTest : public ::testing::Test {
protected:
    void SetUp() override {
        simhost::Host::instance().reset();
        const ::testing::TestInfo* info = ::testing::UnitTest::GetInstance()->current_test_info();
        logPath_ = std::string("common_tests_") + info->test_suite_name() + "_" + info->name() + ".log";
        for (char& c : logPath_) {
            if (c == '/') c = '_';
        }
        OpenLog(logPath_.c_str());
    }
    void TearDown() override {
        CloseLog();
        std::remove(logPath_.c_str());
        simhost::Host::instance().reset();
    }
    std::string logText() const {
        if (logFile != nullptr) std::fflush(logFile);
        std::ifstream in(logPath_);
        std::stringstream text;
        text << in.rdbuf();
        return text.str();
    }

private:
    std::string logPath_;
};

// A datagram written byte by byte at literal offsets.
class Bytes {
public:
    Bytes(int32_t type, size_t size) : data_(size, 0) {
        if (size >= 4) put<int32_t>(0, type);
    }
    template <class T>
    Bytes& put(size_t offset, T value) {
        EXPECT_LE(offset + sizeof value, data_.size()) << "test writes outside its datagram";
        if (offset + sizeof value <= data_.size()) std::memcpy(data_.data() + offset, &value, sizeof value);
        return *this;
    }
    Bytes& putText(size_t offset, const char* text, size_t length) {
        EXPECT_LE(offset + length, data_.size());
        if (offset + length <= data_.size()) std::memcpy(data_.data() + offset, text, length);
        return *this;
    }
    Bytes& putName(size_t offset, const char* name) { return putText(offset, name, std::strlen(name) + 1); }
    const uint8_t* data() const { return data_.data(); }
    int size() const { return static_cast<int>(data_.size()); }
    std::vector<uint8_t>& raw() { return data_; }

private:
    std::vector<uint8_t> data_;
};

template <class T>
T Get(const uint8_t* bytes, size_t offset) {
    T value;
    std::memcpy(&value, bytes + offset, sizeof value);
    return value;
}

inline std::unique_ptr<Message> Create(const Bytes& bytes) {
    return std::unique_ptr<Message>(CreateMessage(bytes.data(), bytes.size()));
}

template <class M>
M* As(const std::unique_ptr<Message>& message) {
    return dynamic_cast<M*>(message.get());
}

// A generic vessel class the host can make without a module.
inline OBJHANDLE MakeVessel(const char* name, const char* rbody = "Earth") {
    // Registered again each time: a host reset may forget classes.
    simhost::GenericClassSpec shipClass;
    shipClass.interfaceVersion = 2;
    shipClass.propellantMasses = {1000.0};
    shipClass.dockPorts = 2;
    simhost::RegisterGenericClass("TestShip", shipClass);
    return CreateVesselAt(name, "TestShip", _V(7.0e6, 0.0, 0.0), _V(0.0, 7.5e3, 0.0), rbody);
}

// ---- Loopback sockets ----

// A module's socket on a port of 127.0.0.1, and raw reads and sends beside it.
class UdpSocket {
public:
    UdpSocket() {
        SocketSettings settings;
        settings.local = LoopbackAddressOn(0);
        EXPECT_EQ(SocketStep::kDone, socket_.Open(settings).failed);
        address_ = socket_.LocalAddress();
        s_ = socket_.Handle();
    }
    UdpSocket(const UdpSocket&) = delete;
    UdpSocket& operator=(const UdpSocket&) = delete;

    ::UdpSocket& socket() { return socket_; }
    SOCKET handle() const { return s_; }
    const sockaddr_in& address() const { return address_; }
    // The next datagram as the modules take them in (through the inbox),
    // waiting a bounded while for one.
    const ::UdpSocket::Datagram* next() {
        if (waitPending() == 0) return nullptr;
        ReceiveQueued(socket_);
        return socket_.Next();
    }
    // The next datagram, taken in as the modules take it in: its message
    // (held here until the next take; null when it is none, and why) and
    // its sender. One must arrive.
    struct Taken {
        Message* message = nullptr;
        Rejection why = Rejection::kNone;
        sockaddr_in from{};
    };
    Taken take() {
        Taken taken;
        const ::UdpSocket::Datagram* datagram = next();
        EXPECT_NE(nullptr, datagram) << "no datagram arrived";
        if (datagram == nullptr) return taken;
        if (received_ == nullptr) received_ = std::make_unique<ReceivedMessages>();
        taken.why = wire::CheckDatagram(datagram->bytes, datagram->length);
        taken.message = received_->Build(datagram->bytes, datagram->length, taken.why);
        taken.from = datagram->from;
        return taken;
    }

    // Bytes queued (all datagrams), waiting a bounded while for the first.
    unsigned long waitPending(int attempts = 2000) const {
        u_long pending = 0;
        for (int i = 0; i < attempts; ++i) {
            pending = 0;
            ioctlsocket(s_, FIONREAD, &pending);
            if (pending > 0) break;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return pending;
    }
    // One raw datagram; empty when none arrives.
    std::vector<uint8_t> readRaw() const {
        std::vector<uint8_t> buffer(wire::kMaxDatagram + 16);
        if (waitPending() == 0) return {};
        const int n = recvfrom(s_, reinterpret_cast<char*>(buffer.data()), static_cast<int>(buffer.size()), 0, nullptr,
                               static_cast<int*>(nullptr));
        buffer.resize(n > 0 ? static_cast<size_t>(n) : 0);
        return buffer;
    }
    void sendRaw(const sockaddr_in& to, const uint8_t* bytes, int length) const {
        sendto(s_, reinterpret_cast<const char*>(bytes), length, 0, reinterpret_cast<const sockaddr*>(&to),
               static_cast<int>(sizeof to));
    }

private:
    ::UdpSocket socket_;
    SOCKET s_ = INVALID_SOCKET;
    sockaddr_in address_{};
    std::unique_ptr<ReceivedMessages> received_;
};

}  // namespace helmtest
