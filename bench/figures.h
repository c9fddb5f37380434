#pragma once

#include "stats.h"

#include <map>
#include <string>
#include <vector>

// What the measurement phases found, for the report.

struct StartFigures {
    double firstMs = 0;
    Stats later;
    double rssMb = 0;         // this process, after the first start
    double programRssMb = -1; // the program in a process of its own; -1: not measured
};

struct LoadFigures {
    const char *button;
    Stats held;    // click to sample in the XML box
    Stats painted; // click to the box painted
};

struct PostFigures {
    int rounds = 0;
    Stats xmlPost, curl;             // A B A B, back to back
    Stats xmlPostPaused, curlPaused; // each call after a pause
    double xmlPostCpuMs = 0, curlCpuMs = 0;
};

struct ClickFigures {
    Stats total, toText, textToPaint;
};

struct AnswerFigures {
    std::string name;
    std::map<std::string, ClickFigures> clicks; // "new", "open": the result window's state
    Stats postAlone;
    double idleCpuPct = 0;
    double rssAfterMb = 0;
};

struct PartFigures {
    Stats decode, setText, grab;
};

struct Figures {
    StartFigures start;
    std::vector<LoadFigures> loads;
    PostFigures post;
    std::vector<AnswerFigures> answers;
    std::map<std::string, PartFigures> parts; // by answer name
    double hwmMb = 0;
};
