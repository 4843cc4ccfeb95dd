// A one-line progress bar on a terminal for long tables.
#include "apps/table/progress.hpp"

#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace aqsol::table {
namespace {

constexpr auto kRedrawInterval = std::chrono::milliseconds(200);
constexpr std::size_t kRowsBetweenClockReads = 256;

// 1234567 as "1,234,567".
std::string withThousands(std::size_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

std::string duration(double seconds) {
  char text[32];
  if (seconds < 60) {
    std::snprintf(text, sizeof text, "%.0f s", seconds);
  } else if (seconds < 3600) {
    std::snprintf(text, sizeof text, "%.0f min %02.0f s", std::floor(seconds / 60),
                  std::fmod(seconds, 60));
  } else {
    std::snprintf(text, sizeof text, "%.0f h %02.0f min", std::floor(seconds / 3600),
                  std::floor(std::fmod(seconds, 3600) / 60));
  }
  return text;
}

int terminalWidth(int fd) {
  winsize size{};
  return ioctl(fd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0 ? size.ws_col : 80;
}

void writeAll(int fd, const std::string& text) {
  for (std::size_t done = 0; done < text.size();) {
    const ssize_t n = write(fd, text.data() + done, text.size() - done);
    if (n <= 0) return;  // progress is a courtesy: a failing terminal is not an error
    done += static_cast<std::size_t>(n);
  }
}

}  // namespace

std::string progressLine(std::size_t done, std::size_t total, double elapsed, int width) {
  if (total == 0) {  // a stream of unknown length: the rows so far and their rate
    const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
    std::string line = withThousands(done) + " rows";
    if (rate > 0) line += " " + withThousands(static_cast<std::size_t>(rate)) + "/s";
    return line.substr(0, static_cast<std::size_t>(std::max(0, width - 1)));
  }
  const double fraction = total == 0 ? 1 : static_cast<double>(done) / static_cast<double>(total);
  const double rate = elapsed > 0 ? static_cast<double>(done) / elapsed : 0;
  std::string tail = " " + std::to_string(static_cast<int>(fraction * 100)) + "% " +
                     withThousands(done) + "/" + withThousands(total) + " rows";
  if (rate > 0) {
    tail += " " + withThousands(static_cast<std::size_t>(rate)) + "/s " +
            duration(static_cast<double>(total - done) / rate) + " left";
  }
  const int barWidth = std::min(30, width - 1 - static_cast<int>(tail.size()) - 2);
  if (barWidth < 5) return tail.substr(1, static_cast<std::size_t>(std::max(0, width - 1)));
  const int filled = static_cast<int>(fraction * barWidth);
  return "[" + std::string(static_cast<std::size_t>(filled), '#') +
         std::string(static_cast<std::size_t>(barWidth - filled), ' ') + "]" + tail;
}

Progress::Progress(int fd, std::size_t total, Clock::duration delay)
    : fd_(fd), total_(total), start_(Clock::now()), nextDraw_(start_ + delay) {}

void Progress::update(std::size_t done) {
  if (done % kRowsBetweenClockReads != 0) return;
  const Clock::time_point now = Clock::now();
  if (now < nextDraw_) return;
  draw(done, now);
  nextDraw_ = now + kRedrawInterval;
}

std::string clearingText(std::size_t length, int width) {
  const std::size_t columns = static_cast<std::size_t>(std::max(1, width));
  const std::size_t rowsAbove = length == 0 ? 0 : (length - 1) / columns;
  return (rowsAbove > 0 ? "\033[" + std::to_string(rowsAbove) + "A" : "") + "\r\033[J";
}

void Progress::finish() {
  if (!drawn_) return;
  writeAll(fd_, clearingText(drawnLength_, terminalWidth(fd_)));
  drawn_ = false;
}

void Progress::draw(std::size_t done, Clock::time_point now) {
  const double elapsed = std::chrono::duration<double>(now - start_).count();
  const int width = terminalWidth(fd_);
  const std::string line = progressLine(done, total_, elapsed, width);
  writeAll(fd_, (drawn_ ? clearingText(drawnLength_, width) : "\r") + line);
  drawn_ = true;
  drawnLength_ = line.size();
}

}  // namespace aqsol::table
