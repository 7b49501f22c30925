// The little JSON the host program writes: quoted texts and numbers.
#pragma once

#include <string>

// True when `text` is well-formed UTF-8.
bool IsUtf8(const std::string& text);

// `text` as a JSON string, quotes included. A byte that is not part of
// well-formed UTF-8 (a file name on a POSIX system may hold any) is written
// as U+FFFD, so that the result is always valid JSON.
std::string JsonString(const std::string& text);

// A number as JSON; a non-finite one as null.
std::string JsonNumber(double value);
