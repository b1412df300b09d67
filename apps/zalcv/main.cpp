// zalcv: the command-line program of the library.
//   zalcv OPERATION [OPTIONS] INPUT... OUTPUT   one operation on image files
//   zalcv list / zalcv help OPERATION           the operations and their options
//   zalcv info            the version record and the worker configuration
//   zalcv demo [OUTDIR]   runs every demo stage on the default scene and
//                         writes the results as PNG files (default: demo-out)
#include <sys/stat.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>

#include "cli.h"
#include "demo.h"
#include "zalcore.h"
#include "zalcv.h"

namespace {

int info() {
    const LibraryVersion* v = zalcvGetLibVersion();
    std::printf("library:   %s\n", v->libraryName);
    std::printf("version:   %s (%d.%d, build %d.%d, %s)\n", v->versionText, v->majorVersion, v->minorVersion,
                v->buildSeries, v->buildNumber, v->buildDate);
    std::printf("variant:   %.4s\n", v->cpuVariant);
    int threads = 0, cache = 0;
    zalGetNumThreads(&threads);
    zalGetMaxCacheSizeB(&cache);
    std::printf("workers:   %d (team size %d)\n", threads, threads_omp_of_n_zal);
    std::printf("cores/die: %d\n", zalGetNumCoresOnDie());
    std::printf("cache:     %d bytes\n", cache);
    return 0;
}

int runDemo(const std::string& folder) {
    mkdir(folder.c_str(), 0755);
    const auto t0 = std::chrono::steady_clock::now();
    const demo::Scene scene = demo::makeScene(640, 480);
    const double sceneMs = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    demo::Output out(folder);
    out.write("scene_gray", scene.gray);
    out.write("scene_color", scene.color);
    out.write("scene_moved", scene.moved);
    out.write("scene_mask", scene.mask);
    std::printf("%-28s %8.2f ms  %s\n", "scene", sceneMs, "640x480 gray and colour");
    int failures = 0;
    for (const demo::Stage& stage : demo::registeredStages()) {
        const auto start = std::chrono::steady_clock::now();
        const StatusCode status = stage.fn(scene, out);
        const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
        const std::string label = stage.folder + "/" + stage.name;
        std::printf("%-28s %8.2f ms  %s", label.c_str(), ms, stage.title.c_str());
        if (status < 0) {
            std::printf("  [status %d]", static_cast<int>(status));
            ++failures;
        } else if (status > 0) {
            std::printf("  [warning %d]", static_cast<int>(status));
        }
        std::printf("\n");
    }
    std::printf("%zu files written to %s\n", out.written().size(), folder.c_str());
    return failures == 0 ? 0 : 1;
}

int usage(std::FILE* to) {
    std::fprintf(to,
                 "usage: zalcv OPERATION [OPTIONS] INPUT... OUTPUT\n"
                 "       zalcv OPERATION [OPTIONS] --input-dir DIR --output-dir DIR [-j N]\n"
                 "       zalcv list | zalcv help OPERATION | zalcv info | zalcv demo [OUTDIR]\n");
    return to == stdout ? 0 : cli::kExitUsage;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) return usage(stderr);
    const std::string command = argv[1];
    if (command == "info") return info();
    if (command == "demo") return runDemo(argc >= 3 ? argv[2] : "demo-out");
    if (command == "list") return cli::listOperations();
    if (command == "help" || command == "--help" || command == "-h") {
        if (argc >= 3) return cli::printHelp(argv[2]);
        usage(stdout);
        std::printf("\n");
        return cli::listOperations();
    }
    return cli::runCommandLine(argc, argv);
}
