// Reads blocks of IN bytes and answers each with OUT bytes (the first and
// second argument; OUT defaults to IN): the raw pipe ping-pong the
// round-trip benchmarks measure themselves against. No JSON, no framing.

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv) {
    if (argc < 2) {
        return 2;
    }
    const std::size_t in = std::strtoul(argv[1], nullptr, 10);
    const std::size_t out = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : in;
    std::vector<char> request(in);
    std::vector<char> answer(out, ' ');
    while (std::fread(request.data(), 1, in, stdin) == in) {
        std::fwrite(answer.data(), 1, out, stdout);
        std::fflush(stdout);
    }
    return 0;
}
