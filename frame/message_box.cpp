// Message boxes: how runtime errors reach the user, and the hand-over of a box from the
// calculator thread to the main thread that draws it.
#include "frame/message_box.hpp"

#include <cstdio>

namespace aqsol {

BoxAnswer BoxMailbox::show_box(const MessageBoxRequest& request) {
  std::unique_lock lock(mutex_);
  if (cancelled_) return BoxAnswer::kNo;
  request_ = request;
  answer_.reset();
  answered_.wait(lock, [this] { return answer_.has_value() || cancelled_; });
  request_.reset();
  return cancelled_ && !answer_ ? BoxAnswer::kNo : *answer_;
}

void BoxMailbox::cancel() {
  std::lock_guard lock(mutex_);
  cancelled_ = true;
  answered_.notify_all();
}

std::optional<MessageBoxRequest> BoxMailbox::waiting() {
  std::lock_guard lock(mutex_);
  if (answer_) return std::nullopt;
  return request_;
}

void BoxMailbox::answer(BoxAnswer answer) {
  std::lock_guard lock(mutex_);
  if (!request_) return;
  answer_ = answer;
  answered_.notify_all();
}

BoxAnswer StderrPresenter::show_box(const MessageBoxRequest& request) {
  // Nobody is asked: the question line is left out, and the routine goes on as after Yes.
  std::string text = request.text;
  if (const auto question = text.rfind("\nContinue?"); question != std::string::npos)
    text.erase(question);
  std::fprintf(stderr, "%s\n%s\n", text.c_str(), request.caption.c_str());
  std::fflush(stderr);
  return BoxAnswer::kYes;
}

}  // namespace aqsol
