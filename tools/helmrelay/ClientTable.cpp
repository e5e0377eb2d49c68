#include "ClientTable.h"

ClientTable::Hello ClientTable::hello(const sockaddr_in& from, double now) {
    if (isClient(from)) return Hello::kAlreadyClient;
    if (clients_.size() >= static_cast<size_t>(maxClients_)) return Hello::kRefused;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr = from.sin_addr;
    address.sin_port = from.sin_port;
    index_[Key(address)] = clients_.size();
    clients_.push_back({address, now, now, 0, false});
    return Hello::kSubscribed;
}

bool ClientTable::ack(const sockaddr_in& from, double now) {
    const auto found = index_.find(Key(from));
    if (found == index_.end()) return false;
    Client& client = clients_[found->second];
    client.lastContact = now;
    ++client.acks;
    return true;
}

void ClientTable::admitNewcomers() {
    if (receivers_.size() == clients_.size()) return;
    for (Client& client : clients_) client.joined = true;
    rebuild();
}

std::vector<ClientTable::Client> ClientTable::dropSilent(double now) {
    std::vector<Client> dropped;
    for (size_t i = 0; i < clients_.size();) {
        if (now - clients_[i].lastContact > kTimeoutSeconds) {
            dropped.push_back(clients_[i]);
            clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(i));
        } else {
            ++i;
        }
    }
    if (!dropped.empty()) rebuild();
    return dropped;
}

void ClientTable::rebuild() {
    index_.clear();
    receivers_.clear();
    for (size_t i = 0; i < clients_.size(); ++i) {
        index_[Key(clients_[i].address)] = i;
        if (clients_[i].joined) receivers_.push_back(clients_[i].address);
    }
}
