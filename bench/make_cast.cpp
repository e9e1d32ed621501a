// Writes a synthetic Sea & Sun cast for benchmarks and tests; a Sea-Bird .cnv of the same rows
// where OUTPUT ends in ".cnv".
//   make_cast OUTPUT [ROWS [COLUMNS [ROW_STEP]]]
// ROW_STEP 4096 with ROWS 300000000 gives a small cast that declares many rows and stores few.
#include "cast_generator.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char** argv)
{
    if (argc < 2 || argc > 5) {
        std::fprintf(stderr, "usage: make_cast OUTPUT [ROWS [COLUMNS [ROW_STEP]]]\n");
        return 2;
    }
    quillonde::bench::CastShape shape;
    if (argc > 2) {
        shape.rows = std::atoi(argv[2]);
    }
    if (argc > 3) {
        shape.columns = std::atoi(argv[3]);
    }
    if (argc > 4) {
        shape.row_step = std::max(1, std::atoi(argv[4]));
    }
    try {
        const std::string output = argv[1];
        if (output.ends_with(".cnv")) {
            quillonde::bench::write_cnv(output, shape);
        } else {
            quillonde::bench::write_cast(output, shape);
        }
    } catch (const std::exception& error) {
        std::fprintf(stderr, "make_cast: %s\n", error.what());
        return 1;
    }
    return 0;
}
