// Message boxes: how runtime errors reach the user, and the hand-over of a box from the
// calculator thread to the main thread that draws it.
#pragma once

#include <condition_variable>
#include <mutex>
#include <optional>
#include <string>

namespace aqsol {

struct MessageBoxRequest {
  std::string text;  // lines separated by line feeds
  std::string caption;
  bool yes_no = true;  // Yes and No; false: OK alone (critical errors)
};

enum class BoxAnswer { kYes, kNo, kFailed };

// Shows boxes to the user. show_box is called on the calculator thread and waits for the answer;
// an OK box answers kYes.
class ErrorPresenter {
 public:
  virtual ~ErrorPresenter() = default;
  virtual BoxAnswer show_box(const MessageBoxRequest& request) = 0;
  // Shutdown: a box waiting now or asked later answers kNo at once.
  virtual void cancel() {}
};

// Hands a box from the calculator thread to the main thread, which shows it and answers.
class BoxMailbox final : public ErrorPresenter {
 public:
  BoxAnswer show_box(const MessageBoxRequest& request) override;
  void cancel() override;

  // Main thread: the box waiting to be shown, if any (a copy).
  std::optional<MessageBoxRequest> waiting();
  // Main thread: answers the waiting box.
  void answer(BoxAnswer answer);

 private:
  std::mutex mutex_;
  std::condition_variable answered_;
  std::optional<MessageBoxRequest> request_;
  std::optional<BoxAnswer> answer_;
  bool cancelled_ = false;
};

// Writes each box to standard error ("Line:N", the message, the caption) and answers Yes.
class StderrPresenter final : public ErrorPresenter {
 public:
  BoxAnswer show_box(const MessageBoxRequest& request) override;
};

}  // namespace aqsol
