#pragma once
// Encodes 8-bit RGB pictures as baseline JPEG with libjpeg(-turbo).
// Thread-safe: each call has its own compressor. Failures throw
// std::runtime_error with libjpeg's message.
#include <cstdint>
#include <string>
#include <vector>

// Rgb holds Width * Height * 3 bytes, row-major. Quality 1..100.
std::vector<unsigned char> EncodeJpeg(const std::vector<std::uint8_t>& Rgb, int Width, int Height,
                                      int Quality);
