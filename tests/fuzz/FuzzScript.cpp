#include "FuzzScript.h"

namespace fuzz {

ScriptReader::ScriptReader(const uint8_t* data, size_t size) : data_(data), size_(size) {
    if (size_ > 0) {
        configuration_ = data_[0];
        at_ = 1;
    }
}

bool ScriptReader::next(ScriptEvent& event) {
    uint8_t tag = 0;
    do {
        if (at_ >= size_ || events_ >= kMaxEvents) return false;
        ++events_;
        tag = data_[at_++];
    } while ((tag & 3) == 1 && ++hostSteps_ > kMaxHostSteps);
    event = ScriptEvent();
    event.argument = tag >> 2;
    switch (tag & 3) {
        case 0: {
            event.kind = ScriptEvent::Kind::kDatagram;
            size_t length = 0;
            for (int i = 0; i < 2 && at_ < size_; ++i) length |= static_cast<size_t>(data_[at_++]) << (8 * i);
            if (length > size_ - at_) length = size_ - at_;
            event.bytes = data_ + at_;
            event.length = length;
            at_ += length;
            break;
        }
        case 1:
            event.kind = ScriptEvent::Kind::kHostStep;
            break;
        case 2:
            event.kind = ScriptEvent::Kind::kClockAdvance;
            break;
        default:
            event.kind = ScriptEvent::Kind::kKey;
            break;
    }
    return true;
}

ScriptWriter& ScriptWriter::tag(int kind, int argument) {
    bytes_.push_back(static_cast<uint8_t>(((argument & 0x3F) << 2) | (kind & 3)));
    return *this;
}

ScriptWriter& ScriptWriter::datagram(int peer, const void* bytes, size_t length) {
    tag(0, peer);
    bytes_.push_back(static_cast<uint8_t>(length & 0xFF));
    bytes_.push_back(static_cast<uint8_t>((length >> 8) & 0xFF));
    const uint8_t* p = static_cast<const uint8_t*>(bytes);
    bytes_.insert(bytes_.end(), p, p + length);
    return *this;
}

}  // namespace fuzz
