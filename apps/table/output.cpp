// Buffered writes that stop at the first failure, and files renamed into place when complete.
#include "apps/table/output.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace aqsol::table {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;

// The temporary file a signal must remove: one at a time, as a fixed array so that the signal
// handler reads it without allocating.
char pendingTemporary[4096];
volatile std::sig_atomic_t havePendingTemporary = 0;

extern "C" void removeTemporaryAndDie(int signal) {
  if (havePendingTemporary) unlink(pendingTemporary);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

void watchSignals(const std::string& temporary) {
  std::snprintf(pendingTemporary, sizeof pendingTemporary, "%s", temporary.c_str());
  havePendingTemporary = 1;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, removeTemporaryAndDie);
}

void stopWatchingSignals() {
  havePendingTemporary = 0;
  for (int s : {SIGINT, SIGTERM, SIGHUP}) std::signal(s, SIG_DFL);
}

}  // namespace

bool Output::write(std::string_view text) {
  if (error_ != 0) return false;
  buffer_.append(text);
  return buffer_.size() < kBufferSize || flush();
}

bool Output::flush() {
  if (error_ != 0) return false;
  std::size_t done = 0;
  while (done < buffer_.size()) {
    const ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error_ = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  buffer_.clear();
  return true;
}

std::string writeErrorMessage(int error) {
  return std::string("write error: ") + std::strerror(error);
}

FileUnderConstruction::~FileUnderConstruction() {
  discard();
}

bool FileUnderConstruction::open(const std::string& path, std::string& error) {
  const std::size_t slash = path.rfind('/');
  const std::string folder = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  std::string pattern = folder + "." + name + ".XXXXXX";
  fd_ = mkstemp(pattern.data());
  if (fd_ < 0) {
    error = "cannot write '" + path + "': " + std::strerror(errno);
    return false;
  }
  // mkstemp makes the file private; give it the mode a newly created file would have.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd_, 0666 & ~mask);
  path_ = path;
  temporary_ = pattern;
  watchSignals(temporary_);
  return true;
}

bool FileUnderConstruction::commit(std::string& error) {
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    error = writeErrorMessage(errno);
    discard();
    return false;
  }
  if (std::rename(temporary_.c_str(), path_.c_str()) != 0) {
    error = "cannot write '" + path_ + "': " + std::strerror(errno);
    discard();
    return false;
  }
  temporary_.clear();
  stopWatchingSignals();
  return true;
}

void FileUnderConstruction::discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (temporary_.empty()) return;
  unlink(temporary_.c_str());
  temporary_.clear();
  stopWatchingSignals();
}

}  // namespace aqsol::table
