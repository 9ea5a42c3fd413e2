#include "../FrameLoop.h"

namespace ServerKit {

// POSIX streams never translate line endings.
void UseBinaryStdio() {}

}  // namespace ServerKit
