// Made-up system calls for the socket layer: every receive reports a reset
// until `resets` have been reported, then fails with `failure` (when not 0)
// or brings one datagram of one byte, then nothing. Sends and set-up succeed.
#pragma once

#include <string>

#include "SocketCalls.h"

class ScriptedSocketCalls final : public SocketCalls {
public:
    explicit ScriptedSocketCalls(int resets, int failure = 0) : resets_(resets), failure_(failure) {}
    int Create(SocketHandle& socket) const override {
        socket = 7;
        return 0;
    }
    void Close(SocketHandle) const override {}
    int KeepExclusive(SocketHandle) const override { return 0; }
    int Bind(SocketHandle, const sockaddr_in&) const override { return 0; }
    int SetBuffer(SocketHandle, SocketBuffer, int) const override { return 0; }
    int IgnoreResets(SocketHandle) const override { return 0; }
    int SetNonBlocking(SocketHandle) const override { return 0; }
    int LocalAddress(SocketHandle, sockaddr_in&) const override { return 0; }
    SocketTransfer ReceiveFrom(SocketHandle, uint8_t* buffer, int, sockaddr_in& from) const override {
        if (reported_ < resets_) {
            ++reported_;
            return {SocketOutcome::kReset, 0, 10054};
        }
        if (failure_ != 0) return {SocketOutcome::kFailed, 0, failure_};
        if (delivered_) return {SocketOutcome::kNothingQueued, 0, 10035};
        delivered_ = true;
        buffer[0] = 42;
        from.sin_port = htons(4321);
        return {SocketOutcome::kDone, 1, 0};
    }
    SocketTransfer SendTo(SocketHandle, const uint8_t*, int, const sockaddr_in&) const override { return {}; }
    int SendBatch(SocketHandle, const OutgoingDatagram*, int count, SocketTransfer&) const override { return count; }
    int Poll(SocketReadiness*, size_t, int) const override { return 0; }
    bool AddressInUse(int) const override { return false; }
    std::string ErrorText(int) const override { return "made up"; }

private:
    int resets_;
    int failure_;
    mutable int reported_ = 0;
    mutable bool delivered_ = false;
};
