// Message objects, the size rule, the transport and keyboard sharing.
//
// A message object's payload is the wire record, byte for byte: what is sent
// is the first size() bytes. Vessel messages keep a host record beside the
// payload: the receipt fix-up puts local handles, list pointers and the
// carried-forward position there, and the slave applies that record.
#pragma once

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "Platform.h"
#include "UdpSocket.h"
#include "WireCheck.h"
#include "WireRecords.h"

// ---- Size rule ----
// The wire size of a record from its header (and, for a scenario-text
// message, its text length); -1 for a type outside the catalogue (logged
// "Unhandled message type %d") or a text length outside 0 to 65,536.
// `available` is how many bytes of `record` may be read.
int PayloadSize(const void* record, int available);

class Message {
public:
    virtual int size() const;
    virtual ~Message() = default;

    int32_t type() const;
    int32_t seq() const;
    void setSeq(int32_t seq);
    uint8_t* payload() { return payload_; }
    const uint8_t* payload() const { return payload_; }

    Message(const Message&) = delete;
    Message& operator=(const Message&) = delete;

protected:
    Message(void* payload, int capacity) : payload_(static_cast<uint8_t*>(payload)), capacity_(capacity) {}

private:
    uint8_t* payload_;
    int capacity_;
};

// A position captured at `capturedMjd` moved on to the local date along its
// velocity: the time the record spent in transit, and any difference
// between the two simulation dates.
void CarryForward(VECTOR3& position, const VECTOR3& velocity, double capturedMjd);

template <class Record, int32_t Code>
class RecordMessage : public Message {
public:
    static constexpr int32_t kType = Code;
    using RecordType = Record;
    Record& record() { return record_; }
    const Record& record() const { return record_; }

    // Refills the object from a received datagram: only the datagram's
    // bytes are copied, then the copy is made safe (counts cut, names
    // terminated) before anything reads it.
    void TakeIn(const uint8_t* datagram, int length);

    // For sending: the whole record zeroed, then the type.
    RecordMessage();
    // The same for a message refilled for sending.
    void Clear();

private:
    alignas(8) Record record_;
};

class HelloMessage : public RecordMessage<wire::HeaderRecord, wire::kHello> {};

class AckMessage : public RecordMessage<wire::HeaderRecord, wire::kAck> {};

class EndMessage : public RecordMessage<wire::HeaderRecord, wire::kEnd> {};

class StartMessage : public RecordMessage<wire::StartRecord, wire::kStart> {};

class FocusMessage : public RecordMessage<wire::FocusRecord, wire::kFocus> {};

class VesselMessage : public RecordMessage<wire::VesselRecord, wire::kVessel> {
public:
    // An empty record, to fill (tests, tools) or take a datagram in; `status` zero.
    VesselMessage() : status() {}
    // Capture from a live vessel (master), into a new object or this one.
    explicit VesselMessage(OBJHANDLE vessel) : status() { Capture(vessel); }
    void Capture(OBJHANDLE vessel);
    void TakeIn(const uint8_t* datagram, int length);

    VESSELSTATUS status;  // host record, valid after receipt
};

class Vessel2Message : public RecordMessage<wire::Vessel2Record, wire::kVessel2> {
public:
    Vessel2Message() : status2(), fuel(), thrusters(), docks() {}
    explicit Vessel2Message(OBJHANDLE vessel) : status2(), fuel(), thrusters(), docks() { Capture(vessel); }
    void Capture(OBJHANDLE vessel);
    void TakeIn(const uint8_t* datagram, int length);

    // Host record and its lists, valid after receipt; the list pointers of
    // `status2` point at the lists below.
    VESSELSTATUS2 status2;
    VESSELSTATUS2::FUELSPEC fuel[wire::kMaxPropellants];
    VESSELSTATUS2::THRUSTSPEC thrusters[wire::kMaxThrusters];
    VESSELSTATUS2::DOCKINFOSPEC docks[wire::kMaxDocks];
};

class AirfoilMessage : public RecordMessage<wire::AirfoilRecord, wire::kAirfoil> {
public:
    AirfoilMessage() = default;
    explicit AirfoilMessage(OBJHANDLE vessel);
};

