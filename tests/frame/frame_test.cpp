// Tests of the frame: the calculator thread, the hook, pause and stop, runtime-error boxes and
// their answers, keys to the routine, shutdown and exit codes.
#include "frame/frame.hpp"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>

namespace aqsol {
namespace {

// A front end without a window: it calls `on_pass` on each event pass and ends the run when that
// returns false, or after `max_passes` passes.
class HeadlessFront final : public FrontEnd {
 public:
  std::function<bool(int)> on_pass = [](int) { return true; };
  int max_passes = 1'000;
  int passes = 0;
  int refreshes = 0;
  std::string calls;  // R refresh, P pump, s a 16 ms sleep, L a 32 ms sleep
  void refresh() override {
    ++refreshes;
    calls += 'R';
  }
  bool pump_events() override {
    calls += 'P';
    return ++passes < max_passes && on_pass(passes);
  }
  void sleep_ms(int ms) override {
    calls += ms == 32 ? 'L' : ms == 16 ? 's' : '?';
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }
  uint32_t ticks_ms() override { return static_cast<uint32_t>(passes * 32); }
};

// Answers every box as told and remembers the last one.
class AnsweringPresenter final : public ErrorPresenter {
 public:
  explicit AnsweringPresenter(BoxAnswer answer) : answer_(answer) {}
  BoxAnswer show_box(const MessageBoxRequest& request) override {
    text = request.text;
    caption = request.caption;
    ++boxes;
    return answer_;
  }
  std::string text, caption;
  std::atomic<int> boxes{0};

