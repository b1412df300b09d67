// The companion core library: worker configuration, processor facts read from
// the operating system, and the floating-point constants zalcv returns.
#define ZALCORE_BUILDING_LIBRARY 1
#include "zalcore.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>

namespace {

int onlineProcessors() {
    long n = sysconf(_SC_NPROCESSORS_ONLN);
    return n >= 1 && n <= 4096 ? static_cast<int>(n) : 1;
}

// Reads a small text file from sysfs; empty string when it cannot be read.
std::string readSysfs(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "r");
    if (!f) return {};
    char buf[128] = {};
    std::size_t got = std::fread(buf, 1, sizeof(buf) - 1, f);
    std::fclose(f);
    buf[got] = '\0';
    return std::string(buf);
}

// Parses a sysfs cache size such as "32K", "1024K" or "8M" into bytes.
long parseCacheSize(const std::string& text) {
    char* end = nullptr;
    long value = std::strtol(text.c_str(), &end, 10);
    if (value <= 0 || end == text.c_str()) return 0;
    if (*end == 'K' || *end == 'k') value *= 1024L;
    else if (*end == 'M' || *end == 'm') value *= 1024L * 1024L;
    return value;
}

// Largest data or unified cache of cpu0; 1 MiB when the system does not say.
int largestDataCache() {
    long best = 0;
    for (int index = 0; index < 16; ++index) {
        std::string dir = "/sys/devices/system/cpu/cpu0/cache/index" + std::to_string(index) + "/";
        std::string type = readSysfs(dir + "type");
        if (type.empty()) break;
        if (type.rfind("Instruction", 0) == 0) continue;
        long size = parseCacheSize(readSysfs(dir + "size"));
        if (size > best) best = size;
    }
#ifdef _SC_LEVEL3_CACHE_SIZE
    if (best <= 0) {
        long l3 = sysconf(_SC_LEVEL3_CACHE_SIZE), l2 = sysconf(_SC_LEVEL2_CACHE_SIZE);
        best = l3 > l2 ? l3 : l2;
    }
#endif
    if (best <= 0) best = 1L << 20;
    if (best > std::numeric_limits<int>::max()) best = std::numeric_limits<int>::max();
    return static_cast<int>(best);
}

// Processors that share cpu0's physical package; the online processor count
// when the topology is not published.
int coresOnDie() {
    std::string package0 = readSysfs("/sys/devices/system/cpu/cpu0/topology/physical_package_id");
    if (package0.empty()) return onlineProcessors();
    int count = 0;
    for (int cpu = 0; cpu < 4096; ++cpu) {
        std::string id = readSysfs("/sys/devices/system/cpu/cpu" + std::to_string(cpu) +
                                   "/topology/physical_package_id");
        if (id.empty()) break;
        if (id == package0) ++count;
    }
    return count >= 1 ? count : 1;
}

}  // namespace

extern "C" {

int threads_omp_of_n_zal = onlineProcessors();

const float zalConstantOfNAN_32f = std::numeric_limits<float>::quiet_NaN();
const double zalConstantOfNAN_64f = std::numeric_limits<double>::quiet_NaN();
const double zalConstantOfINF_64f = std::numeric_limits<double>::infinity();
const double zalConstantOfINF_NEG_64f = -std::numeric_limits<double>::infinity();

int zalGetNumThreads(int* pNumThr) {
    if (!pNumThr) return -8;
    *pNumThr = threads_omp_of_n_zal;
    return 0;
}

int zalSetNumThreads(int n) {
    if (n < 1) return -5;
    threads_omp_of_n_zal = n;
    return 0;
}

int zalGetNumCoresOnDie(void) {
    static const int cores = coresOnDie();
    return cores;
}

int zalGetMaxCacheSizeB(int* pSizeByte) {
    if (!pSizeByte) return -8;
    static const int size = largestDataCache();
    *pSizeByte = size;
    return 0;
}

}  // extern "C"
