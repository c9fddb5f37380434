#pragma once

#include "figures.h"

class BenchServer;

// XmlPost as the program calls it, and libcurl, interleaved: times and CPU.
PostFigures comparePosts(const BenchServer &server, int rounds);