 private:
  BoxAnswer answer_;
};

// Runs statements for ever, as the calculator does, counting them.
void count_statements(Runtime& rt, std::atomic<int>& statements) {
  for (int line = 1;; ++line) {
    statements.fetch_add(1);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (rt.host.event_pending()) rt.host.hook(line);
  }
}

TEST(FrameThreaded, ClosingStopsTheRoutineAtItsHookAndExitsWithZero) {
  AnsweringPresenter presenter(BoxAnswer::kYes);
  Frame frame({"a", "b"}, nullptr, presenter);
  EXPECT_EQ(frame.runtime().command_text->view(), "a b");
  std::atomic<int> statements{0};
  std::atomic<bool> unwound{false};
  HeadlessFront front;
  front.on_pass = [&](int) { return statements.load() < 50; };
  const int code = frame.run(front, [&](Runtime& rt) {
    struct Guard {
      std::atomic<bool>& flag;
      ~Guard() { flag.store(true); }
    } guard{unwound};
    count_statements(rt, statements);
  });
  EXPECT_EQ(code, 0);
  EXPECT_TRUE(unwound.load());  // stop() unwound the routine from inside its hook
  EXPECT_EQ(frame.flags().ended_mask.load(), FrameFlags::kCalculatorEnded);
  EXPECT_GT(front.refreshes, 0);
}

TEST(FrameThreaded, YesContinuesAfterTheErrorBox) {
  AnsweringPresenter presenter(BoxAnswer::kYes);
  Frame frame({}, nullptr, presenter);
  std::atomic<bool> went_on{false};
  HeadlessFront front;
  front.on_pass = [&](int) { return !went_on.load(); };
  frame.run(front, [&](Runtime& rt) {
    rt.errors.raise_error(kIllegalFunctionCall);
    rt.errors.raise_error(kOverflow);  // the first error of a statement wins
    if (rt.host.event_pending()) rt.host.hook(120);
    went_on.store(!rt.errors.has_error());
    for (;;) rt.host.hook(130);
  });
  EXPECT_TRUE(went_on.load());
  EXPECT_EQ(presenter.text, "Line:120\nIllegal function call\nContinue?");
  EXPECT_EQ(presenter.caption, "Unhandled Error #5");
}

TEST(FrameThreaded, NoEndsTheProgram) {
  AnsweringPresenter presenter(BoxAnswer::kNo);
  Frame frame({}, nullptr, presenter);
  std::atomic<bool> went_on{false};
  HeadlessFront front;
  const int code = frame.run(front, [&](Runtime& rt) {
    rt.errors.raise_error(0);  // becomes 5
    rt.host.hook(7);
    went_on.store(true);
  });
  EXPECT_EQ(code, 0);
  EXPECT_FALSE(went_on.load());
  EXPECT_TRUE(frame.flags().exit_requested.load());
  EXPECT_LT(front.passes, 100);
}

TEST(FrameThreaded, PauseHoldsTheRoutineUntilTheNextKey) {
  AnsweringPresenter presenter(BoxAnswer::kYes);
  Frame frame({}, nullptr, presenter);
  std::atomic<int> statements{0};
  int held_at = -1;
  bool held_steady = true;
  HeadlessFront front;
  front.on_pass = [&](int pass) {
    if (pass == 3) frame.keyboard().key_down(kKeyPause - 100000, 0);
    if (pass == 6) held_at = statements.load();
    if (pass > 6 && pass < 12) held_steady = held_steady && statements.load() == held_at;
    if (pass == 12) frame.keyboard().key_down('z', 'z');  // resumes, not typed
    return pass < 12 || statements.load() <= held_at + 5;
  };
  frame.run(front, [&](Runtime& rt) { count_statements(rt, statements); });
  EXPECT_TRUE(held_steady);
  EXPECT_GT(statements.load(), held_at);
  uint8_t c, s;
  EXPECT_FALSE(frame.key_buffer().take(c, s));
}

TEST(FrameThreaded, TheRoutineReadsTypedKeys) {
  AnsweringPresenter presenter(BoxAnswer::kYes);
  Frame frame({}, nullptr, presenter);
  std::string seen;
  std::atomic<bool> done{false};
  HeadlessFront front;
  front.on_pass = [&](int pass) {
    if (pass == 2) {
      frame.keyboard().key_down('h', 'h');
      frame.keyboard().key_down(kSymUp, 0);
      frame.keyboard().key_down('i', 'i');
    }
    return !done.load();
  };
  frame.run(front, [&](Runtime& rt) {
    while (seen.size() < 4) {
      const RuntimeString* key = rt.host.read_key();
      seen += key->view();
      rt.strings.temporaries_release(1, 0);
      rt.host.sleep_ms(5);
    }
    done.store(true);
    for (;;) rt.host.hook(1);
  });
  EXPECT_EQ(seen, std::string("h\0Hi", 4));
}

// A routine waiting at a prompt sleeps until a key is put (however long that takes), and
// closing the frame while it waits ends the run rather than leaving it asleep.
TEST(FrameThreaded, AWaitForAKeyEndsWithTheKeyOrTheClose) {
  for (const bool typed : {true, false}) {
    AnsweringPresenter presenter(BoxAnswer::kYes);
    Frame frame({}, nullptr, presenter);
    std::atomic<int> waits{0};
    std::atomic<bool> got_key{false};
    HeadlessFront front;
    front.on_pass = [&](int pass) {
      if (pass == 20 && typed) frame.keyboard().key_down('k', 'k');
      return typed ? !got_key.load() : pass < 20;
    };
    const int code = frame.run(front, [&](Runtime& rt) {
      for (;;) {
        const RuntimeString* key = rt.host.read_key();
        const bool found = key->length > 0;
        rt.strings.temporaries_release(1, 0);
        if (found) got_key.store(true);
        if (rt.host.stop_requested()) rt.host.stop();
        if (!found) {
          waits.fetch_add(1);
          rt.host.wait_for_key(10);
        }
      }
    });
    EXPECT_EQ(code, 0);
    EXPECT_EQ(got_key.load(), typed);
    // Twenty event passes: a routine polling every 10 ms would have looked some 30 to 60 times.
    EXPECT_LE(waits.load(), 3) << (typed ? "typed" : "closed");
  }
}

// While the routine waits for a key, a pass sleeps 32 ms and then both refreshes and pumps; once
// it runs again, passes of 16 ms alternate between the two.
TEST(FrameThreaded, AtRestOnePassDoesTheWorkOfTwo) {
  AnsweringPresenter presenter(BoxAnswer::kYes);
  Frame frame({}, nullptr, presenter);
  std::atomic<int> statements{0};
  HeadlessFront front;
  std::size_t key_at = 0;
  front.on_pass = [&](int pass) {
    if (pass == 10) {
      frame.keyboard().key_down('k', 'k');
      key_at = front.calls.size();
    }
    return statements.load() < 200;
  };
  frame.run(front, [&](Runtime& rt) {
    for (;;) {
      const bool found = rt.host.read_key()->length > 0;
      rt.strings.temporaries_release(1, 0);
      if (found) break;
      if (rt.host.stop_requested()) rt.host.stop();
      rt.host.wait_for_key(10);
    }
    count_statements(rt, statements);
  });
  const std::string& calls = front.calls;
  ASSERT_GT(key_at, 8u);
  EXPECT_EQ(calls.substr(key_at - 6, 6), "LRPLRP");
  // The run ends with the pump that said stop, then the shut-down's refresh.
  EXPECT_EQ(calls.substr(calls.size() - 11), "sPsRsPsRsPR") << calls;
}

// A critical error raised in the routine, or shown by the hook, reaches the calculator thread's
// boundary: its box is shown, and the frame ends in order with code 0.
TEST(FrameCritical, CriticalErrorsShowTheirBoxAndEndTheProgramWithZero) {
  for (const bool byHook : {false, true}) {
    AnsweringPresenter presenter(BoxAnswer::kYes);
    Frame frame({}, nullptr, presenter);
    HeadlessFront front;
    const int code = frame.run(front, [&](Runtime& rt) {
      rt.errors.raise_error(byHook ? 307 : 504);
      if (byHook) rt.host.hook(9);
      for (;;) rt.host.hook(1);
    });
    EXPECT_EQ(code, 0);
    EXPECT_LT(front.passes, front.max_passes);
    EXPECT_EQ(presenter.boxes.load(), 1);
    EXPECT_EQ(presenter.text, byHook ? "Line:9\nMemory already freed" : "Out of memory");
    EXPECT_EQ(presenter.caption, byHook ? "Critical Error #307" : "Critical Error #4");
  }
}

}  // namespace
}  // namespace aqsol
