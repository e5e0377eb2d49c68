#include "MasterSubscription.h"

#include <cstddef>
#include <cstring>

#include "MasterTakeIn.h"
#include "WireRecords.h"

namespace {

// The modules ask for the same: room for many updates.
constexpr int kReceiveBuffer = 1000000;

bool OnLoopback(const sockaddr_in& address) { return (ntohl(address.sin_addr.s_addr) >> 24) == 127; }

}  // namespace

bool MasterSubscription::Open(const sockaddr_in& master, std::string& error) {
    master_ = master;
    SocketSettings settings;
    settings.local = OnLoopback(master) ? LoopbackAddressOn(0) : AnyLocalAddress(0);
    // A smaller buffer than asked for only means losses under load, which
    // the figures then show.
    settings.receiveBuffer = kReceiveBuffer;
    const SocketSetup setup = socket_.Open(settings);
    if (setup.failed != SocketStep::kDone) {
        error = "cannot bind a UDP socket: " + socket_.ErrorText(setup.error);
        socket_.Close();
        return false;
    }
    // One byte more than the largest message, so a longer datagram shows.
    buffer_.assign(wire::kMaxDatagram + 1, 0);
    return true;
}

void MasterSubscription::Send(int32_t type) {
    wire::HeaderRecord record{};
    record.header.type = type;
    SendToMaster(reinterpret_cast<const uint8_t*>(&record), sizeof record);
}

void MasterSubscription::SendToMaster(const uint8_t* message, int length) {
    if (!socket_.IsOpen() || length < static_cast<int>(sizeof(wire::Header)) || length > wire::kMaxDatagram) return;
    outgoing_.assign(message, message + length);
    const int32_t seq = sequence_;
    std::memcpy(outgoing_.data() + offsetof(wire::Header, seq), &seq, sizeof seq);
    sequence_ = static_cast<int32_t>(static_cast<uint32_t>(sequence_) + 1u);
    // A lost message is made good by the next one, as a slave's are.
    socket_.SendTo(outgoing_.data(), static_cast<int>(outgoing_.size()), master_);
}

void MasterSubscription::Renew(double now) {
    if (!socket_.IsOpen() || !subscription_.HelloDue(now)) return;
    Send(wire::kHello);
    subscription_.HelloSaid(now);
}

int MasterSubscription::Pump(Listener& listener, double now) {
    if (!socket_.IsOpen()) return 0;
    int read = 0;
    while (read < kMaxDatagramsPerPump) {
        sockaddr_in from{};
        // A datagram longer than any message shows as one byte longer than that.
        const int length = socket_.ReceiveOne(buffer_.data(), wire::kMaxDatagram, from);
        if (length < 0) break;  // nothing more queued, or a failed receive: the next pump tries again
        ++read;
        // The slave's screen: sender, then bytes; the listener judges the number.
        const MasterTakeIn::Outcome screened =
            MasterTakeIn::Screen(EndpointOf(master_), EndpointOf(from), buffer_.data(), length);
        if (screened.verdict == MasterTakeIn::Verdict::kForeign) {
            ++ignored_.foreign;
            continue;
        }
        if (screened.verdict == MasterTakeIn::Verdict::kNotMessage) {
            ++ignored_.notMessages;
            ignored_.lastRejection = screened.rejection;
            continue;
        }
        int32_t type;
        std::memcpy(&type, buffer_.data(), sizeof type);
        if (listener.OnMessage(buffer_.data(), length, now) && Subscription::AckOwedFor(type)) {
            Send(wire::kAck);
            ++acks_;
        }
    }
    return read;
}
