// The C library's exp, log and pow with the bits of the one the vector lanes transcribe
// (library_math.hpp), on machines whose own library is another (the browser's WebAssembly): the
// transcription in one lane, its fused multiply-adds computed from ordinary operations. Lanes
// outside the transcribed paths take the machine's own functions, as in the vector lanes.
#pragma once

namespace aqsol::portable_math {

double exp(double x);
double log(double x);
double pow(double x, double y);

}  // namespace aqsol::portable_math
