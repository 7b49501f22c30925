// The little JSON the host program writes: quoted texts and numbers.
#pragma once

#include <string>

// `text` (UTF-8) as a JSON string, quotes included.
std::string JsonString(const std::string& text);

// A number as JSON; a non-finite one as null.
std::string JsonNumber(double value);
