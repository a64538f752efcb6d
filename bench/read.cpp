// Times reading a layout: the text reader with polygon-to-rectangle
// conversion and the R-tree insertions, as a run does before decomposing;
// for GDSII and OASIS the parse, flattening and merge before them.
//
//   bench_read [-r REPEATS] [-layer L] FILE
//
// Reports the minimum and the median over the repeats of the wall time, the
// reading speed in MB/s and features/s of the minimum, and the same for the
// processor time (steadier on a loaded machine).

#include <sys/stat.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "design/design.h"
#include "input/input.h"
#include "layout/layout_file.h"

int main(int argc, char** argv) {
    int repeats = 3, layer = 1;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "-r") == 0 && i + 1 < argc)
            repeats = std::atoi(argv[++i]);
        else if (std::strcmp(argv[i], "-layer") == 0 && i + 1 < argc)
            layer = std::atoi(argv[++i]);
        else
            file = argv[i];
    }
    struct stat st;
    if (file.empty() || repeats < 1 || ::stat(file.c_str(), &st) != 0) {
        std::fprintf(stderr, "usage: bench_read [-r REPEATS] [-layer L] FILE\n");
        return 1;
    }
    std::vector<double> seconds, cpu;
    size_t features = 0, rects = 0;
    for (int r = 0; r < repeats; ++r) {
        auto design = std::make_unique<MPLDesign>();
        design->inputFile = file;
        design->layer = layer;
        const auto t0 = std::chrono::steady_clock::now();
        const std::clock_t c0 = std::clock();
        const chromasect::LayoutFormat format = chromasect::layoutFormatOf(file);
        try {
            design->report.capture();  // warnings of the binary readers
            if (format == chromasect::LayoutFormat::Text)
                ReadASCII(*design);
            else
                ReadGDSII(*design);
            design->report.takeCaptured();
        } catch (const chromasect::FatalError& e) {
            std::printf("%s\n", e.what());
            return 1;
        }
        cpu.push_back(double(std::clock() - c0) / CLOCKS_PER_SEC);
        seconds.push_back(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
        features = design->shapes.size();
        rects = 0;
        for (const myShape* s : design->shapes) rects += s->realBoxes.size();
    }
    // The format's own part for binary layouts: the file parsed into the
    // library model, before flattening and merging.
    std::vector<double> parse;
    size_t elements = 0;
    if (chromasect::layoutFormatOf(file) != chromasect::LayoutFormat::Text) {
        for (int r = 0; r < repeats; ++r) {
            const auto t0 = std::chrono::steady_clock::now();
            const chromasect::gdsii::Library lib = chromasect::readLayoutLibrary(file);
            parse.push_back(
                std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
            elements = 0;
            for (const auto& st : lib.structures) elements += st.elements.size();
        }
        std::sort(parse.begin(), parse.end());
    }
    std::sort(seconds.begin(), seconds.end());
    std::sort(cpu.begin(), cpu.end());
    const double best = seconds.front(), median = seconds[seconds.size() / 2];
    const double mb = double(st.st_size) / 1e6;
    std::printf("file      %s\n", file.c_str());
    std::printf("size      %.3f MB, %zu features, %zu rectangles\n", mb, features, rects);
    std::printf("time      min %.3f s, median %.3f s over %d runs\n", best, median, repeats);
    std::printf("speed     %.2f MB/s, %.0f features/s (min)\n", mb / best, double(features) / best);
    std::printf("cpu       min %.3f s: %.2f MB/s, %.0f features/s\n", cpu.front(), mb / cpu.front(),
                double(features) / cpu.front());
    if (!parse.empty())
        std::printf("parse     min %.3f s: %.2f MB/s, %.0f elements/s (%zu elements)\n",
                    parse.front(), mb / parse.front(), double(elements) / parse.front(), elements);
    return 0;
}
