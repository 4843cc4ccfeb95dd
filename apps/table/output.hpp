// Where aqsol-table's table goes: buffered writes that stop at the first failure, and files
// that appear under their real name only when complete.
#pragma once

#include <string>
#include <string_view>

namespace aqsol::table {

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

// A file written under a temporary name in the folder of `path` and renamed to `path` by
// commit(). Until then `path` is untouched; an uncommitted file is removed by the destructor,
// and by SIGINT, SIGTERM or SIGHUP (which then end the process as they would have).
class FileUnderConstruction {
 public:
  FileUnderConstruction() = default;
  FileUnderConstruction(const FileUnderConstruction&) = delete;
  FileUnderConstruction& operator=(const FileUnderConstruction&) = delete;
  ~FileUnderConstruction();

  // Creates the temporary file beside `path`. False with `error` set when it cannot.
  bool open(const std::string& path, std::string& error);
  int fd() const { return fd_; }
  // The name the file has until it is committed.
  const std::string& temporaryName() const { return temporary_; }
  // Closes the file and gives it its real name. False with `error` set when that fails (the
  // temporary file is then removed).
  bool commit(std::string& error);

 private:
  void discard();

  std::string path_, temporary_;
  int fd_ = -1;
};

// "write error: <reason>" for an errno value.
std::string writeErrorMessage(int error);

}  // namespace aqsol::table
