// Output that never loses or corrupts what it is given: buffered writes that stop at the first
// failure, and named outputs that are replaced atomically when they are regular files and
// written in place when they are anything else (a device, a FIFO, a descriptor).
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <string_view>

namespace aqsol {

// Buffered writing to a file descriptor. After the first failed write every further write
// fails at once, and error() tells why (an errno value; 0 while all is well).
class Output {
 public:
  explicit Output(int fd) : fd_(fd) {}
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;

  // Queues text; writes the buffer out when it is full. False once any write has failed.
  bool write(std::string_view text);
  // Writes out whatever is queued. False once any write has failed.
  bool flush();
  int error() const { return error_; }

 private:
  int fd_;
  int error_ = 0;
  std::string buffer_;
};

// "write error: <reason>" for an errno value.
std::string writeErrorMessage(int error);

// Writes all `size` bytes at `data` to `fd`, through interruptions and short writes. False with
// `error` set to the errno value (EIO for a write that wrote nothing) when a write fails.
bool writeWhole(int fd, const char* data, std::size_t size, int& error);

// What a name given for an output stands for once its symbolic links are followed.
struct OutputTarget {
  enum class Kind {
    kNew,         // nothing of that name yet: created
    kRegular,     // a regular file: replaced atomically, keeping its mode and owner
    kInPlace,     // a device, a FIFO or a socket: opened and written as it is
    kDescriptor,  // /dev/stdout, /dev/fd/N, /proc/self/fd/N: that open descriptor
  };
  Kind kind = Kind::kNew;
  std::string path;     // the final name: links followed, its folder made absolute
  int descriptor = -1;  // kDescriptor: the descriptor named
  // The file's identity where it exists (device and inode), to tell two names of one file.
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  mode_t mode = 0;
  uid_t owner = 0;
  gid_t group = 0;
};

// Follows the links of `name` (at most 40) and says what it stands for. False with `error` set
// ("cannot write 'NAME': reason") for a folder, a name whose folder does not exist, a loop of
// links, or a regular file that may not be written.
bool resolveOutputTarget(const std::string& name, OutputTarget& target, std::string& error);

// Whether two resolved targets are one file (one name, or two names of one inode).
bool sameOutputFile(const OutputTarget& a, const OutputTarget& b);

// A named output. A regular file or a new name is written under a temporary name in the folder
// of its final name and renamed onto it by commit(): until then the real name is untouched, an
// uncommitted file is removed by the destructor and by SIGINT, SIGTERM or SIGHUP (which then end
// the process as they would have). Hard links to a replaced file keep its old contents. Anything
// else is written in place.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Opens the output. False with `error` set when it cannot.
  bool open(const std::string& name, std::string& error);
  int fd() const { return fd_; }
  // Whether the output is a temporary file renamed onto the target by commit().
  bool replacedAtomically() const { return !temporary_.empty(); }
  // The temporary file's name while there is one.
  const std::string& temporaryName() const { return temporary_; }
  // Closes the output and, for a temporary, gives it its real name. False with `error` set when
  // that fails (a temporary is then removed).
  bool commit(std::string& error);

 private:
  bool openTemporary(std::string& error);
  bool openInPlace(std::string& error);
  void discard();

  std::string name_, temporary_;
  int slot_ = -1;  // the temporary's place among those the signals remove
  OutputTarget target_;
  int fd_ = -1;
};

// A new, empty private file in TMPDIR (or /tmp), removed when this object ends and by the
// signals that end the program meanwhile (SIGINT, SIGTERM, SIGHUP, unless ignored).
class TemporaryFile {
 public:
  TemporaryFile() = default;
  TemporaryFile(const TemporaryFile&) = delete;
  TemporaryFile& operator=(const TemporaryFile&) = delete;
  ~TemporaryFile();

  // Makes the file; false with `error` set when it cannot be made.
  bool create(std::string& error);
  const std::string& path() const { return path_; }
  int fd() const { return fd_; }
  void closeDescriptor();

 private:
  std::string path_;
  int fd_ = -1;
  int slot_ = -1;  // its place among the temporaries the signals remove
};

// Copies the file `from` to the descriptor `to`. False with `error` set on failure.
bool copyFileTo(const std::string& from, int to, std::string& error);

// For writers that take a file name rather than a descriptor (gnuplot, libnetcdf): the name
// an opened OutputFile is written through: its temporary, renamed onto the target by its
// commit; or, for an output written in place (a device, /dev/stdout), a private file copied
// there by finish() and removed.
class OutputThroughName {
 public:
  OutputThroughName() = default;
  OutputThroughName(const OutputThroughName&) = delete;
  OutputThroughName& operator=(const OutputThroughName&) = delete;
  ~OutputThroughName() = default;

  bool begin(OutputFile& output, std::string& error);
  const std::string& name() const { return name_; }
  // Copies a private file to the output. The caller then commits the OutputFile.
  bool finish(std::string& error);

 private:
  OutputFile* output_ = nullptr;
  std::string name_;
  std::unique_ptr<TemporaryFile> private_;  // for an output written in place
};

}  // namespace aqsol
