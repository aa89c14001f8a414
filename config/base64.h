// The Base64 codec of the configuration file (RFC 4648 alphabet, "=" padding, no line breaks).
#pragma once

#include <string>

std::string base64Encode(const unsigned char* bytes, unsigned int length);
// Stops at the first "=" or foreign character; a single left-over character gives nothing.
std::string base64Decode(const std::string& text);
