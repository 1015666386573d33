// The bench's reference: the 256-byte line input of W and nothing else, so that W's throughput
// can be given as a fraction of what reading the file costs.
#include <cstdio>

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: bench_line_loop FILE\n");
        return 2;
    }
    FILE* file = std::fopen(argv[1], "r");
    if (file == nullptr) {
        std::perror(argv[1]);
        return 1;
    }
    char buffer[256];
    unsigned long pieces = 0;
    while (std::fgets(buffer, sizeof buffer, file) != nullptr) ++pieces;
    const bool failed = std::ferror(file) != 0;
    std::fclose(file);
    // The count keeps the loop's work observable, and lets the bench see the whole file was read.
    std::printf("%lu\n", pieces);
    return failed ? 1 : 0;
}
