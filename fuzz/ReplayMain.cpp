// Runs a fuzz target without libFuzzer: every file under the corpus folders given on the command
// line, then a fixed batch of mutations of each (byte flips, truncations, random bytes), so that
// the normal build and CI exercise the target deterministically. Exits non-zero only if the target
// crashes (which ends the process anyway) or a corpus folder is missing.

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

void runWithMutations(std::vector<uint8_t> input, std::mt19937& random, size_t& runs) {
    LLVMFuzzerTestOneInput(input.data(), input.size());
    ++runs;
    for (int round = 0; round < 200; ++round) {
        std::vector<uint8_t> mutated = input;
        switch (random() % 4) {
        case 0:
            if (!mutated.empty())
                mutated.resize(random() % mutated.size());
            break;
        case 1:
            for (int flips = 1 + random() % 8; flips > 0 && !mutated.empty(); --flips)
                mutated[random() % mutated.size()] ^= static_cast<uint8_t>(1u << (random() % 8));
            break;
        case 2:
            for (int writes = 1 + random() % 8; writes > 0 && !mutated.empty(); --writes)
                mutated[random() % mutated.size()] = static_cast<uint8_t>(random());
            break;
        default:
            mutated.resize(random() % 512);
            for (auto& byte : mutated)
                byte = static_cast<uint8_t>(random());
            break;
        }
        LLVMFuzzerTestOneInput(mutated.data(), mutated.size());
        ++runs;
    }
}

} // namespace

int main(int argc, char** argv) {
    std::mt19937 random(20261208);
    size_t runs = 0;
    for (int i = 1; i < argc; ++i) {
        std::error_code error;
        if (!std::filesystem::is_directory(argv[i], error)) {
            std::fprintf(stderr, "no corpus folder: %s\n", argv[i]);
            return 2;
        }
        for (const auto& entry : std::filesystem::recursive_directory_iterator(argv[i])) {
            if (!entry.is_regular_file())
                continue;
            std::ifstream file(entry.path(), std::ios::binary);
            std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(file)),
                                       std::istreambuf_iterator<char>());
            runWithMutations(std::move(bytes), random, runs);
        }
    }
    runWithMutations({}, random, runs);
    std::printf("replayed %zu inputs\n", runs);
    return 0;
}
