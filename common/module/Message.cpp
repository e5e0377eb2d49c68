// Message objects, the size rule, the receipt fix-ups, the transport and the
// keyboard sharing. Log lines of all of these carry this file's name.
#include "Message.h"

#include <cmath>
#include <new>
#include <type_traits>

#include "KeyEvent.h"
#include "Log.h"
#include "ProtocolConstants.h"
#include "SequenceWindow.h"
#include "ThrottledReport.h"
#include "WireCodec.h"

namespace {

using protocol::kSecondsPerDay;
using wire::kScanCodeMask;
using wire::kScanCodeShift;
using wire::kTransitionBit;
constexpr unsigned char kKeyDown = 0x80;

int32_t ReadInt32(const void* bytes, size_t offset) {
    int32_t value;
    std::memcpy(&value, static_cast<const uint8_t*>(bytes) + offset, sizeof value);
    return value;
}

bool Finite(const VECTOR3& v) { return std::isfinite(v.x) && std::isfinite(v.y) && std::isfinite(v.z); }

// A date that the receiver would set or carry a state by: the offset to the
// local date must be a number of seconds, so a date like 1e305 is refused.
bool DateOffsetFinite(double mjd) { return std::isfinite((mjd - oapiGetSimMJD()) * kSecondsPerDay); }

// A flood of unknown types must not fill the disk: the first is logged, then
// at most one line a second with how many came.
void ReportUnknownType(int32_t type) {
    static ThrottledReport report;
    report.Count(0, 0);
    const double now = oapiGetSysTime();
    if (!report.Due(now)) return;
    const int32_t count = report.Take(now).count;
    if (count == 1) {
        LOG("Unhandled message type %d", type);
    } else {
        LOG("Unhandled message type %d (%d datagrams of unknown types since the last line)", type, count);
    }
}

// A handle of this host for a name that came over the wire; zero on the wire
// stays zero and its name is not looked at.
OBJHANDLE LocalObject(uint32_t wireHandle, wire::Name& name) {
    return wireHandle != 0 ? oapiGetObjectByName(name) : nullptr;
}

// What only the receiving host can judge, once the record is made safe and
// fixed up: a date must lie a finite number of seconds from ours, and a
// position carried forward by such an offset must stay a number.
template <class M>
bool Admissible(const M&) {
    return true;
}
bool Admissible(const StartMessage& m) { return DateOffsetFinite(m.record().mjd); }
bool Admissible(const VesselStateMessage& m) { return DateOffsetFinite(m.record().mjd); }
bool Admissible(const VesselMessage& m) { return Finite(m.status.rpos); }
bool Admissible(const Vessel2Message& m) { return Finite(m.status2.rpos); }

// Whether the protocol core's judgement `why` let the datagram through; the
// log line of an unknown type when it did not for that reason.
bool Passed(const uint8_t* datagram, Rejection why) {
    if (why == Rejection::kUnknownType) ReportUnknownType(ReadInt32(datagram, offsetof(wire::Header, type)));
    return why == Rejection::kNone;
}

// A received object refilled, and what only this host can judge.
template <class M>
Message* Refill(M& message, const uint8_t* datagram, int length, Rejection& why) {
    message.TakeIn(datagram, length);
    if (!Admissible(message)) {
        why = Rejection::kBadValues;
        return nullptr;
    }
    return &message;
}

// The same into an object of its own, which the caller then owns.
template <class M>
Message* Build(const uint8_t* datagram, int length, Rejection& why) {
    M* message = new (std::nothrow) M;
    if (message == nullptr) {
        why = Rejection::kNoMemory;
        return nullptr;
    }
    if (Refill(*message, datagram, length, why) == nullptr) {
        delete message;
        return nullptr;
    }
    return message;
}

// Every class carries the record and code the list gives it.
#define HELM_CLASS_MATCHES(name, code, Record, Class)                                                 \
    static_assert(Class::kType == wire::name && std::is_same<Class::RecordType, wire::Record>::value, \
                  #Class " carries " #Record);
HELM_MESSAGE_KINDS(HELM_CLASS_MATCHES)
#undef HELM_CLASS_MATCHES

}  // namespace

// ---- Size rule ----

int PayloadSize(const void* record, int available) {
    const int size = wire::RecordSize(record, available);
    if (size < 0 && available >= static_cast<int>(sizeof(wire::Header))) {
        const int32_t type = ReadInt32(record, offsetof(wire::Header, type));
        if (!wire::KnownType(type)) ReportUnknownType(type);
    }
    return size;
}

// ---- Message ----

int Message::size() const { return PayloadSize(payload_, capacity_); }

int32_t Message::type() const { return ReadInt32(payload_, offsetof(wire::Header, type)); }

int32_t Message::seq() const { return ReadInt32(payload_, offsetof(wire::Header, seq)); }

void Message::setSeq(int32_t seq) { std::memcpy(payload_ + offsetof(wire::Header, seq), &seq, sizeof seq); }

// ---- Receipt fix-ups ----

void CarryForward(VECTOR3& position, const VECTOR3& velocity, double capturedMjd) {
    const double dt = (oapiGetSimMJD() - capturedMjd) * kSecondsPerDay;
    position.x += dt * velocity.x;
    position.y += dt * velocity.y;
    position.z += dt * velocity.z;
}

namespace {

// What both kinds of state take on receipt: decoded, this host's handles
// for the names, carried forward to this host's date.
template <class Status, class WireStatus, class Record>
void ReceiveStatus(Status& status, const WireStatus& in, Record& r, void (*decode)(const WireStatus&, Status&)) {
    std::memset(static_cast<void*>(&status), 0, sizeof status);
    decode(in, status);
    status.rbody = LocalObject(in.rbody, r.rbodyName);
    status.base = LocalObject(in.base, r.baseName);
    CarryForward(status.rpos, status.rvel, r.mjd);
}

}  // namespace

void VesselMessage::TakeIn(const uint8_t* datagram, int length) {
    RecordMessage::TakeIn(datagram, length);
    ReceiveStatus(status, record().status, record(), wire::DecodeStatus);
}

void Vessel2Message::TakeIn(const uint8_t* datagram, int length) {
    RecordMessage::TakeIn(datagram, length);
    wire::Vessel2Record& r = record();
    ReceiveStatus(status2, r.status2, r, wire::DecodeStatus2);
    status2.fuel = fuel;
    status2.thruster = thrusters;
    status2.dockinfo = docks;
    // The counts were cut to the capacities when the record was made safe.
    for (uint32_t i = 0; i < r.status2.nfuel; ++i) {
        fuel[i].idx = r.fuelLevels[i].idx;
        fuel[i].level = r.fuelLevels[i].level;
    }
    for (uint32_t i = 0; i < r.status2.nthruster; ++i) {
        thrusters[i].idx = r.thrusterLevels[i].idx;
        thrusters[i].level = r.thrusterLevels[i].level;
    }
    for (uint32_t i = 0; i < r.status2.ndockinfo; ++i) {
        docks[i].idx = r.dockInfo[i].idx;
        docks[i].ridx = r.dockInfo[i].ridx;
        docks[i].rvessel = r.dockInfo[i].rvessel != 0 ? oapiGetVesselByName(r.dockVesselNames[i]) : nullptr;
    }
}

// ---- Transport ----

int32_t sendSequence = 0;

Message* CreateMessage(const uint8_t* datagram, int length) {
    Rejection why;
    return CreateMessage(datagram, length, why);
}

Message* CreateMessage(const uint8_t* datagram, int length, Rejection& why) {
    // The protocol core's checks of its bytes, then its class's TakeIn
    // (copy, counts cut, names ended, fix-up) and what only this host can
    // judge, as for a refilled object. Readers of the message rely on it.
    why = wire::CheckDatagram(datagram, length);
    if (!Passed(datagram, why)) return nullptr;
    switch (ReadInt32(datagram, offsetof(wire::Header, type))) {
#define HELM_FACTORY_CASE(name, code, Record, Class) \
    case wire::name:                                 \
        return Build<Class>(datagram, length, why);
        HELM_MESSAGE_KINDS(HELM_FACTORY_CASE)
#undef HELM_FACTORY_CASE
        default:
            // The checks above never let an unknown type through.
            why = Rejection::kUnknownType;
            return nullptr;
    }
}

Message* ReceivedMessages::Build(const uint8_t* datagram, int length, Rejection& why) {
    if (!Passed(datagram, why)) return nullptr;
    switch (ReadInt32(datagram, offsetof(wire::Header, type))) {
#define HELM_REFILL_CASE(name, code, Record, Class) \
    case wire::name:                                \
        return Refill(Class##_, datagram, length, why);
        HELM_MESSAGE_KINDS(HELM_REFILL_CASE)
#undef HELM_REFILL_CASE
        default:
            why = Rejection::kUnknownType;
            return nullptr;
    }
}

bool ReceiveQueued(UdpSocket& socket) {
    const UdpSocket::ReceiveResult result = socket.Receive();
    if (result.error == 0) return true;
    // An error that comes back at every step must not fill the disk.
    static double lastLine = -1.0e300;
    const double now = oapiGetSysTime();
    if (now < lastLine || now - lastLine >= 1.0) {
        LOG("recvfrom() error: %d", result.error);
        lastLine = now;
    }
    return false;
}

int SendLength(const Message& message) {
    const int length = message.size();
    return length < 0 ? 0 : length;
}

void SendDatagram(UdpSocket& socket, const sockaddr_in& to, const Message& message, int length) {
    // A datagram the system refuses is lost as one the link loses; the
    // receivers' loss figures tell it.
    if (length > 0) socket.SendTo(message.payload(), length, to);
}

void AdvanceSendSequence() {
    // The counter counts messages, not datagrams; it wraps rather than overflows.
    sendSequence = static_cast<int32_t>(static_cast<uint32_t>(sendSequence) + 1u);
}

void SendToMaster(UdpSocket& socket, const sockaddr_in& masterAddr, Message& message) {
    message.setSeq(sendSequence);
    AdvanceSendSequence();
    SendDatagram(socket, masterAddr, message, SendLength(message));
}

// ---- Keyboard sharing ----

SharedKeyboard sharedKeyboard;

void SharedKeyboard::Install(const char* moduleFileName) {
    hook_ = SetWindowsHookExA(WH_KEYBOARD, hookproc, GetModuleHandleA(moduleFileName), 0);
    if (hook_ == nullptr) LOG("Unable to install keyboard hook");
}

void SharedKeyboard::Remove() {
    if (hook_ != nullptr) UnhookWindowsHookEx(hook_);
    hook_ = nullptr;
    Sent();
    std::memset(keyState_, 0, sizeof keyState_);
}

void SharedKeyboard::Sent() {
    wire::KeyboardRecord& keys = recorded_.record();
    keys.keyCount = 0;
    std::memset(keys.keys, 0, sizeof keys.keys);
}

void SharedKeyboard::Record(int code, WPARAM wParam, LPARAM lParam) {
    if (code < 0) return;
    wire::KeyboardRecord& keys = recorded_.record();
    const int32_t n = wire::CutCount(keys.keyCount, wire::kMaxKeys);
    // The hook may see one event twice (looked at, then removed); only the
    // last event of this batch counts as the same one.
    const wire::KeyEntry event{code, static_cast<int32_t>(wParam), static_cast<int32_t>(lParam)};
    if (n > 0) {
        const wire::KeyEntry& last = keys.keys[n - 1];
        if (last.hookCode == event.hookCode && last.virtualKey == event.virtualKey && last.keyFlags == event.keyFlags) {
            return;
        }
    }
    if (n >= wire::kMaxKeys) return;
    keys.keys[n] = event;
    keys.keyCount = n + 1;
}

void SharedKeyboard::Replay(const KeyboardMessage& message, KeyOrder* order) {
    const wire::KeyboardRecord& keys = message.record();
    const int32_t count = wire::CutCount(keys.keyCount, wire::kMaxKeys);
    for (int32_t i = 0; i < count; ++i) {
        const uint32_t flags = static_cast<uint32_t>(keys.keys[i].keyFlags);
        const DWORD key = (flags >> kScanCodeShift) & kScanCodeMask;
        if (order != nullptr && !order->Take(key, message.seq())) continue;
        // The transition bit alone tells a release, whatever the context bit
        // (Alt held) says.
        const bool down = (flags & kTransitionBit) == 0;
        keyState_[key] = down ? kKeyDown : 0;
        VESSEL* focus = oapiGetFocusInterface();
        if (focus != nullptr) focus->SendBufferedKey(key, down, reinterpret_cast<char*>(keyState_));
    }
}

bool KeyOrder::Take(uint32_t scanCode, int32_t seq) {
    const uint32_t key = scanCode & kScanCodeMask;
    if (seen_[key] && SequenceAfter(last_[key], seq)) return false;
    seen_[key] = true;
    last_[key] = seq;
    return true;
}

void KeyOrder::Reset() {
    std::memset(seen_, 0, sizeof seen_);
    std::memset(last_, 0, sizeof last_);
}

LRESULT CALLBACK hookproc(int code, WPARAM wParam, LPARAM lParam) {
    sharedKeyboard.Record(code, wParam, lParam);
    return CallNextHookEx(sharedKeyboard.Hook(), code, wParam, lParam);
}
