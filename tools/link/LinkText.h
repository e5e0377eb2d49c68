// Texts that the status view and the JSON snapshot share.
#pragma once

#include <string>

#include "KeyEvent.h"

// The key's name: its letter or digit when its virtual key is one,
// otherwise "scan 0xNN".
std::string KeyName(const wire::KeyEvent& key);
// "L down", "G up alt".
std::string KeyText(const wire::KeyEvent& key);
// Calendar date and time (UTC) of a Modified Julian Date, to the second:
// "2023-02-25 12:00:00"; "?" for a date outside years 1 to 9999.
std::string MjdText(double mjd);
// Why a program watched `master` for `seconds` in vain: "no update from
// 127.0.0.1:40000 in 3.0 s (no message at all); is a master running there,
// on that port?"
std::string NoUpdateText(const std::string& master, double seconds, bool messagesCame);
