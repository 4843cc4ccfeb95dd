// Every out-of-memory path of the string storage, the screen snapshot and line input: memory
// made to fail at each request in turn raises the error of the store that could not grow, with
// its message, and nothing breaks before it.
#include <gtest/gtest.h>

#include <set>

#include "console/line_input.hpp"
#include "console/runtime_string.hpp"
#include "console/text_screen.hpp"
#include "tests/support/failing_memory.hpp"

namespace aqsol {
namespace {

// The critical error that setting up a storage raises when request `n` fails.
CriticalError constructionFailingAt(long n) {
  ErrorSlot errors;
  LowMemory low_memory;
  FailingMemory memory(n);
  try {
    StringStorage storage(errors, low_memory, memory);
  } catch (const CriticalError& caught) {
    return caught;
  }
  return {0, "", ""};
}

TEST(OutOfMemory, EveryRequestOfTheSetUpRaisesItsStoresCriticalError) {
  ErrorSlot errors;
  LowMemory low_memory;
  FailingMemory counting;
  { StringStorage storage(errors, low_memory, counting); }
  const long requests = counting.requests();
  ASSERT_GE(requests, 6);  // heap, three lists, the free stack, the first descriptor block
  std::set<std::string> captions;
  for (long n = 1; n <= requests; ++n) {
    const CriticalError caught = constructionFailingAt(n);
    EXPECT_EQ(caught.text, "Out of memory") << "request " << n;
    EXPECT_EQ(caught.caption, "Critical Error #" + std::to_string(caught.number - 500))
        << "request " << n;
    captions.insert(caught.caption);
  }
  // The heap (#12), the main (#10), low (#9) and temporary (#11) lists, the free stack (#8)
  // and the descriptor blocks (#7).
  EXPECT_EQ(captions, (std::set<std::string>{"Critical Error #7", "Critical Error #8",
                                             "Critical Error #9", "Critical Error #10",
                                             "Critical Error #11", "Critical Error #12"}));
}

class GrowingStores : public testing::Test {
 protected:
  ErrorSlot errors;
  LowMemory low_memory;
  FailingMemory memory;
  StringStorage st{errors, low_memory, memory};

  // The critical error raised while `grow` runs with the next request failing.
  template <class Grow>
  std::string captionWhenNextRequestFails(Grow grow) {
    memory.fail_after(0);
    try {
      grow();
    } catch (const CriticalError& caught) {
      EXPECT_EQ(caught.text, "Out of memory");
      return caught.caption;
    }
    return "no error";
  }
};

TEST_F(GrowingStores, TheHeapRaisesTwelveWhenItCannotGrow) {
  EXPECT_EQ(captionWhenNextRequestFails([&] {
              for (int i = 0; i < 100; ++i) st.string_new(100'000, false);
            }),
            "Critical Error #12");
}

TEST_F(GrowingStores, DescriptorBlocksRaiseSeven) {
  for (std::size_t i = 1; i < StringStorage::kDescriptorsPerBlock; ++i) st.string_new(0, false);
  EXPECT_EQ(captionWhenNextRequestFails([&] { st.string_new(0, false); }), "Critical Error #7");
}

// Descriptors to spare (a second block, and a free stack holding them) and a heap grown well
// past the initial one, so that the list under test is the next store to grow. The spare
// descriptors pass through the other list, which grows meanwhile.
void prepareSpareDescriptorsAndHeap(StringStorage& st, bool through_temporaries) {
  const int32_t mark = st.temporaries_mark();
  std::vector<RuntimeString*> spare;
  for (std::size_t i = 0; i < StringStorage::kDescriptorsPerBlock + 10'000; ++i)
    spare.push_back(through_temporaries ? st.string_from_text("t") : st.string_new(0, false));
  if (through_temporaries) {
    st.temporaries_release(mark, 0);
  } else {
    for (RuntimeString* s : spare) st.string_free(s);
  }
  st.string_free(st.string_new(8'000'000, false));
}

TEST_F(GrowingStores, TheMainListRaisesTen) {
  prepareSpareDescriptorsAndHeap(st, true);
  EXPECT_EQ(captionWhenNextRequestFails([&] {
              for (int i = 0; i < StringStorage::kInitialListCapacity + 10; ++i)
                st.string_new(0, false);
            }),
            "Critical Error #10");
}

TEST_F(GrowingStores, TheTemporaryListRaisesEleven) {
  prepareSpareDescriptorsAndHeap(st, false);
  EXPECT_EQ(captionWhenNextRequestFails([&] {
              for (int i = 0; i < StringStorage::kInitialListCapacity + 10; ++i)
                st.string_from_text("t");
            }),
            "Critical Error #11");
}

TEST_F(GrowingStores, TheFreeStackRaisesEight) {
  std::vector<RuntimeString*> strings;
  for (std::size_t i = 0; i < StringStorage::kDescriptorsPerBlock + 10; ++i)
    strings.push_back(st.string_new(0, false));
  EXPECT_EQ(captionWhenNextRequestFails([&] {
              for (RuntimeString* s : strings) st.string_free(s);
            }),
            "Critical Error #8");
}

// A screen copy that cannot be had makes line input raise "Out of memory" (error 7), which the
// calculator may continue after; the screen and the storage are untouched.
TEST(OutOfMemory, LineInputWithoutMemoryForItsScreenCopyRaisesSeven) {
  ErrorSlot errors;
  LowMemory low_memory;
  StringStorage st(errors, low_memory);
  FailingMemory memory(1);
  TextScreen screen(low_memory, memory);
  Console con{errors, st, screen, {}};
  class NoKeys final : public RuntimeHost {
   public:
    RuntimeString* read_key() override { throw 0; }
    bool stop_requested() const override { return false; }
    bool event_pending() const override { return false; }
    void hook(int32_t) override {}
    [[noreturn]] void stop() override { throw 0; }
    void sound(double, double) override {}
    void sleep_ms(int) override {}
  } host;
  double value = 5;
  const InputTarget target{kInputDouble, &value};
  line_input(con, host, std::span(&target, 1), 0);
  EXPECT_EQ(errors.pending_error(), static_cast<uint32_t>(kOutOfMemory));
  EXPECT_EQ(error_message(errors.pending_error()), "Out of memory");
  EXPECT_EQ(screen.cursor_visible(), 0);
  TextScreen::Snapshot shot;
  EXPECT_FALSE(screen.take_snapshot(shot));
}

}  // namespace
}  // namespace aqsol
