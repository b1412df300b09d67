// Outputs appear complete or not at all: everything is written to a
// temporary file in the output's folder (same file system, so the rename is
// atomic) and renamed over the output only after a successful flush.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "cli.h"

namespace cli {
namespace {

std::string folderOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

std::string baseOf(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

AtomicFile::AtomicFile(const std::string& path) : path_(path) {
    if (path.empty() || path.back() == '/') fail(path + ": not a file name");
    struct stat st{};
    if (stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode)) fail(path + ": is a folder");
    const std::string folder = folderOf(path);
    std::string pattern = folder + "/." + baseOf(path) + ".XXXXXX";
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    fd_ = mkstemp(name.data());
    if (fd_ < 0) fail(path + ": cannot create a file in " + folder + ": " + std::strerror(errno));
    temp_ = name.data();
    // mkstemp creates 0600; give the result the usual permissions.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
}

AtomicFile::~AtomicFile() {
    if (committed_) return;
    if (stream_)
        std::fclose(stream_);
    else if (fd_ >= 0)
        close(fd_);
    unlink(temp_.c_str());
}

std::FILE* AtomicFile::stream() {
    if (!stream_) {
        stream_ = fdopen(fd_, "wb");
        if (!stream_) fail(path_ + ": cannot write: " + std::strerror(errno));
    }
    return stream_;
}

void AtomicFile::commit() {
    bool ok = true;
    int err = 0;
    if (stream_) {
        ok = std::fflush(stream_) == 0 && fsync(fileno(stream_)) == 0;
        if (!ok) err = errno;
        ok = (std::fclose(stream_) == 0) && ok;
        if (!ok && err == 0) err = errno;
        stream_ = nullptr;
    } else {
        ok = fsync(fd_) == 0;
        if (!ok) err = errno;
        ok = (close(fd_) == 0) && ok;
    }
    fd_ = -1;
    if (!ok) fail(path_ + ": cannot write: " + std::strerror(err ? err : EIO));
    if (rename(temp_.c_str(), path_.c_str()) != 0) fail(path_ + ": cannot replace: " + std::strerror(errno));
    committed_ = true;
}

void writeText(const std::string& path, const std::string& text) {
    if (path == "-") {
        std::fwrite(text.data(), 1, text.size(), stdout);
        std::fflush(stdout);
        return;
    }
    AtomicFile file(path);
    if (std::fwrite(text.data(), 1, text.size(), file.stream()) != text.size())
        fail(path + ": cannot write: " + std::strerror(errno));
    file.commit();
}

}  // namespace cli
