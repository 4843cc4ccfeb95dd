// What a signal does on arrival, as a program that catches signals must respect it: one that its
// caller started ignored (nohup, a shell's background job) stays ignored.
#pragma once

namespace aqsol {

// Whether `signal` is ignored now.
bool signalIgnored(int signal);

}  // namespace aqsol
