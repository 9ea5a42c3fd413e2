// Returns every block of N bytes it receives (N = the first argument): the
// raw pipe ping-pong the round-trip benchmark measures itself against.

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::size_t size = std::strtoul(argv[1], nullptr, 10);
    std::vector<char> block(size);
    while (std::fread(block.data(), 1, size, stdin) == size) {
        std::fwrite(block.data(), 1, size, stdout);
        std::fflush(stdout);
    }
    return 0;
}