class XRMessage : public RecordMessage<wire::XRRecord, wire::kXR> {
public:
    XRMessage() = default;
    explicit XRMessage(OBJHANDLE vessel);
    void TakeIn(const uint8_t* datagram, int length) {
        RecordMessage::TakeIn(datagram, length);
        xrValid = true;
    }

    bool xrValid = false;  // not transmitted
};

class VesselStateMessage : public RecordMessage<wire::VesselStateRecord, wire::kVesselState> {
public:
    VesselStateMessage() = default;
    // Capture from a live vessel (master), into a new object or this one.
    explicit VesselStateMessage(OBJHANDLE vessel) { Capture(vessel); }
    void Capture(OBJHANDLE vessel);

    // How the capture went (not transmitted): only a done capture is sent.
    enum class TextCapture { kDone, kNoText, kFileUnavailable, kTooLong };
    TextCapture capture = TextCapture::kDone;
    size_t textBytes = 0;  // the text's length, also when it was too long to keep
};

class KeyboardMessage : public RecordMessage<wire::KeyboardRecord, wire::kKeyboard> {};

class VesselExtraMessage : public RecordMessage<wire::VesselExtraRecord, wire::kVesselExtra> {
public:
    VesselExtraMessage() = default;
    explicit VesselExtraMessage(OBJHANDLE vessel);
};

class AnimationMessage : public RecordMessage<wire::AnimationRecord, wire::kAnimation> {
public:
    AnimationMessage() = default;
    explicit AnimationMessage(OBJHANDLE vessel);
};

// ---- Transport ----
// The module's send counter: stamped into `seq` of every message it sends.
extern int32_t sendSequence;

using wire::Rejection;
using wire::RejectionText;

// Checks a datagram (length against its type, counts, names, values that
// are applied, date offsets) and builds its message object as
// ReceivedMessages does, in an object the caller owns; null, and why, when
// it is not a message.
Message* CreateMessage(const uint8_t* datagram, int length, Rejection& why);
Message* CreateMessage(const uint8_t* datagram, int length);

// One object of each kind, refilled by every datagram of that kind that
// arrives, so that taking a datagram in allocates nothing. A message taken
// is valid until the next datagram of its kind.
class ReceivedMessages {
public:
    // A datagram judged first by the protocol core's checks (MasterTakeIn,
    // ClientTakeIn, or CheckDatagram alone): `why` is that judgement. A
    // message (kNone) is built as CreateMessage builds it, with its receipt
    // fix-up and what only this host can judge (null, and why, when its
    // values cannot be applied here); anything else is null, an unknown type
    // told in the log.
    Message* Build(const uint8_t* datagram, int length, Rejection& why);

private:
#define HELM_RECEIVED_SLOT(name, code, Record, Class) Class Class##_;
    HELM_MESSAGE_KINDS(HELM_RECEIVED_SLOT)
#undef HELM_RECEIVED_SLOT
};

// Takes what is queued on a module's socket into its inbox (see UdpSocket.h);
// a failed read is logged "recvfrom() error: %d", at most once a second.
// False when a read failed.
bool ReceiveQueued(UdpSocket& socket);

// One message to every client, one `seq` value for all copies.
// `clients` is any sequence of entries for which AddressOf gives the
// address: plain addresses, or the master's client table.
template <class Clients = std::vector<sockaddr_in>>
void SendToClients(UdpSocket& socket, const Clients& clients, Message& message);
// The same message, with the same `seq`, to two lists.
template <class Clients, class Others>
void SendToClients(UdpSocket& socket, const Clients& clients, const Others& others, Message& message);
inline const sockaddr_in& AddressOf(const sockaddr_in& client) { return client; }
// The parts of a send to many: the bytes a message sends, one datagram to
// one address, and the counter's step once the message went to everyone.
int SendLength(const Message& message);
void SendDatagram(UdpSocket& socket, const sockaddr_in& to, const Message& message, int length);
void AdvanceSendSequence();
// One message to the master, with the next `seq` value.
void SendToMaster(UdpSocket& socket, const sockaddr_in& masterAddr, Message& message);

