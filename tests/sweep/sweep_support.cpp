// Mechanics shared by the hostile-input sweep.
#include "sweep_support.h"

#include <cstdio>

namespace sweep {

namespace {

const DWORD kBoxPollMs = 100;
const int kEscapeSize = 8;

}  // namespace

std::mt19937 SeededRandom(uint32_t salt)
{
    uint32_t seed = kSeed ^ salt;
    std::printf("sweep seed 0x%08X (0x%08X ^ salt 0x%08X)\n", static_cast<unsigned>(seed),
                static_cast<unsigned>(kSeed), static_cast<unsigned>(salt));
    return std::mt19937(seed);
}

std::string RandomBytes(std::mt19937& random, size_t length, int low, int high)
{
    std::uniform_int_distribution<int> byte(low, high);
    std::string bytes(length, '\0');
    for (char& c : bytes)
        c = static_cast<char>(byte(random));
    return bytes;
}

std::string Printable(const std::string& bytes, size_t limit)
{
    std::string text;
    for (size_t i = 0; i < bytes.size() && i < limit; ++i) {
        unsigned char c = static_cast<unsigned char>(bytes[i]);
        if (c >= 0x20 && c < 0x7F && c != '\\') {
            text += static_cast<char>(c);
        } else {
            char escape[kEscapeSize];
            std::snprintf(escape, sizeof(escape), "\\x%02X", c);
            text += escape;
        }
    }
    if (bytes.size() > limit)
        text += "... (" + std::to_string(bytes.size()) + " bytes)";
    return text;
}

BoxWatcher::BoxWatcher() : thread_(&BoxWatcher::Run, this) {}

BoxWatcher::~BoxWatcher()
{
    stop_ = true;
    thread_.join();
}

std::vector<wt::MessageBoxInfo> BoxWatcher::Take()
{
    std::lock_guard<std::mutex> lock(mutex_);
    std::vector<wt::MessageBoxInfo> boxes;
    boxes.swap(boxes_);
    return boxes;
}

void BoxWatcher::Run()
{
    while (!stop_) {
        wt::MessageBoxInfo box;
        if (!wt::WaitForMessageBox(GetCurrentProcessId(), &box, kBoxPollMs))
            continue;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            boxes_.push_back(box);
        }
        wt::AnswerMessageBox(box, IDOK);
        // The same box must not be counted twice.
        DWORD start = GetTickCount();
        while (IsWindow(box.window) && GetTickCount() - start < wt::kWaitMs)
            Sleep(10);
    }
}

std::string SystemErrorText(DWORD code) { return TrimEnd(wt::SystemErrorText(code)); }

std::string TrimEnd(const std::string& text)
{
    size_t end = text.find_last_not_of(" \t\r\n");
    return end == std::string::npos ? std::string() : text.substr(0, end + 1);
}

}  // namespace sweep
