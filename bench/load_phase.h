#pragma once

#include "figures.h"

#include <vector>

class Form1;
class PaintWatch;

// Each load button clicked, until its sample stands in the XML box and is painted.
std::vector<LoadFigures> measureLoads(PaintWatch &watch, Form1 &form, bool quick);
