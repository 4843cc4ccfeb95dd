// Buffered writes that stop at the first failure, and named outputs replaced atomically when
// they are regular files and written in place otherwise.
#include "services/file_output.hpp"

#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>

#include "services/signal_dispositions.hpp"

namespace aqsol {
namespace {

constexpr std::size_t kBufferSize = 1 << 16;
constexpr int kMostLinks = 40;  // as the kernel allows in one path

// The temporary files a signal must remove, as fixed arrays so that the signal handler reads
// them without allocating: the table's own, a private copy for a library that writes by name,
// a plot's data and script, with room to spare.
constexpr int kMostPending = 8;
char pendingTemporaries[kMostPending][4096];
volatile std::sig_atomic_t pending[kMostPending] = {};
int pendingCount = 0;  // slots in use, on the thread that makes and removes them

extern "C" void removeTemporariesAndDie(int signal) {
  for (int n = 0; n < kMostPending; ++n)
    if (pending[n]) unlink(pendingTemporaries[n]);
  std::signal(signal, SIG_DFL);
  std::raise(signal);
}

// The signals that end the program while a temporary is pending, and what they did before
// (restored after); one that was ignored is left ignored.
constexpr int kWatchedSignals[] = {SIGINT, SIGTERM, SIGHUP};
struct sigaction previousActions[std::size(kWatchedSignals)];
bool watching[std::size(kWatchedSignals)];

void watchSignals() {
  struct sigaction action {};
  action.sa_handler = removeTemporariesAndDie;
  sigemptyset(&action.sa_mask);
  for (std::size_t n = 0; n < std::size(kWatchedSignals); ++n) {
    watching[n] = !signalIgnored(kWatchedSignals[n]) &&
                  sigaction(kWatchedSignals[n], &action, &previousActions[n]) == 0;
  }
}

void stopWatchingSignals() {
  for (std::size_t n = 0; n < std::size(kWatchedSignals); ++n)
    if (watching[n]) sigaction(kWatchedSignals[n], &previousActions[n], nullptr);
}

// Registers a temporary for removal by the ending signals; its slot, or -1 when every slot is
// taken (it is then removed only by its owner).
int watchTemporary(const std::string& path) {
  for (int n = 0; n < kMostPending; ++n) {
    if (pending[n]) continue;
    std::snprintf(pendingTemporaries[n], sizeof pendingTemporaries[n], "%s", path.c_str());
    pending[n] = 1;
    if (pendingCount++ == 0) watchSignals();
    return n;
  }
  return -1;
}

void forgetTemporary(int& slot) {
  if (slot < 0) return;
  pending[slot] = 0;
  slot = -1;
  if (--pendingCount == 0) stopWatchingSignals();
}

std::string cannotWrite(const std::string& name, int error) {
  return "cannot write '" + name + "': " + std::strerror(error);
}

bool allDigits(std::string_view text) {
  if (text.empty() || text.size() > 9) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

// Whether `folder` (absolute, without links) lists this process's open descriptors:
// /proc/PID/fd or /proc/PID/task/TID/fd.
bool isOwnDescriptorFolder(std::string_view folder) {
  const std::string own = "/proc/" + std::to_string(getpid()) + "/";
  if (!folder.starts_with(own)) return false;
  std::string_view rest = folder.substr(own.size());
  if (rest == "fd") return true;
  if (!rest.starts_with("task/") || !rest.ends_with("/fd")) return false;
  return allDigits(rest.substr(5, rest.size() - 8));
}

void recordIdentity(const struct stat& s, OutputTarget& target) {
  target.exists = true;
  target.device = s.st_dev;
  target.inode = s.st_ino;
  target.mode = s.st_mode;
  target.owner = s.st_uid;
  target.group = s.st_gid;
}

bool resolveDescriptor(const std::string& name, int descriptor, OutputTarget& target,
                       std::string& error) {
  const int flags = fcntl(descriptor, F_GETFL);
  if (flags < 0 || (flags & O_ACCMODE) == O_RDONLY) {
    error = cannotWrite(name, flags < 0 ? EBADF : EACCES);
    return false;
  }
  target.kind = OutputTarget::Kind::kDescriptor;
  target.descriptor = descriptor;
  struct stat s {};
  if (fstat(descriptor, &s) == 0) recordIdentity(s, target);
  return true;
}

// What the final, link-free name stands for.
bool classify(const std::string& name, const struct stat& s, OutputTarget& target,
              std::string& error) {
  recordIdentity(s, target);
  if (S_ISDIR(s.st_mode)) {
    error = cannotWrite(name, EISDIR);
    return false;
  }
  if (!S_ISREG(s.st_mode)) {
    target.kind = OutputTarget::Kind::kInPlace;
    return true;
  }
  if (access(target.path.c_str(), W_OK) != 0) {
    error = cannotWrite(name, errno);
    return false;
  }
  target.kind = OutputTarget::Kind::kRegular;
  return true;
}

// A member of the file's group may give it that group; failing that, the group stays ours.
void keepGroup(int fd, gid_t group) {
  if (fchown(fd, static_cast<uid_t>(-1), group) != 0) return;
}

}  // namespace

bool Output::write(std::string_view text) {
  if (error_ != 0) return false;
  // A piece of half a buffer or more goes out as it is, not copied into the buffer first.
  if (text.size() >= kBufferSize / 2)
    return flush() && writeWhole(fd_, text.data(), text.size(), error_);
  buffer_.append(text);
  return buffer_.size() < kBufferSize || flush();
}

bool Output::flush() {
  if (error_ != 0 || !writeWhole(fd_, buffer_.data(), buffer_.size(), error_)) return false;
  buffer_.clear();
  return true;
}

bool writeWhole(int fd, const char* data, std::size_t size, int& error) {
  std::size_t done = 0;
  while (done < size) {
    const ssize_t n = ::write(fd, data + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      error = n < 0 ? errno : EIO;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

namespace {

// Whether the kernel's protected_symlinks rule lets this process follow a link whose lstat is
// `link` in `folder`: in a sticky folder that others may write, only a link that this process's
// user or the folder's owner owns.
bool followedByTheKernel(const std::string& folder, const struct stat& link) {
  struct stat f {};
  if (stat(folder.c_str(), &f) != 0) return true;  // the open that follows will say why
  const bool shared = (f.st_mode & S_ISVTX) != 0 && (f.st_mode & S_IWOTH) != 0;
  return !shared || link.st_uid == geteuid() || link.st_uid == f.st_uid;
}

}  // namespace

std::string writeErrorMessage(int error) {
  return std::string("write error: ") + std::strerror(error);
}

bool resolveOutputTarget(const std::string& name, OutputTarget& target, std::string& error) {
  target = OutputTarget{};
  std::string path = name;
  for (int links = 0;; ++links) {
    const std::size_t slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "."
                               : slash == 0               ? "/"
                                                          : path.substr(0, slash);
    const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
    if (base.empty() || base == "." || base == "..") {
      error = cannotWrite(name, EISDIR);
      return false;
    }
    char real[PATH_MAX];
    if (realpath(folder.c_str(), real) == nullptr) {
      error = cannotWrite(name, errno);
      return false;
    }
    const std::string realFolder = real;
    if (isOwnDescriptorFolder(realFolder) && allDigits(base))
      return resolveDescriptor(name, std::atoi(base.c_str()), target, error);
    target.path = (realFolder == "/" ? "" : realFolder) + "/" + base;
    struct stat s {};
    if (lstat(target.path.c_str(), &s) != 0) {
      if (errno != ENOENT) {
        error = cannotWrite(name, errno);
        return false;
      }
      target.kind = OutputTarget::Kind::kNew;
      return true;
    }
    if (!S_ISLNK(s.st_mode)) return classify(name, s, target, error);
    if (!followedByTheKernel(realFolder, s)) {
      error = "cannot write '" + name +
              "': a link in a sticky folder that anyone may write is followed only when it "
              "is yours or the folder owner's (as the kernel's protected_symlinks rule)";
      return false;
    }
    if (links == kMostLinks) {
      error = cannotWrite(name, ELOOP);
      return false;
    }
    char link[PATH_MAX];
    const ssize_t length = readlink(target.path.c_str(), link, sizeof link - 1);
    if (length < 0) {
      error = cannotWrite(name, errno);
      return false;
    }
    const std::string destination(link, static_cast<std::size_t>(length));
    path = destination.starts_with('/') ? destination : realFolder + "/" + destination;
  }
}

bool sameOutputFile(const OutputTarget& a, const OutputTarget& b) {
  if (a.exists && b.exists) return a.device == b.device && a.inode == b.inode;
  if (a.kind == OutputTarget::Kind::kDescriptor || b.kind == OutputTarget::Kind::kDescriptor)
    return a.kind == b.kind && a.descriptor == b.descriptor;
  return a.path == b.path;
}

OutputFile::~OutputFile() {
  discard();
}

bool OutputFile::open(const std::string& name, std::string& error) {
  discard();
  name_ = name;
  if (!resolveOutputTarget(name, target_, error)) return false;
  const bool atomic =
      target_.kind == OutputTarget::Kind::kNew || target_.kind == OutputTarget::Kind::kRegular;
  return atomic ? openTemporary(error) : openInPlace(error);
}

bool OutputFile::openTemporary(std::string& error) {
  const std::size_t slash = target_.path.rfind('/');
  std::string pattern =
      target_.path.substr(0, slash + 1) + "." + target_.path.substr(slash + 1) + ".XXXXXX";
  fd_ = mkostemp(pattern.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error = cannotWrite(name_, errno);
    return false;
  }
  temporary_ = pattern;
  slot_ = watchTemporary(temporary_);
  if (target_.kind == OutputTarget::Kind::kRegular) {
    // The replacement keeps the owner and group where this process may give them (only root
    // gives a file away), then the mode, set-id bits included.
    if (fchown(fd_, target_.owner, target_.group) != 0) keepGroup(fd_, target_.group);
    fchmod(fd_, target_.mode & 07777);
  } else {
    // mkstemp makes the file private; give it the mode a newly created file would have.
    const mode_t mask = umask(0);
    umask(mask);
    fchmod(fd_, 0666 & ~mask);
  }
  return true;
}

bool OutputFile::openInPlace(std::string& error) {
  fd_ = target_.kind == OutputTarget::Kind::kDescriptor
            ? fcntl(target_.descriptor, F_DUPFD_CLOEXEC, 3)
            : ::open(target_.path.c_str(), O_WRONLY | O_NOCTTY | O_CLOEXEC);
  if (fd_ < 0) {
    error = cannotWrite(name_, errno);
    return false;
  }
  return true;
}

bool OutputFile::commit(std::string& error) {
  const int fd = fd_;
  fd_ = -1;
  if (close(fd) != 0) {
    error = writeErrorMessage(errno);
    discard();
    return false;
  }
  if (temporary_.empty()) return true;
  if (std::rename(temporary_.c_str(), target_.path.c_str()) != 0) {
    error = cannotWrite(name_, errno);
    discard();
    return false;
  }
  temporary_.clear();
  forgetTemporary(slot_);
  return true;
}

void OutputFile::discard() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
  if (temporary_.empty()) return;
  unlink(temporary_.c_str());
  temporary_.clear();
  forgetTemporary(slot_);
}

TemporaryFile::~TemporaryFile() {
  closeDescriptor();
  if (path_.empty()) return;
  unlink(path_.c_str());
  forgetTemporary(slot_);
}

bool TemporaryFile::create(std::string& error) {
  const char* folder = std::getenv("TMPDIR");
  std::string path = std::string(folder && *folder ? folder : "/tmp") + "/aqsol.XXXXXX";
  fd_ = mkostemp(path.data(), O_CLOEXEC);
  if (fd_ < 0) {
    error = std::string("cannot write a temporary file: ") + std::strerror(errno);
    return false;
  }
  path_ = path;
  slot_ = watchTemporary(path_);
  return true;
}

void TemporaryFile::closeDescriptor() {
  if (fd_ >= 0) close(fd_);
  fd_ = -1;
}

bool copyFileTo(const std::string& from, int to, std::string& error) {
  const int in = open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) {
    error = "cannot read " + from + ": " + std::strerror(errno);
    return false;
  }
  Output out(to);
  char buffer[1 << 16];
  ssize_t n;
  while ((n = read(in, buffer, sizeof buffer)) > 0 || (n < 0 && errno == EINTR))
    if (n > 0 && !out.write(std::string_view(buffer, static_cast<std::size_t>(n)))) break;
  const int readError = n < 0 ? errno : 0;
  close(in);
  if (out.flush() && readError == 0) return true;
  error = readError != 0 ? "cannot read " + from + ": " + std::strerror(readError)
                         : writeErrorMessage(out.error());
  return false;
}

bool OutputThroughName::begin(OutputFile& output, std::string& error) {
  output_ = &output;
  if (output.replacedAtomically()) {
    name_ = output.temporaryName();
    return true;
  }
  private_ = std::make_unique<TemporaryFile>();
  if (!private_->create(error)) return false;
  private_->closeDescriptor();
  name_ = private_->path();
  return true;
}

bool OutputThroughName::finish(std::string& error) {
  return !private_ || copyFileTo(name_, output_->fd(), error);
}

}  // namespace aqsol
