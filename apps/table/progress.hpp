// A one-line progress bar on a terminal for long tables: rows done, rate and time left.
#pragma once

#include <chrono>
#include <cstddef>
#include <string>

namespace aqsol::table {

// Shows progress on `fd` (a terminal) once the work has lasted longer than `delay`, redrawn a
// few times a second, and clears its line at the end. Short work shows nothing.
class Progress {
 public:
  using Clock = std::chrono::steady_clock;

  Progress(int fd, std::size_t total, Clock::duration delay = std::chrono::seconds(1));
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress() { finish(); }

  // Rows done so far; cheap enough to call for every row.
  void update(std::size_t done);
  // Clears the line if one was drawn.
  void finish();

 private:
  void draw(std::size_t done, Clock::time_point now);

  int fd_;
  std::size_t total_;
  Clock::time_point start_, nextDraw_;
  bool drawn_ = false;
  std::size_t drawnLength_ = 0;  // columns of the line on screen
};

// What clears a line of `length` columns drawn earlier, with the cursor after its end, from a
// terminal now `width` columns wide: a terminal that has narrowed since has wrapped it over
// several rows, and every one of them is cleared.
std::string clearingText(std::size_t length, int width);

// The text of the progress line for `done` of `total` rows after `elapsed` seconds, fitted to
// `width` columns, for example "[#####     ] 52% 1,204,000/2,310,000 rows 410,000/s 3 s left".
std::string progressLine(std::size_t done, std::size_t total, double elapsed, int width);

}  // namespace aqsol::table
