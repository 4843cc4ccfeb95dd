// The terminal front end: the calculator's screen and keys in a terminal or over pipes.
#pragma once

#include <termios.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <memory>
#include <string>
#include <thread>

#include "frame/frame.hpp"
#include "frame/message_box.hpp"
#include "services/file_output.hpp"

namespace aqsol {

// Where the screen goes.
class ScreenOutput {
 public:
  virtual ~ScreenOutput() = default;
  virtual void refresh() = 0;
  // The program ends: what is still to be shown of the screen.
  virtual void finish() = 0;
  // The errno value of the first write that failed, or 0.
  virtual int write_error() const { return 0; }
};

// Where the keys come from. pump() puts what arrived into the frame's key buffer and returns
// false when the user ended the program (Ctrl+C, or the end of the input while the calculator
// waits for a key).
class KeyInput {
 public:
  virtual ~KeyInput() = default;
  virtual bool pump() = 0;
  // Whether keys may come that are put in as the calculator takes the ones before (keys from a
  // pipe or a file), not once a frame pass.
  virtual bool keys_waiting() const { return false; }
  // Whether keys wait, already read, for room in the key buffer.
  virtual bool keys_read() const { return false; }
  // Puts keys that are waiting into the key buffer; true when it put any.
  virtual bool refill() { return false; }
  // Waits until keys can be read or until `deadline`, whichever comes first.
  virtual void wait_for_keys(std::chrono::steady_clock::time_point deadline) {
    std::this_thread::sleep_until(deadline);
  }
};

// The screen as a transcript on a file descriptor that is not a terminal: each row that scrolls
// out of the print region is written as one line when it scrolls out (on the calculator's
// thread); finish() writes the rows from the top down to the last non-blank one. UTF-8, trailing
// blanks trimmed. Nothing is held back in a buffer, so a transcript cut short by a signal lacks
// nothing that scrolled out; after the first failed write nothing more is written.
class TranscriptOutput final : public ScreenOutput, public ScreenListener {
 public:
  TranscriptOutput(TextScreen& screen, int fd);
  ~TranscriptOutput() override;
  void refresh() override {}
  void finish() override;
  int write_error() const override { return error_.load(); }
  void row_scrolled_out(int row) override;

 private:
  void write_line(const std::string& text);

  TextScreen& screen_;
  Output out_;
  std::atomic<int> error_{0};
};

// Keys from a stream that is not a terminal: every byte is a key of that code page 437 code;
// LF, CR and CR LF are one Enter. A byte waits while the key buffer is full; none is dropped.
class PipeKeyInput final : public KeyInput {
 public:
  PipeKeyInput(Frame& frame, int fd);
  bool pump() override;
  bool keys_waiting() const override { return !pending_.empty() || !end_of_input_; }
  bool keys_read() const override { return !pending_.empty(); }
  bool refill() override;
  void wait_for_keys(std::chrono::steady_clock::time_point deadline) override;

 private:
  Frame& frame_;
  int fd_;
  bool end_of_input_ = false;
  bool after_cr_ = false;
  std::string pending_;  // read but not yet in the key buffer
};

// Keys from a terminal in raw mode, when the screen is not drawn on it: UTF-8 characters,
// Enter, Backspace, Tab and the arrows; Ctrl+C ends the program.
class TerminalKeyInput final : public KeyInput {
 public:
  TerminalKeyInput(Frame& frame, int fd);
  ~TerminalKeyInput() override;
  bool pump() override;

 private:
  void press(uint32_t unicode);
  void press_code(int32_t code);
  bool decode(std::string& bytes);

  Frame& frame_;
  int fd_;
  bool raw_ = false;
  struct termios* saved_ = nullptr;
  std::string pending_;
};

// The terminal front end: the frame loop's display and event source.
class ConsoleFrontEnd final : public FrontEnd {
 public:
  ConsoleFrontEnd(std::unique_ptr<ScreenOutput> output, std::unique_ptr<KeyInput> keys)
      : output_(std::move(output)), keys_(std::move(keys)) {}
  void refresh() override { output_->refresh(); }
  // False too once the transcript cannot be written or a signal asked the program to end.
  bool pump_events() override;
  void sleep_ms(int ms) override;
  uint32_t ticks_ms() override;
  void finish() { output_->finish(); }
  int write_error() const { return output_->write_error(); }

 private:
  std::unique_ptr<ScreenOutput> output_;
  std::unique_ptr<KeyInput> keys_;
  std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
};

}  // namespace aqsol