// ---- Keyboard sharing ----
// Which key events of one sender have been replayed, by the message's
// number: on a link that reorders, a key's release must not be followed by
// its older press (the key would stay down).
class KeyOrder {
public:
    // True when `seq` is not older than the last event replayed for `scanCode`;
    // it is then the last one.
    bool Take(uint32_t scanCode, int32_t seq);
    void Reset();

private:
    int32_t last_[256] = {};
    bool seen_[256] = {};
};

// The module's keyboard hook, the events it recorded and the keys replayed.
//
// Threads: the system calls the hook procedure (hookproc) on the thread that
// reads the host's window messages, which is the thread that runs the
// host's simulation steps. So events are recorded between two steps, never
// during one, and the step reads, sends and clears them without a lock.
// Where the system also runs a global hook inside other programs, each has
// its own copy of this state, which nothing there sends.
class SharedKeyboard {
public:
    // Installs the system-wide hook of the module file `moduleFileName`
    // ("Helmcast.dll" or "Helmecho.dll"); logs "Unable to install keyboard
    // hook" on failure.
    void Install(const char* moduleFileName);
    // Removes the hook, and forgets what it recorded and which replayed keys
    // are down: a new simulation starts with none.
    void Remove();
    bool Installed() const { return hook_ != nullptr; }
    HHOOK Hook() const { return hook_; }

    // One event as the hook sees it; the 17th of a batch is lost.
    void Record(int code, WPARAM wParam, LPARAM lParam);
    // The events recorded since the last Sent(); the send numbers it.
    KeyboardMessage& Recorded() { return recorded_; }
    // After each send every entry is zeroed, so no old key travels behind
    // the count.
    void Sent();

    // Replays the message's key events on the focus vessel; with `order`,
    // an event older than one already replayed for the same key is dropped.
    void Replay(const KeyboardMessage& message, KeyOrder* order = nullptr);
    // Whether a replayed key is down (the state the focus vessel is given).
    bool Down(uint32_t scanCode) const { return keyState_[scanCode & 0xFFu] != 0; }

private:
    KeyboardMessage recorded_;
    HHOOK hook_ = nullptr;
    unsigned char keyState_[256] = {};
};
// The one per module: a hook procedure has no context but its module's.
extern SharedKeyboard sharedKeyboard;
HELM_EXPORT LRESULT CALLBACK hookproc(int code, WPARAM wParam, LPARAM lParam);

// ---- Template members ----
template <class Clients>
void SendToClients(UdpSocket& socket, const Clients& clients, Message& message) {
    const int length = SendLength(message);
    message.setSeq(sendSequence);  // the same number for every copy
    for (const auto& client : clients) SendDatagram(socket, AddressOf(client), message, length);
    AdvanceSendSequence();
}

template <class Clients, class Others>
void SendToClients(UdpSocket& socket, const Clients& clients, const Others& others, Message& message) {
    const int length = SendLength(message);
    message.setSeq(sendSequence);
    for (const auto& client : clients) SendDatagram(socket, AddressOf(client), message, length);
    for (const auto& other : others) SendDatagram(socket, AddressOf(other), message, length);
    AdvanceSendSequence();
}

template <class Record, int32_t Code>
RecordMessage<Record, Code>::RecordMessage() : Message(&record_, static_cast<int>(sizeof(Record))) {
    Clear();
}

template <class Record, int32_t Code>
void RecordMessage<Record, Code>::Clear() {
    std::memset(static_cast<void*>(&record_), 0, sizeof record_);
    record_.header.type = Code;
}

template <class Record, int32_t Code>
void RecordMessage<Record, Code>::TakeIn(const uint8_t* datagram, int length) {
    const size_t bytes = length < 0 ? 0 : (static_cast<size_t>(length) < sizeof(Record) ? length : sizeof(Record));
    // A shorter datagram (scenario text) leaves the rest of the record
    // unread; zeroing it would cost as much as copying it.
    std::memcpy(static_cast<void*>(&record_), datagram, bytes);
    wire::MakeSafe(record_);
}
