#include "tools/Program.h"

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    // --version alone answers before the command line is built.
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("zorvi %s\n", ZV_VERSION);
        return 0;
    }
    return runZorvi(argc, argv);
}
