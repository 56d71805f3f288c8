#pragma once
// String helpers of the runtime. Pure functions, any thread.
#include <cstdint>
#include <string>
#include <string_view>

// The runtime's integer conversion: optional leading spaces, then an
// optional sign and decimal digits within the signed 32-bit range, or a
// hexadecimal number after "$", "x", "X", "0x" or "0X" (no sign) fitting in
// 32 bits, its bit pattern taken as signed. Nothing may follow.
// Raises EConvertError "'<text>' ist kein gültiger Integerwert" otherwise.
std::int32_t StrToInt(std::string_view Text);

// Same rules; false instead of raising.
bool TryStrToInt(std::string_view Text, std::int32_t& Value);

// The text without its leading and trailing blanks (bytes 0 to 32).
std::string Trim(std::string_view Text);
