// Reader of one layer of a GDSII library dumped as text, one record per
// line. It is keyword-driven and tolerant: it searches forward for the
// record keywords it needs (as substrings anywhere in a line) and skips
// every other line. Lines of any length are read whole.

#include <algorithm>
#include <climits>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/fatal.h"
#include "base/params.h"
#include "geometry/polygon_to_rect.h"
#include "input/input.h"
#include "layout/gds_reader.h"
#include "layout/layout_file.h"
#include "layout/text_dump.h"

myShape* AddFeature(Design& d, const oaBox& bbox, oaPointArray& outline) {
    d.minX = std::min(d.minX, bbox.left());
    d.maxX = std::max(d.maxX, bbox.right());
    d.minY = std::min(d.minY, bbox.bottom());
    d.maxY = std::max(d.maxY, bbox.top());
    myShape* s = d.shapePool.make(bbox.left(), bbox.bottom(), bbox.right(), bbox.top());
    // Never made when not needed: a million outlines given back after
    // reading would leave holes in the heap that later records do not fit.
    if (d.keepOutlines) s->SetPoints(outline);
    s->id = static_cast<int>(d.shapes.size());
    d.shapes.push_back(s);
    d.wireRTree.insert(s);
    return s;
}

void ReadAll(Design& d) {
    switch (chromasect::layoutFormatOf(d.inputFile)) {
        case chromasect::LayoutFormat::Gdsii:
        case chromasect::LayoutFormat::Oasis:
            ReadGDSII(d);
            break;
        case chromasect::LayoutFormat::Text:
            ReadASCII(d);
            break;
        case chromasect::LayoutFormat::None:
            chromasect::fatal(chromasect::kExitUsage, "ERROR| is not a ascii file");
    }
    if (d.fixedInput) ReportFixedInput(d);
    if (!d.previousFile.empty()) ApplyPreviousLayout(d);
    d.report.print("STAT | After read all wires, wire# = %zu\n", d.shapes.size());
}

void ReadASCII(Design& d) {
    std::vector<char> streamBuffer;
    std::ifstream in;
    chromasect::textdump::open(d.inputFile, in, streamBuffer);

    d.readBuffers.skipped = PTR::SkippedOutlines();
    const float factor = ReadAsciiHeader(d, in);
    while (ReadBlock(d, in, factor)) {
    }
    chromasect::textdump::reportSkipped(d.readBuffers.skipped, d.layer, d.report);
    chromasect::textdump::reportUnreadParts(in, d.shapes.size(), d.report);
    layout_left = d.minX;
    layout_right = d.maxX;
    layout_bottom = d.minY;
    layout_top = d.maxY;
    in.close();
}

float ReadAsciiHeader(Design& d, std::ifstream& in) {
    return chromasect::textdump::readHeader(in, d.readBuffers.line);
}

bool ReadSearchUntil(Design& d, std::ifstream& in, std::string key, std::string alt) {
    return chromasect::textdump::searchUntil(in, key, alt, d.readBuffers.line);
}

int ReadLayerNum(Design& d, std::ifstream& in, std::string key) {
    if (!ReadSearchUntil(d, in, key, "")) return -1;
    int value = 0;
    if (!chromasect::textdump::secondField(d.readBuffers.line, value))
        chromasect::textdump::readingError(in, "LAYER line without a layer number");
    return value;
}

bool ReadBlock(Design& d, std::ifstream& in, float factor) {
    using chromasect::textdump::Step;
    oaPointArray& points = d.readBuffers.points;
    int datatype = 0;  // every datatype of the layer is read
    const Step step = chromasect::textdump::nextElement(in, d.layer, factor, d.readBuffers.line,
                                                        points, datatype);
    if (step == Step::End) return false;
    if (step == Step::Skipped) return true;
    if (d.fixedInput &&
        (datatype == chromasect::kConflictDatatype || datatype == chromasect::kStitchDatatype))
        return chromasect::textdump::endOfElement(in, d.readBuffers.line);

    // Outlines that cannot be cut into rectangles are left out, as the
    // GDSII reader leaves them out: a feature without real boxes would take
    // part in nothing and still be counted.
    std::vector<oaBox>& rects = d.readBuffers.rects;
    const PTR::OutlineUse use = PTR::CutOutline(points, d.readBuffers.corners, rects);
    if (use != PTR::OutlineUse::Keep) {
        d.readBuffers.skipped.count(use);
        return chromasect::textdump::endOfElement(in, d.readBuffers.line);
    }
    int left = INT_MAX, bottom = INT_MAX, right = INT_MIN, top = INT_MIN;
    for (const oaPoint& p : points.points()) {
        left = std::min(left, p.x());
        right = std::max(right, p.x());
        bottom = std::min(bottom, p.y());
        top = std::max(top, p.y());
    }
    // The closing vertex repeats the first; the bounding box still covers it.
    points.setNumElements(points.getNumElements() - 1);
    myShape* shape = AddFeature(d, oaBox(left, bottom, right, top), points);
    shape->SetRealBoxes(rects);
    if (d.fixedInput && datatype >= 1 && datatype <= chromasect::kMaxMasks) {
        if (datatype <= NUM_COLORS)
            shape->fixedMask = static_cast<signed char>(datatype - 1);
        else
            ++d.readBuffers.beyondMasks;
    }

    return chromasect::textdump::endOfElement(in, d.readBuffers.line);
}
