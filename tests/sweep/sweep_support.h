// Mechanics shared by the hostile-input sweep: the seeded generator, byte
// strings, and a watcher that answers this process's own message boxes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "wine_test.h"

namespace sweep {

// Every random choice of the sweep derives from this seed, so a failure
// replays exactly. Each test prints the seed and its own salt.
const uint32_t kSeed = 0x4C561E57;

// The generator of one test: kSeed mixed with the test's salt.
std::mt19937 SeededRandom(uint32_t salt);

// length bytes drawn uniformly from [low, high].
std::string RandomBytes(std::mt19937& random, size_t length, int low = 0x01, int high = 0xFF);

// Bytes as "\xNN" escapes beyond printable ASCII, cut after limit bytes.
std::string Printable(const std::string& bytes, size_t limit = 80);

// Answers (OK) every message box that this process shows, from a thread of
// its own, and records what each box said.
class BoxWatcher {
public:
    BoxWatcher();
    ~BoxWatcher();
    BoxWatcher(const BoxWatcher&) = delete;
    BoxWatcher& operator=(const BoxWatcher&) = delete;
    // The boxes answered since the last call.
    std::vector<wt::MessageBoxInfo> Take();

private:
    void Run();
    std::mutex mutex_;
    std::vector<wt::MessageBoxInfo> boxes_;
    volatile bool stop_ = false;
    std::thread thread_;
};

// The system's text for an error code, without its line end.
std::string SystemErrorText(DWORD code);
// A text without trailing blanks and line ends.
std::string TrimEnd(const std::string& text);

}  // namespace sweep
