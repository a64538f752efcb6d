#pragma once
// Feature relationships (rails, touching and conflicting real boxes,
// neighbours, independent components), the layout graphs, and their
// simplification by removal of features that can always be coloured later.

#include <vector>

#include "design/design.h"

void RelationshipLGs(Design& d);
// Marks the power and ground rails: the features at least half as wide or
// half as tall as their block. The blocks are those that empty strips of
// twice the spacing cut the layout into (geometry/blocks.h); the layout
// itself, and what no block of its own holds, is judged against the layout
// extent (minX .. maxY). So copies of a block placed apart keep the block's
// own rails, and a one-block layout keeps the rails it always had.
void MarkRails(Design& d);
void initTouchDPLBoxes4RealBoxes(Design& d);
// Numbers the components of lg; returns how many there are.
int GenerateLGCmpID(Design& d, std::vector<myShape*> lg);
void GenerateLGs(Design& d);
void GenerateLGsPart(Design& d);
// A fixed feature whose neighbours are all fixed decides nothing an engine
// could change: it is set aside at once on its mask, so that an incremental
// run hands the engines only what an edit touched.
void SetAsideSettledFixed(Design& d);
void LayoutGraphSimplification(Design& d);
void IterativeVertexRemoval(Design& d, std::vector<std::vector<myShape*> >& lists);
