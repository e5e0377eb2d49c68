#include "DownstreamPort.h"

#include "MasterAddress.h"
#include "WireRecords.h"

namespace {

// Acks, Hellos and keys of many clients between two turns of the loop.
constexpr int kReceiveBuffer = 1 << 20;
// Many updates for many clients on their way out.
constexpr int kSendBuffer = 4 << 20;

}  // namespace

bool DownstreamPort::Open(const sockaddr_in& listen, std::string& error) {
    SocketSettings settings;
    settings.local = listen;
    // Smaller buffers than asked for only mean losses under load, which the
    // slaves' figures then show.
    settings.receiveBuffer = kReceiveBuffer;
    settings.sendBuffer = kSendBuffer;
    const SocketSetup setup = socket_.Open(settings);
    if (setup.failed != SocketStep::kDone) {
        error = "cannot listen on " + AddressText(listen) + ": " + socket_.ErrorText(setup.error);
        if (socket_.AddressInUse(setup.error))
            error += " (a master or another relay there? choose another port with --listen)";
        socket_.Close();
        return false;
    }
    address_ = socket_.LocalAddress();
    // One byte more than the largest message, so a longer datagram shows.
    buffer_.assign(wire::kMaxDatagram + 1, 0);
    return true;
}

int DownstreamPort::Receive(sockaddr_in& from) { return socket_.ReceiveOne(buffer_.data(), wire::kMaxDatagram, from); }
