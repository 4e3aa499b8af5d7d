// Prints the stream sizes of the optimal and of the greedy parse of one file,
// for the benchmark: the optimal parse must come out smaller.
#include <cstdio>
#include <vector>

#include "container/lzss_compress.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: lzss_parse_sizes FILE\n");
        return 2;
    }
    std::FILE* f = std::fopen(argv[1], "rb");
    if (!f) {
        std::perror(argv[1]);
        return 1;
    }
    std::vector<unsigned char> data;
    unsigned char chunk[1 << 16];
    size_t n;
    while ((n = std::fread(chunk, 1, sizeof chunk, f)) > 0) {
        data.insert(data.end(), chunk, chunk + n);
    }
    std::fclose(f);
    LzssStats optimal, greedy;
    CompressLzss(data.data(), data.size(), &optimal);
    CompressLzss(data.data(), data.size(), &greedy, nullptr, LzssParse::kGreedy);
    std::printf("%llu %llu %llu\n", (unsigned long long)data.size(),
                (unsigned long long)optimal.bytes, (unsigned long long)greedy.bytes);
    return 0;
}
