// A program built like aqsol (the input-method interface exported to loaded modules) that loads
// the module named by its argument and checks what the module did through the interface.
#include <dlfcn.h>

#include <cstdio>
#include <cstdlib>

#include "inputmethod/input_method.h"

int main(int argc, char** argv) {
  if (argc != 2) return 64;
  setenv("SDL_VIDEODRIVER", "dummy", 1);
  if (InputMethod_Init() != 0) return 65;
  void* module = dlopen(argv[1], RTLD_NOW);
  if (module == nullptr) {
    std::fprintf(stderr, "%s\n", dlerror());
    return 66;
  }
  auto run = reinterpret_cast<int (*)()>(dlsym(module, "im_probe_run"));
  if (run == nullptr) return 67;
  if (const int failed = run(); failed != 0) return failed;
  const bool left = InputMethod_GetEventNumber() == 1 && InputMethod_GetCurrentMessage() == 1 &&
                    InputMethod_GetCurrentCompositionLength() == 2;
  InputMethod_Quit();
  dlclose(module);
  return left ? 0 : 68;
}
