// The pictures' file format where the toolkit offers none: a PNG of stored (uncompressed) blocks.

#include "platform/StoredPng.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace platform::test {

namespace {
std::uint32_t crc32(const std::vector<unsigned char>& bytes) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        crc ^= bytes[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}
void put32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int shift : {24, 16, 8, 0})
        out.push_back(static_cast<unsigned char>(v >> shift));
}
void chunk(std::vector<unsigned char>& file, const char* type, const std::vector<unsigned char>& data) {
    put32(file, static_cast<std::uint32_t>(data.size()));
    std::vector<unsigned char> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    file.insert(file.end(), body.begin(), body.end());
    put32(file, crc32(body));
}
} // namespace

// A PNG without compression: its image data is a zlib stream of stored blocks.
std::vector<unsigned char> storedPng(const Image& image) {
    std::vector<unsigned char> raw;
    for (int y = 0; y < image.height; ++y) {
        raw.push_back(0);
        for (int x = 0; x < image.width; ++x) {
            const Colour c = image.at(x, y);
            raw.insert(raw.end(),
                       {static_cast<unsigned char>(c & 0xFF), static_cast<unsigned char>(c >> 8 & 0xFF),
                        static_cast<unsigned char>(c >> 16 & 0xFF)});
        }
    }
    std::vector<unsigned char> zlib{0x78, 0x01};
    std::uint32_t a = 1, b = 0;
    for (unsigned char byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    for (std::size_t at = 0; at < raw.size() || raw.empty(); at += 65535) {
        const std::size_t n = std::min<std::size_t>(65535, raw.size() - at);
        zlib.push_back(at + n >= raw.size() ? 1 : 0);
        zlib.insert(zlib.end(),
                    {static_cast<unsigned char>(n & 0xFF), static_cast<unsigned char>(n >> 8),
                     static_cast<unsigned char>(~n & 0xFF), static_cast<unsigned char>(~n >> 8 & 0xFF)});
        zlib.insert(zlib.end(), raw.begin() + static_cast<std::ptrdiff_t>(at),
                    raw.begin() + static_cast<std::ptrdiff_t>(at + n));
        if (raw.empty()) break;
    }
    put32(zlib, b << 16 | a);
    std::vector<unsigned char> header;
    put32(header, static_cast<std::uint32_t>(image.width));
    put32(header, static_cast<std::uint32_t>(image.height));
    header.insert(header.end(), {8, 2, 0, 0, 0});
    std::vector<unsigned char> file{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    chunk(file, "IHDR", header);
    chunk(file, "IDAT", zlib);
    chunk(file, "IEND", {});
    return file;
}

} // namespace platform::test
