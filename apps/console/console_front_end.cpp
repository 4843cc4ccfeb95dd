// The terminal front end: the calculator's screen and keys in a terminal or over pipes.
#include "apps/console/console_front_end.hpp"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <thread>

#include "apps/console/screen_text.hpp"
#include "frame/termination_signals.hpp"

namespace aqsol {
namespace {

constexpr uint8_t kEnter = 13;
constexpr uint8_t kBackspace = 8;
constexpr uint8_t kCtrlC = 3;
constexpr uint8_t kEscape = 27;

// Reads what is available on `fd` without waiting. Returns false at the end of the input.
bool read_available(int fd, std::string& into) {
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 0) <= 0) return true;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n == 0) return false;
    if (n < 0) return errno == EINTR || errno == EAGAIN;
    into.append(buffer, static_cast<std::size_t>(n));
    if (into.size() > 4096) return true;
  }
}

}  // namespace

TranscriptOutput::TranscriptOutput(TextScreen& screen, int fd) : screen_(screen), out_(fd) {
  screen_.set_listener(this);
}

TranscriptOutput::~TranscriptOutput() {
  screen_.set_listener(nullptr);
}

void TranscriptOutput::write_line(const std::string& text) {
  if (!out_.write(text) || !out_.write("\n") || !out_.flush()) error_.store(out_.error());
}

void TranscriptOutput::row_scrolled_out(int row) {
  write_line(row_text(screen_, row));
}

void TranscriptOutput::finish() {
  int last = 0;
  for (int row = 1; row <= screen_.height(); ++row)
    if (!row_text(screen_, row).empty()) last = row;
  for (int row = 1; row <= last; ++row) write_line(row_text(screen_, row));
}

PipeKeyInput::PipeKeyInput(Frame& frame, int fd) : frame_(frame), fd_(fd) {}

bool PipeKeyInput::refill() {
  if (!end_of_input_ && pending_.size() < 64) end_of_input_ = !read_available(fd_, pending_);
  KeyBuffer& buffer = frame_.key_buffer();
  std::size_t used = 0;
  for (; used < pending_.size() && buffer.has_room(); ++used) {
    const auto byte = static_cast<uint8_t>(pending_[used]);
    const bool lf_after_cr = byte == '\n' && after_cr_;
    after_cr_ = byte == '\r';
    if (lf_after_cr || byte == 0) continue;
    buffer.put(byte == '\n' ? kEnter : byte, 0);
  }
  pending_.erase(0, used);
  return used > 0;
}

void PipeKeyInput::wait_for_keys(std::chrono::steady_clock::time_point deadline) {
  const auto left =
      std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
  if (end_of_input_ || left.count() <= 0) {
    std::this_thread::sleep_until(deadline);
    return;
  }
  pollfd p{fd_, POLLIN, 0};
  poll(&p, 1, static_cast<int>(left.count()));
}

bool PipeKeyInput::pump() {
  refill();
  const KeyBuffer& buffer = frame_.key_buffer();
  // The input has ended and everything was taken: once the calculator waits for another key,
  // nothing can ever come, and the program ends as when its window is closed.
  const bool drained = pending_.empty() && !buffer.has_pending_keys();
  return !(end_of_input_ && drained && frame_.waiting_for_key());
}

TerminalKeyInput::TerminalKeyInput(Frame& frame, int fd) : frame_(frame), fd_(fd) {
  saved_ = new termios;
  if (tcgetattr(fd_, saved_) != 0) return;
  remember_terminal_modes(fd_, *saved_);
  termios raw = *saved_;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
  raw.c_iflag &= ~static_cast<tcflag_t>(IXON | ICRNL);
  raw.c_cc[VMIN] = 0;
  raw.c_cc[VTIME] = 0;
  raw_ = tcsetattr(fd_, TCSANOW, &raw) == 0;
}

TerminalKeyInput::~TerminalKeyInput() {
  if (raw_) tcsetattr(fd_, TCSANOW, saved_);
  forget_terminal_modes();
  delete saved_;
}

void TerminalKeyInput::press(uint32_t unicode) {
  frame_.keyboard().key_press_char(unicode);
  frame_.keyboard().key_release_char(unicode);
}

void TerminalKeyInput::press_code(int32_t code) {
  frame_.keyboard().key_press(code);
  frame_.keyboard().key_release(code);
}

// Turns complete key sequences at the front of `bytes` into key presses; false on Ctrl+C.
bool TerminalKeyInput::decode(std::string& bytes) {
  std::size_t k = 0;
  while (k < bytes.size() && frame_.key_buffer().has_room()) {
    const auto b = static_cast<uint8_t>(bytes[k]);
    if (b == kCtrlC) return false;
    if (b == kEscape && k + 2 < bytes.size() && bytes[k + 1] == '[') {
      static constexpr struct {
        char final;
        int32_t code;
      } kArrows[] = {{'A', 0x4800}, {'B', 0x5000}, {'C', 0x4D00},
                     {'D', 0x4B00}, {'H', 0x4700}, {'F', 0x4F00}};
      for (const auto& arrow : kArrows)
        if (bytes[k + 2] == arrow.final) press_code(arrow.code);
      k += 3;
      continue;
    }
    if (b == '\r' || b == '\n') {
      press(kEnter);
      ++k;
      continue;
    }
    if (b == 127 || b == kBackspace) {
      press(kBackspace);
      ++k;
      continue;
    }
    // A UTF-8 character: its length from the lead byte; an incomplete one waits.
    const std::size_t length = b < 0x80 ? 1 : b >= 0xF0 ? 4 : b >= 0xE0 ? 3 : b >= 0xC0 ? 2 : 1;
    if (k + length > bytes.size()) break;
    uint32_t u = length == 1 ? b : b & (0xFF >> (length + 1));
    for (std::size_t i = 1; i < length; ++i)
      u = u << 6 | (static_cast<uint8_t>(bytes[k + i]) & 0x3F);
    press(u);
    k += length;
  }
  bytes.erase(0, k);
  return true;
}

bool TerminalKeyInput::pump() {
  const bool open = read_available(fd_, pending_);
  if (!decode(pending_)) return false;
  return open || !pending_.empty() || frame_.key_buffer().has_pending_keys() ||
         !frame_.waiting_for_key();
}

bool ConsoleFrontEnd::pump_events() {
  return termination_signal() == 0 && output_->write_error() == 0 && keys_->pump();
}

// Keys waiting in a pipe are put in as soon as the calculator takes the ones before them, so a
// script runs at the calculator's pace: the wait is cut into short naps, shortest while keys
// flow.
void ConsoleFrontEnd::sleep_ms(int ms) {
  using std::chrono::microseconds;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  if (!keys_->keys_waiting()) {
    std::this_thread::sleep_until(deadline);
    return;
  }
  constexpr microseconds kShortest{20}, kLongest{1000};
  microseconds nap = kShortest;
  for (auto now = std::chrono::steady_clock::now(); now < deadline;
       now = std::chrono::steady_clock::now()) {
    nap = keys_->refill() ? kShortest : std::min(nap * 2, kLongest);
    // Keys read but not yet taken are put in as the calculator makes room; with none read, the
    // wait ends when more arrive, so an idle pipe costs no wake-ups.
    if (keys_->keys_read()) {
      std::this_thread::sleep_until(std::min(now + nap, deadline));
    } else {
      keys_->wait_for_keys(deadline);
    }
  }
}

uint32_t ConsoleFrontEnd::ticks_ms() {
  return static_cast<uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now() - start_)
                                   .count());
}

}  // namespace aqsol
