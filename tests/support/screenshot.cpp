// Saves a window's screen area as a PNG file (uncompressed deflate blocks:
// no library needed, and the files stay small enough for a dialog).
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "wine_test.h"

namespace wt {

namespace {

uint32_t Crc32(const uint8_t* data, size_t size, uint32_t crc = 0)
{
    crc = ~crc;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1)));
    }
    return ~crc;
}

void PutBigEndian(std::vector<uint8_t>* out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out->push_back(static_cast<uint8_t>(value >> shift));
}

void PutChunk(std::vector<uint8_t>* out, const char* type, const std::vector<uint8_t>& data)
{
    PutBigEndian(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out->insert(out->end(), body.begin(), body.end());
    PutBigEndian(out, Crc32(body.data(), body.size()));
}

// A zlib stream of stored (uncompressed) blocks.
std::vector<uint8_t> StoredZlib(const std::vector<uint8_t>& raw)
{
    const size_t kBlock = 65535;
    std::vector<uint8_t> out = {0x78, 0x01};
    size_t offset = 0;
    do {
        size_t size = raw.size() - offset < kBlock ? raw.size() - offset : kBlock;
        out.push_back(offset + size == raw.size() ? 1 : 0);
        out.push_back(static_cast<uint8_t>(size));
        out.push_back(static_cast<uint8_t>(size >> 8));
        out.push_back(static_cast<uint8_t>(~size));
        out.push_back(static_cast<uint8_t>(~size >> 8));
        out.insert(out.end(), raw.begin() + offset, raw.begin() + offset + size);
        offset += size;
    } while (offset < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t byte : raw) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    PutBigEndian(&out, (b << 16) | a);
    return out;
}

}  // namespace

bool SaveWindowPng(HWND window, const std::string& path)
{
    RECT rect;
    if (!GetWindowRect(window, &rect))
        return false;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    if (width <= 0 || height <= 0)
        return false;
    std::vector<uint32_t> pixels = GrabScreen(rect);
    std::vector<uint8_t> raw;
    for (int y = 0; y < height; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < width; ++x) {
            uint32_t pixel = pixels[static_cast<size_t>(y) * width + x];
            raw.push_back(static_cast<uint8_t>(pixel >> 16));
            raw.push_back(static_cast<uint8_t>(pixel >> 8));
            raw.push_back(static_cast<uint8_t>(pixel));
        }
    }

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    std::vector<uint8_t> header;
    PutBigEndian(&header, static_cast<uint32_t>(width));
    PutBigEndian(&header, static_cast<uint32_t>(height));
    header.insert(header.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    PutChunk(&png, "IHDR", header);
    PutChunk(&png, "IDAT", StoredZlib(raw));
    PutChunk(&png, "IEND", {});
    return WriteTextFile(path, std::string(png.begin(), png.end()));
}

}  // namespace wt
