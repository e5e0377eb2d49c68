// The keyboard hook chain every key event passes through, newest hook first.
// A delivery walks a snapshot of the chain, so a hook procedure may unhook
// itself or others while it runs; an unhooked procedure is not called again.
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

#include "PlatformServices.h"

namespace simhost {
namespace {

struct KeyHook {
    uintptr_t id;
    HOOKPROC procedure;
    bool removed = false;
};
using HookChain = std::vector<std::shared_ptr<KeyHook>>;

std::mutex hooksMutex;
HookChain hooks;  // newest first
uintptr_t lastHookId = 0;

// The delivery running on this thread: its chain and the hook now called.
struct Delivery {
    const HookChain* chain;
    size_t current;
};
thread_local Delivery* runningDelivery = nullptr;

bool IsRemoved(const KeyHook& hook) {
    std::lock_guard<std::mutex> lock(hooksMutex);
    return hook.removed;
}

// Calls the first hook still installed at or after `from`; 0 at the end.
LRESULT CallFrom(Delivery& delivery, size_t from, int code, WPARAM wParam, LPARAM lParam) {
    for (size_t i = from; i < delivery.chain->size(); ++i) {
        const KeyHook& hook = *(*delivery.chain)[i];
        if (IsRemoved(hook)) continue;
        size_t previous = delivery.current;
        delivery.current = i;
        LRESULT result = hook.procedure(code, wParam, lParam);
        delivery.current = previous;
        return result;
    }
    return 0;
}

}  // namespace

bool KeyHooksDeliver(int code, WPARAM wParam, LPARAM lParam) {
    HookChain snapshot;
    {
        std::lock_guard<std::mutex> lock(hooksMutex);
        snapshot = hooks;
    }
    Delivery delivery{&snapshot, 0};
    Delivery* outer = runningDelivery;
    runningDelivery = &delivery;
    LRESULT result = CallFrom(delivery, 0, code, wParam, lParam);
    runningDelivery = outer;
    return result != 0;
}

void KeyHooksClear() {
    std::lock_guard<std::mutex> lock(hooksMutex);
    for (auto& hook : hooks) hook->removed = true;
    hooks.clear();
}

}  // namespace simhost

HHOOK SetWindowsHookExA(int hookType, HOOKPROC procedure, HINSTANCE /*module*/, DWORD /*threadId*/) {
    using namespace simhost;
    if (hookType != WH_KEYBOARD || procedure == nullptr) return nullptr;
    std::lock_guard<std::mutex> lock(hooksMutex);
    auto hook = std::make_shared<KeyHook>(KeyHook{++lastHookId, procedure});
    hooks.insert(hooks.begin(), hook);
    return reinterpret_cast<HHOOK>(hook->id);
}

LRESULT CallNextHookEx(HHOOK /*hook*/, int code, WPARAM wParam, LPARAM lParam) {
    using namespace simhost;
    Delivery* delivery = runningDelivery;
    if (delivery == nullptr) return 0;
    return CallFrom(*delivery, delivery->current + 1, code, wParam, lParam);
}

BOOL UnhookWindowsHookEx(HHOOK hook) {
    using namespace simhost;
    if (hook == nullptr) return FALSE;
    std::lock_guard<std::mutex> lock(hooksMutex);
    for (auto it = hooks.begin(); it != hooks.end(); ++it) {
        if (reinterpret_cast<HHOOK>((*it)->id) == hook) {
            (*it)->removed = true;
            hooks.erase(it);
            return TRUE;
        }
    }
    return FALSE;
}
