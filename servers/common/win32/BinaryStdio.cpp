// SPDX-License-Identifier: Apache-2.0
#include "../BinaryStdio.h"
#include "../FrameLoop.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>

#include <algorithm>
#include <climits>

namespace ServerKit {

// The C runtime opens the standard streams in text mode, which would turn the
// LF that ends every body into CR LF and break the announced lengths.
void UseBinaryStdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

// The process heap has no setting for when it gives freed memory back;
// it is left as it is.
void KeepFreedMemory() {}

// On a pipe, _read returns what the pipe holds once a byte is there, and 0
// once the writer has closed its end.
std::size_t ReadStandardInput(char* into, std::size_t size) {
    const auto wanted = static_cast<unsigned int>(std::min<std::size_t>(size, INT_MAX));
    const int got = _read(_fileno(stdin), into, wanted);
    return got > 0 ? static_cast<std::size_t>(got) : 0;
}

}  // namespace ServerKit
