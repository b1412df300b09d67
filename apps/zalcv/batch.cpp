// Batch mode: one operation over every image file of a folder, N files at a
// time. With N files in flight each file's library calls get
// max(1, workers / N) threads (workers: --threads, else the configured count),
// so the files together never ask for more threads than there are workers.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdlib>
#include <map>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <thread>

#include "cli.h"
#include "zalcore.h"

namespace cli {
namespace {

std::vector<std::string> imageFiles(const std::string& dir) {
    DIR* d = opendir(dir.c_str());
    if (!d) fail(dir + ": cannot open folder: " + std::strerror(errno));
    std::vector<std::string> names;
    while (const dirent* e = readdir(d)) {
        const std::string name = e->d_name;
        if (name.empty() || name[0] == '.' || !isImagePath(name)) continue;
        struct stat st{};
        if (stat((dir + "/" + name).c_str(), &st) == 0 && S_ISREG(st.st_mode)) names.push_back(name);
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

std::string stem(const std::string& name) {
    const auto dot = name.find_last_of('.');
    return dot == std::string::npos ? name : name.substr(0, dot);
}

// A one-line progress bar redrawn on a terminal.
class Progress {
public:
    Progress(std::size_t total, bool show) : total_(total), show_(show) {}
    void step(std::size_t done) {
        if (!show_) return;
        const int width = 30;
        const int filled = static_cast<int>(width * done / std::max<std::size_t>(total_, 1));
        std::fprintf(stderr, "\r[%s%s] %zu/%zu", std::string(static_cast<std::size_t>(filled), '#').c_str(),
                     std::string(static_cast<std::size_t>(width - filled), '.').c_str(), done, total_);
        std::fflush(stderr);
    }
    void clear() {
        if (show_) std::fprintf(stderr, "\r%*s\r", 60, "");
    }

private:
    std::size_t total_;
    bool show_;
};

}  // namespace

int workersPerJob(int total, int jobs) { return std::max(1, total / std::max(1, jobs)); }

int runBatch(const OpSpec& op, Args args, const BatchOptions& batch) {
    const std::vector<std::string> files = imageFiles(batch.inputDir);
    if (files.empty()) fail(batch.inputDir + ": no image files (.png .jpg .pgm .ppm .tiff .npy)");
    if (mkdir(batch.outputDir.c_str(), 0777) != 0 && errno != EEXIST)
        fail(batch.outputDir + ": cannot create folder: " + std::strerror(errno));
    struct stat st{};
    if (stat(batch.outputDir.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) fail(batch.outputDir + ": not a folder");

    // Output names: <stem>.<format>, or <name>.<format> where two inputs share
    // a stem (a.png and a.jpg), so that no result overwrites another.
    std::map<std::string, int> stems;
    for (const std::string& f : files) ++stems[stem(f)];
    std::vector<std::string> outputs;
    char inReal[PATH_MAX], outReal[PATH_MAX];
    const bool sameFolder = realpath(batch.inputDir.c_str(), inReal) && realpath(batch.outputDir.c_str(), outReal) &&
                            std::strcmp(inReal, outReal) == 0;
    for (const std::string& f : files) {
        const std::string name = (stems[stem(f)] > 1 ? f : stem(f)) + "." + batch.format;
        if (sameFolder && name == f) fail(batch.outputDir + "/" + name + ": the result would replace its input");
        outputs.push_back(batch.outputDir + "/" + name);
    }

    const int jobs = std::max(1, std::min<int>(batch.jobs, static_cast<int>(std::max<std::size_t>(files.size(), 1))));
    int total = batch.threads;
    if (total < 1) zalGetNumThreads(&total);
    zalSetNumThreads(workersPerJob(total, jobs));

    const auto start = std::chrono::steady_clock::now();
    std::atomic<std::size_t> next{0}, done{0}, failed{0};
    std::atomic<bool> otherFailure{false};
    std::mutex io;
    Progress progress(files.size(), !args.quiet && isatty(STDERR_FILENO));
    progress.step(0);
    auto worker = [&] {
        for (std::size_t i; (i = next++) < files.size();) {
            Args one = args;
            one.inputs = {batch.inputDir + "/" + files[i]};
            one.outputs = {outputs[i]};
            std::string error;
            try {
                op.run(one);
            } catch (const Error& e) {
                error = e.what();
                if (e.exitCode != kExitLibrary) otherFailure = true;
            } catch (const std::bad_alloc&) {
                error = "out of memory";
            }
            std::lock_guard<std::mutex> lock(io);
            if (!error.empty()) {
                ++failed;
                progress.clear();
                // The message names the file already when it comes from reading or writing.
                if (error.find(files[i]) == std::string::npos) error = one.inputs[0] + ": " + error;
                std::fprintf(stderr, "zalcv %s: %s\n", op.name.c_str(), error.c_str());
            }
            progress.step(++done);
        }
    };
    std::vector<std::thread> pool;
    for (int j = 1; j < jobs; ++j) pool.emplace_back(worker);
    worker();
    for (auto& t : pool) t.join();
    progress.clear();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("%s: %zu files, %zu done, %zu failed, %.2f s\n", op.name.c_str(), files.size(),
                files.size() - failed.load(), failed.load(), seconds);
    // Any file, format or value error gives 2; only library errors give 1.
    if (failed == 0) return 0;
    return otherFailure ? kExitUsage : kExitLibrary;
}

}  // namespace cli
