// Replays saved inputs through a fuzz target without the fuzzing engine:
//   fuzz_replay_<target> FILE_OR_DIRECTORY...
// Every file (directories: every file inside, in name order) is run once.
// When an input fails (a sanitizer report, a failed check, a signal) the
// file name and the input bytes in hex are printed before the process ends,
// so a CI log shows what to reproduce. ZALCV_FUZZ_REACHED=FILE writes the
// exports the inputs called.
#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "harness.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);
extern "C" void __sanitizer_set_death_callback(void (*callback)(void)) __attribute__((weak));

namespace {

const std::string* g_name = nullptr;
const std::vector<uint8_t>* g_input = nullptr;

void printInput() {
    if (!g_name || !g_input) return;
    std::fprintf(stderr, "\n==== failing input: %s (%zu bytes)\n", g_name->c_str(), g_input->size());
    for (size_t i = 0; i < g_input->size(); ++i)
        std::fprintf(stderr, "%02x%s", (*g_input)[i], (i % 32 == 31 || i + 1 == g_input->size()) ? "\n" : "");
    std::fflush(stderr);
}

void onSignal(int sig) {
    printInput();
    std::signal(sig, SIG_DFL);
    std::raise(sig);
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string> files;
    for (int i = 1; i < argc; ++i) {
        const std::filesystem::path p(argv[i]);
        if (std::filesystem::is_directory(p)) {
            for (const auto& e : std::filesystem::directory_iterator(p))
                if (e.is_regular_file()) files.push_back(e.path().string());
        } else {
            files.push_back(p.string());
        }
    }
    std::sort(files.begin(), files.end());
    if (files.empty()) {
        std::fprintf(stderr, "usage: %s FILE_OR_DIRECTORY... (no inputs found)\n", argv[0]);
        return 2;
    }

    if (__sanitizer_set_death_callback) {
        __sanitizer_set_death_callback(printInput);
    } else {
        std::signal(SIGSEGV, onSignal);
        std::signal(SIGBUS, onSignal);
    }
    std::signal(SIGABRT, onSignal);
    std::signal(SIGFPE, onSignal);
    std::signal(SIGILL, onSignal);

    for (const std::string& name : files) {
        std::ifstream in(name, std::ios::binary);
        const std::vector<uint8_t> input((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        g_name = &name;
        g_input = &input;
        LLVMFuzzerTestOneInput(input.data(), input.size());
    }
    g_name = nullptr;
    g_input = nullptr;
    std::printf("%zu inputs replayed\n", files.size());

    if (const char* path = std::getenv("ZALCV_FUZZ_REACHED")) {
        if (std::FILE* out = std::fopen(path, "w")) {
            fz::printReached(out);
            std::fclose(out);
        }
    }
    return 0;
}
