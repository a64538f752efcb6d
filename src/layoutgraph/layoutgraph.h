#pragma once
// Feature relationships (rails, touching and conflicting real boxes,
// neighbours, independent components), the layout graphs, and their
// simplification by removal of features that can always be coloured later.

#include <vector>

#include "design/design.h"

void RelationshipLGs(Design& d);
void initTouchDPLBoxes4RealBoxes(Design& d);
// Numbers the components of lg; returns how many there are.
int GenerateLGCmpID(Design& d, std::vector<myShape*> lg);
void GenerateLGs(Design& d);
void GenerateLGsPart(Design& d);
void LayoutGraphSimplification(Design& d);
void IterativeVertexRemoval(Design& d, std::vector<std::vector<myShape*> >& lists);
