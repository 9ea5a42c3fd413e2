// SPDX-License-Identifier: Apache-2.0
#include "../FrameLoop.h"

#include <fcntl.h>
#include <io.h>
#include <stdio.h>
#include <iostream>

namespace ServerKit {

// The C runtime opens the standard streams in text mode, which would turn the
// LF that ends every body into CR LF and break the announced lengths.
void UseBinaryStdio() {
    _setmode(_fileno(stdin), _O_BINARY);
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

std::istream& RequestInput() {
    return std::cin;
}

}  // namespace ServerKit
