// The relay's own clients, kept by the rules a master keeps its clients by:
// a HelloMessage subscribes an unknown sender while there is room, only an
// AckMessage renews a client, and a client that sent none for more than
// kTimeoutSeconds (since its last Ack or its subscription) is dropped and
// must subscribe again. A Hello from a client changes nothing.
//
// A new client joins the fan-out at the next update's start, so that its
// first update arrives whole, as a master's new client gets its next update.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <unordered_map>
#include <vector>

class ClientTable {
public:
    static constexpr double kTimeoutSeconds = 3.0;

    struct Client {
        sockaddr_in address;
        double subscribedAt;
        double lastContact;  // its last Ack, or its subscription
        int64_t acks;
        bool joined;  // receives the master's datagrams
    };

    enum class Hello { kSubscribed, kAlreadyClient, kRefused };

    explicit ClientTable(int maxClients) : maxClients_(maxClients) {}

    Hello hello(const sockaddr_in& from, double now);
    // False when the sender is no client (the Ack is then ignored).
    bool ack(const sockaddr_in& from, double now);
    bool isClient(const sockaddr_in& from) const { return index_.count(Key(from)) != 0; }
    // Clients that subscribed since the last update started receive from now on.
    void admitNewcomers();
    // Drops every client silent for too long; the ones dropped.
    std::vector<Client> dropSilent(double now);

    const std::vector<Client>& clients() const { return clients_; }
    // Where the master's datagrams go: the joined clients, in table order.
    const std::vector<sockaddr_in>& receivers() const { return receivers_; }
    int maxClients() const { return maxClients_; }

private:
    static uint64_t Key(const sockaddr_in& address) {
        return (static_cast<uint64_t>(address.sin_addr.s_addr) << 16) | address.sin_port;
    }
    void rebuild();

    int maxClients_;
    std::vector<Client> clients_;
    std::vector<sockaddr_in> receivers_;
    std::unordered_map<uint64_t, size_t> index_;  // position in clients_
};
