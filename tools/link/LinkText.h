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
