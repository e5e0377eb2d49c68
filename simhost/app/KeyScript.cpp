#include "KeyScript.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdlib>
#include <strings.h>

namespace simhost_app {

namespace {

// Scan codes of the letter keys A..Z (US layout, set 1).
constexpr DWORD kLetterScanCodes[26] = {0x1E, 0x30, 0x2E, 0x20, 0x12, 0x21, 0x22, 0x23, 0x17, 0x24, 0x25, 0x26, 0x32,
                                        0x31, 0x18, 0x19, 0x10, 0x13, 0x1F, 0x14, 0x16, 0x2F, 0x11, 0x2D, 0x15, 0x2C};

DWORD digitScanCode(char digit) { return digit == '0' ? 0x0B : static_cast<DWORD>(0x02 + (digit - '1')); }

std::vector<std::string> split(const std::string& text, char separator) {
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t end = text.find(separator, start);
        parts.push_back(text.substr(start, end == std::string::npos ? std::string::npos : end - start));
        if (end == std::string::npos) return parts;
        start = end + 1;
    }
}

bool parseKeyName(const std::string& name, DWORD& scanCode, std::string& error) {
    if (name.size() == 1 && std::isalpha(static_cast<unsigned char>(name[0]))) {
        scanCode = kLetterScanCodes[std::toupper(static_cast<unsigned char>(name[0])) - 'A'];
        return true;
    }
    if (name.size() == 1 && std::isdigit(static_cast<unsigned char>(name[0]))) {
        scanCode = digitScanCode(name[0]);
        return true;
    }
    if (!name.empty() && std::isdigit(static_cast<unsigned char>(name[0]))) {
        char* end = nullptr;
        const unsigned long code = std::strtoul(name.c_str(), &end, 0);
        if (*end == '\0' && code >= 1 && code <= 0xFF) {
            scanCode = static_cast<DWORD>(code);
            return true;
        }
    }
    error = "bad key '" + name + "' (a letter, a digit, or a scan code 1..255)";
    return false;
}

}  // namespace

DWORD VirtualKeyForScanCode(DWORD scanCode) {
    for (int i = 0; i < 26; ++i) {
        if (kLetterScanCodes[i] == scanCode) return static_cast<DWORD>('A' + i);
    }
    if (scanCode >= 0x02 && scanCode <= 0x0A) return static_cast<DWORD>('1' + (scanCode - 0x02));
    if (scanCode == 0x0B) return '0';
    return 0;
}

bool ParseKeySpec(const std::string& description, ScriptedKey& key, std::string& error) {
    const std::vector<std::string> parts = split(description, ':');
    if (parts.size() < 2 || parts.size() > 4) {
        error = "bad key event '" + description + "' (expected TIME:KEY[:up|:down|:tap][:alt])";
        return false;
    }
    ScriptedKey parsed;
    char* end = nullptr;
    parsed.time = std::strtod(parts[0].c_str(), &end);
    if (parts[0].empty() || *end != '\0' || !std::isfinite(parsed.time) || parsed.time < 0) {
        error = "bad key event time '" + parts[0] + "' in '" + description + "'";
        return false;
    }
    if (!parseKeyName(parts[1], parsed.scanCode, error)) return false;
    parsed.virtualKey = VirtualKeyForScanCode(parsed.scanCode);
    bool actionGiven = false;
    for (size_t i = 2; i < parts.size(); ++i) {
        const char* word = parts[i].c_str();
        const bool isAction = !strcasecmp(word, "up") || !strcasecmp(word, "down") || !strcasecmp(word, "tap");
        if (isAction && !actionGiven) {
            actionGiven = true;
            parsed.action = !strcasecmp(word, "up")     ? ScriptedKey::Up
                            : !strcasecmp(word, "down") ? ScriptedKey::Down
                                                        : ScriptedKey::Tap;
        } else if (!strcasecmp(word, "alt") && !parsed.alt) {
            parsed.alt = true;
        } else {
            error = "bad key event option '" + parts[i] + "' in '" + description + "'";
            return false;
        }
    }
    key = parsed;
    return true;
}

KeyScript::KeyScript(std::vector<ScriptedKey> keys) : keys_(std::move(keys)) {
    std::stable_sort(keys_.begin(), keys_.end(),
                     [](const ScriptedKey& a, const ScriptedKey& b) { return a.time < b.time; });
}

void KeyScript::deliverDue(double elapsed, simhost::Host& host) {
    std::vector<simhost::KeyEvent> releases;
    releases.swap(pendingReleases_);
    for (const simhost::KeyEvent& release : releases) host.deliverKey(release);
    for (; next_ < keys_.size() && keys_[next_].time <= elapsed; ++next_) {
        const ScriptedKey& k = keys_[next_];
        simhost::KeyEvent event;
        event.scanCode = k.scanCode;
        event.virtualKey = k.virtualKey;
        event.altHeld = k.alt;
        event.down = k.action != ScriptedKey::Up;
        host.deliverKey(event);
        if (k.action == ScriptedKey::Tap) {
            event.down = false;
            pendingReleases_.push_back(event);
        }
    }
}

}  // namespace simhost_app
