#pragma once

#include <cstddef>
#include <string>

class BenchServer;

// One part alone, for a profiler; under callgrind its phases are dumped apart.

// The result window alone taking an answer of that many bytes as a post gives
// it; part is textbox-lines or textbox-line. Returns the exit status.
int runTextBoxAlone(const std::string &part, std::size_t bytes);

// The two posts alone, one after the other.
void runPostsAlone(const BenchServer &server, int rounds);

// The start's processes alone, side by side, and their ratio.
void runStartAlone(bool quick);

// The copy of 10 MB in one line alone, the box beside a stock editor, and their ratio.
void runCopyAlone(bool quick);
