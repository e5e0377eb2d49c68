// VESSEL::SetAnimation, the host entry that a plug-in may replace through
// the function-replacement library.
#include <cstring>

#include "platform/PlatformServices.h"
#include "VesselAPI.h"
#include "World.h"

namespace simhost {

void* SetAnimationEntry() {
    // The code address sits in the first word of a non-virtual member
    // pointer, which is how a plug-in names this entry to the library.
    static void* const entry = [] {
        auto member = &VESSEL::SetAnimation;
        void* address = nullptr;
        std::memcpy(&address, &member, sizeof address);
        return address;
    }();
    return entry;
}

}  // namespace simhost

bool VESSEL::SetAnimation(UINT anim, double state) const {
    void* entry = simhost::SetAnimationEntry();
    if (void* replacement = simhost::ReplacementFor(entry)) {
        // The replacement is a member function with this one's signature,
        // called on the same object; calls it makes to this entry reach the
        // code below.
        using Member = bool (VESSEL::*)(UINT, double) const;
        Member member = nullptr;
        static_assert(sizeof member >= sizeof replacement, "member pointer holds a code address");
        std::memcpy(&member, &replacement, sizeof replacement);  // adjustment word stays 0
        simhost::ReplacementScope scope(entry);
        return (this->*member)(anim, state);
    }
    if (vessel == nullptr || anim >= vessel->animations.size()) return false;
    vessel->animations[anim].state = state;
    return true;
}
