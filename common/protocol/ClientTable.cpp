#include "ClientTable.h"

#include <algorithm>

// The unconfirmed addresses: a fixed open-addressing table (no allocation
// per Hello, however many come) and a ring of them in order of arrival,
// whose oldest leaves when the pool is full.
class ClientTable::Pool {
public:
    struct Entry {
        Endpoint endpoint;
        uint64_t serial = 0;  // 0: a free slot
        double lastHelloSeconds = 0.0;
        bool answerWanted = false;
        bool answered = false;
    };

    explicit Pool(size_t maxEntries) : max_(std::max<size_t>(1, maxEntries)) {
        size_t capacity = 2;
        while (capacity < 2 * max_) capacity *= 2;
        slots_.resize(capacity);
        mask_ = capacity - 1;
        order_.resize(max_);
    }

    Entry* Find(const Endpoint& endpoint) {
        for (size_t i = Home(endpoint.Key());; i = (i + 1) & mask_) {
            if (slots_[i].serial == 0) return nullptr;
            if (slots_[i].endpoint == endpoint) return &slots_[i];
        }
    }

    // A new entry, the oldest leaving first when the pool is full.
    Entry& Insert(const Endpoint& endpoint) {
        if (count_ == max_) {
            const Arrival oldest = order_[head_];
            head_ = (head_ + 1) % max_;
            --count_;
            Entry* entry = Find(oldest.endpoint);
            if (entry != nullptr && entry->serial == oldest.serial) Erase(*entry);
        }
        size_t i = Home(endpoint.Key());
        while (slots_[i].serial != 0) i = (i + 1) & mask_;
        Entry& entry = slots_[i];
        entry = Entry();
        entry.endpoint = endpoint;
        entry.serial = ++serial_;
        order_[(head_ + count_) % max_] = {endpoint, entry.serial};
        ++count_;
        ++size_;
        return entry;
    }

    // Backward-shift deletion: the entries after it move up, so a search
    // still stops at the first free slot.
    void Erase(Entry& entry) {
        size_t hole = static_cast<size_t>(&entry - slots_.data());
        slots_[hole].serial = 0;
        --size_;
        for (size_t j = (hole + 1) & mask_; slots_[j].serial != 0; j = (j + 1) & mask_) {
            const size_t home = Home(slots_[j].endpoint.Key());
            const bool stays = hole <= j ? (hole < home && home <= j) : (hole < home || home <= j);
            if (stays) continue;
            slots_[hole] = slots_[j];
            slots_[j].serial = 0;
            hole = j;
        }
    }

    size_t Size() const { return size_; }

private:
    struct Arrival {
        Endpoint endpoint;
        uint64_t serial = 0;
    };
    size_t Home(uint64_t key) const { return static_cast<size_t>((key * 0x9E3779B97F4A7C15ull) >> 20) & mask_; }

    size_t max_;
    size_t mask_ = 0;
    std::vector<Entry> slots_;
    std::vector<Arrival> order_;  // a ring: head_, count_
    size_t head_ = 0;
    size_t count_ = 0;
    size_t size_ = 0;
    uint64_t serial_ = 0;
};

ClientTable::ClientTable(const ClientRules& rules) : rules_(rules), pool_(new Pool(rules.maxUnconfirmed)) {
    clients_.reserve(static_cast<size_t>(std::max(rules_.maxClients, 0)) + 1);
    receivers_.reserve(clients_.capacity());
    // Twice the pool: when full, at least half are of addresses the pool
    // let go, so forgetting those is rare.
    answers_.reserve(2 * rules_.maxUnconfirmed + 1);
    answered_.reserve(answers_.capacity());
}

ClientTable::~ClientTable() = default;
ClientTable::ClientTable(ClientTable&&) noexcept = default;
ClientTable& ClientTable::operator=(ClientTable&&) noexcept = default;

size_t ClientTable::Unconfirmed() const { return pool_->Size(); }

int ClientTable::Find(const Endpoint& from) const {
    for (size_t i = 0; i < clients_.size(); ++i) {
        if (clients_[i].endpoint == from) return static_cast<int>(i);
    }
    return -1;
}

int ClientTable::CountAt(uint32_t address) const {
    return static_cast<int>(std::count_if(clients_.begin(), clients_.end(),
                                          [&](const Client& c) { return c.endpoint.address == address; }));
}

ClientTable::HelloVerdict ClientTable::Hello(const Endpoint& from, double now) {
    if (!rules_.allowed.Allows(from.address)) return HelloVerdict::kNotAllowed;
    if (Find(from) >= 0) return HelloVerdict::kAlreadyClient;
    Pool::Entry* entry = pool_->Find(from);
    if (entry == nullptr) entry = &pool_->Insert(from);
    entry->lastHelloSeconds = now;
    // One answer for the Hellos between two update ends.
    if (!entry->answerWanted) {
        if (answers_.size() == answers_.capacity()) ForgetGoneAnswers();
        if (answers_.size() < answers_.capacity()) {
            entry->answerWanted = true;
            answers_.push_back(from);
        }
    }
    return HelloVerdict::kAnswer;
}

