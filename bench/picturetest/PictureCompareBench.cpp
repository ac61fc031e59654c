// Holding a 1125 x 2436 picture (the real lock screen's snapshot on a default device, 375 x 812 points
// at scale 3) against its expected picture, as zorvi test does for each picture a run takes: files with the
// same bytes (what a deterministic run gives), and files with the same pixels encoded differently (which must
// be decoded). Baseline in the same run: reading and decoding one of them.

#include "bench/support/MedianReporter.h"
#include "bench/support/Processes.h"
#include "tools/picturetest/PictureCheck.h"
#include "tools/picturetest/PictureFile.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <unistd.h>

namespace {

uint32_t crc32(const uint8_t* bytes, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= bytes[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

struct Pictures {
    std::string folder;
    Pictures() {
        char pattern[] = "/tmp/zorvi-compare-bench-XXXXXX";
        folder = ::mkdtemp(pattern);
        for (const char* place : {"/run", "/same", "/reencoded"})
            std::filesystem::create_directories(folder + place);
        bench::Device device(ZV_ZORVI);
        std::string script =
            device.file("snapshot.txt", "appear\ntick 30\nsnapshot " + folder + "/run/lock.png\n");
        std::string command = std::string(ZV_SPRINGBOARD) + " --root " + device.root +
                              " --headless --script " + script + " > /dev/null 2>&1";
        PictureFile taken;
        if (std::system(command.c_str()) != 0 ||
            (taken = readPictureFile(folder + "/run/lock.png")).status != PictureFile::Status::Read)
            std::abort();
        const std::vector<uint8_t>& png = taken.bytes;
        std::printf("the lock screen's snapshot: %zu bytes\n", png.size());
        write("/same/lock.png", png);
        // A text chunk after the header: other bytes, the same pixels.
        std::vector<uint8_t> chunk = {0, 0, 0, 4, 't', 'E', 'X', 't', 'a', 0, 'b', 'c'};
        uint32_t crc = crc32(chunk.data() + 4, chunk.size() - 4);
        for (int shift = 24; shift >= 0; shift -= 8)
            chunk.push_back(static_cast<uint8_t>(crc >> shift));
        std::vector<uint8_t> other(png.begin(), png.begin() + 33);
        other.insert(other.end(), chunk.begin(), chunk.end());
        other.insert(other.end(), png.begin() + 33, png.end());
        write("/reencoded/lock.png", other);
    }
    ~Pictures() { std::filesystem::remove_all(folder); }
    void write(const std::string& name, const std::vector<uint8_t>& bytes) const {
        std::ofstream(folder + name, std::ios::binary)
            .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
};

Pictures& pictures() {
    static Pictures instance;
    return instance;
}

void BM_DecodeOne(benchmark::State& state) {
    std::string path = pictures().folder + "/run/lock.png";
    for (auto _ : state) {
        PictureFile file = readPictureFile(path);
        std::string error;
        std::optional<Bitmap> picture = decodePicture(file.bytes, error);
        if (!picture)
            state.SkipWithError(error.c_str());
        benchmark::DoNotOptimize(picture);
    }
}

void compareWith(benchmark::State& state, const char* expected) {
    for (auto _ : state) {
        PictureCheck check =
            checkPicture("lock.png", pictures().folder + "/run", pictures().folder + expected, {});
        if (!check.passed())
            state.SkipWithError(check.message.c_str());
    }
}

void BM_CompareIdenticalFiles(benchmark::State& state) {
    compareWith(state, "/same");
}

void BM_CompareIdenticalPixels(benchmark::State& state) {
    compareWith(state, "/reencoded");
}

BENCHMARK(BM_DecodeOne)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_CompareIdenticalFiles)->Unit(benchmark::kMillisecond)->Repetitions(5);
BENCHMARK(BM_CompareIdenticalPixels)->Unit(benchmark::kMillisecond)->Repetitions(5);

} // namespace

int main(int argc, char** argv) {
    std::map<std::string, double> medians = runBenchmarksForMedians(argc, argv);
    double decode = medians["BM_DecodeOne"];
    if (decode > 0)
        std::printf("ratio to decoding one picture: identical files %.3f, identical pixels re-encoded %.2f\n",
                    medians["BM_CompareIdenticalFiles"] / decode,
                    medians["BM_CompareIdenticalPixels"] / decode);
    return 0;
}
