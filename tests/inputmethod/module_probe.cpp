// A module loaded into a program that carries the input-method interface: it finds the exported
// functions through dlsym and posts and reads an event with them.
#include <dlfcn.h>

#include <cstdint>

namespace {

template <typename Function>
Function find(const char* name) {
  return reinterpret_cast<Function>(dlsym(RTLD_DEFAULT, name));
}

}  // namespace

extern "C" __attribute__((visibility("default"))) int im_probe_run();

// 0 when every call behaved; otherwise the number of the first that did not.
extern "C" int im_probe_run() {
  using Post = int (*)(int, const uint16_t*, int, int, int);
  using Count = int (*)();
  using Text = const uint16_t* (*)();
  const auto post = find<Post>("InputMethod_PostEvent");
  const auto count = find<Count>("InputMethod_GetEventNumber");
  const auto message = find<Count>("InputMethod_GetCurrentMessage");
  const auto text = find<Text>("InputMethod_GetCurrentEditingString");
  const auto next = find<Count>("InputMethod_MoveNextEvent");
  if (!post || !count || !message || !text || !next) return 1;
  const uint16_t hello[] = {'h', 'i', 0};
  if (post(2, hello, 0, 0, 0) != 0) return 2;
  if (count() != 1 || message() != 2) return 3;
  if (text()[0] != 'h' || text()[1] != 'i') return 4;
  if (next() != 0) return 5;
  return post(1, hello, 2, 0, 2) == 0 ? 0 : 6;  // left for the program to read
}