ClientTable::AckVerdict ClientTable::Ack(const Endpoint& from, double now) {
    const int known = Find(from);
    if (known >= 0) {
        Client& client = clients_[static_cast<size_t>(known)];
        client.lastContactSeconds = now;
        ++client.acks;
        ++client.windowAcks;
        if (client.acksThisUpdate != kNotAwaited) ++client.acksThisUpdate;
        return AckVerdict::kCounted;
    }
    // Only an address that was answered, and lately, can be confirmed.
    Pool::Entry* entry = pool_->Find(from);
    if (entry == nullptr || !entry->answered || now - entry->lastHelloSeconds > rules_.silenceSeconds)
        return AckVerdict::kStranger;

    if (CountAt(from.address) >= rules_.maxClientsPerAddress) {
        const int worst = Displaceable(from.address, false);
        if (worst < 0) return AckVerdict::kRefused;
        Remove(static_cast<size_t>(worst), Leaving::kDisplaced);
    }
    if (clients_.size() >= static_cast<size_t>(std::max(rules_.maxClients, 0))) {
        const int worst = Displaceable(0, true);
        if (worst < 0) return AckVerdict::kRefused;
        Remove(static_cast<size_t>(worst), Leaving::kDisplaced);
    }
    pool_->Erase(*entry);
    Client client;
    client.endpoint = from;
    client.confirmedSeconds = now;
    client.lastContactSeconds = now;
    client.windowStartSeconds = now;
    clients_.push_back(client);
    return AckVerdict::kConfirmed;
}

int ClientTable::Displaceable(uint32_t address, bool anyAddress) const {
    int worst = -1;
    double worstShare = 0.5;  // only one that acknowledges fewer than half
    for (size_t i = 0; i < clients_.size(); ++i) {
        const Client& c = clients_[i];
        if (!anyAddress && c.endpoint.address != address) continue;
        const int32_t updates = c.windowUpdates + c.previousUpdates;
        // Too new to judge: it keeps its place.
        if (updates < 2 * kMinUpdatesToJudge) continue;
        const double share = static_cast<double>(c.windowAcks + c.previousAcks) / updates;
        if (share < worstShare) {
            worstShare = share;
            worst = static_cast<int>(i);
        }
    }
    return worst;
}

void ClientTable::Join() {
    bool changed = false;
    for (Client& client : clients_) {
        changed = changed || !client.joined;
        client.joined = true;
    }
    if (changed || receivers_.size() != clients_.size()) Rebuild();
}

void ClientTable::ForgetGoneAnswers() {
    size_t kept = 0;
    for (const Endpoint& endpoint : answers_) {
        const Pool::Entry* entry = pool_->Find(endpoint);
        if (entry != nullptr && entry->answerWanted) answers_[kept++] = endpoint;
    }
    answers_.resize(kept);
}

const std::vector<Endpoint>& ClientTable::TakeAnswers() {
    // Those no longer waiting (confirmed or gone meanwhile) are left out.
    answered_.clear();
    for (const Endpoint& endpoint : answers_) {
        Pool::Entry* entry = pool_->Find(endpoint);
        if (entry == nullptr || !entry->answerWanted) continue;
        entry->answerWanted = false;
        entry->answered = true;
        answered_.push_back(endpoint);
    }
    answers_.clear();
    return answered_;
}

void ClientTable::EndSent(double now) {
    for (size_t i = 0; i < clients_.size();) {
        Client& c = clients_[i];
        if (!c.joined) {
            ++i;
            continue;
        }
        c.acksThisUpdate = 0;
        ++c.windowUpdates;
        if (now - c.windowStartSeconds >= kAckWindowSeconds) {
            if (c.windowUpdates >= kMinUpdatesToJudge && c.windowAcks * 4 < c.windowUpdates) {
                Remove(i, Leaving::kFewAcks);
                continue;
            }
            c.previousUpdates = c.windowUpdates;
            c.previousAcks = c.windowAcks;
            c.windowUpdates = 0;
            c.windowAcks = 0;
            c.windowStartSeconds = now;
        }
        ++i;
    }
}

void ClientTable::DropSilent(double now) {
    for (size_t i = 0; i < clients_.size();) {
        if (now - clients_[i].lastContactSeconds > rules_.silenceSeconds) {
            Remove(i, Leaving::kSilent);
        } else {
            ++i;
        }
    }
}

std::vector<ClientTable::Departure> ClientTable::TakeDepartures() {
    std::vector<Departure> taken;
    taken.swap(departures_);
    return taken;
}

void ClientTable::Remove(size_t position, Leaving why) {
    departures_.push_back({clients_[position], position, why});
    clients_.erase(clients_.begin() + static_cast<std::ptrdiff_t>(position));
    Rebuild();
}

void ClientTable::Rebuild() {
    receivers_.clear();
    for (const Client& client : clients_) {
        if (client.joined) receivers_.push_back(client.endpoint);
    }
}
