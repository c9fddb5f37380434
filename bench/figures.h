#pragma once

#include "stats.h"

#include <cstddef>
#include <map>
#include <string>
#include <vector>

// What the measurement phases found, for the report.

struct StartFigures {
    double firstMs = 0;
    Stats later;
    double rssMb = 0;         // this process, after the first start
    double programRssMb = -1; // the program in a process of its own; -1: not measured
    Stats program, bare;      // processes started until their first window is painted
    Stats plain;              // the main window's controls as plain Qt widgets
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
    // Click until a large text set stepwise is all in the box (not waited
    // for by `total`: the window takes input meanwhile).
    Stats loaded;
};

struct AnswerFigures {
    std::string name;
    std::size_t bytes = 0;
    std::map<std::string, ClickFigures> clicks; // "new", "open": the result window's state
    Stats decode;                               // decodeResponseText of the same bytes
    Stats decodeInPlace;                        // Qt's UTF-8 decoder alone, into memory in use
    Stats postAlone, curlAlone;                 // XmlPost / plain libcurl bringing the answer
    double idleCpuPct = 0;
    double addedMb = 0; // resident memory added by the first answer shown, what was freed given back
    double leftMb = 0;  // resident memory left once the result window was closed
    double firstClickMs = 0; // the first click, freed memory given back before: all of it fresh
};

// One way of holding a 10 MB answer in a box, alone.
struct PrototypeFigures {
    std::string answer, prototype;
    double shownMs = 0; // text set, laid out and painted
    double addedMb = 0;
};

struct KeyFigures {
    Stats small, large; // a key typed into the XML box until it is painted
};

struct ReadBackFigures {
    std::size_t chars = 0;
    Stats readBack, copy; // text() with CR LF; one copy of the same characters
};

struct CopyFigures {
    Stats box, stock; // select all and copy, 10 MB in one line
};

struct RepeatLoadFigures {
    int posts = 0, concurrency = 0; // 0 posts: not measured
    double repeatRate = 0;          // veltrane-post --repeat, posts a second, its process start to exit
    double floorRate = 0;           // a bare libcurl multi loop, the same posts
    double abRate = -1;             // ab -c, the same posts; -1: ab is not installed
    double abPlainRate = -1;        // the same, asking for no compressed answer
};

struct Figures {
    StartFigures start;
    std::vector<LoadFigures> loads;
    PostFigures post;
    std::vector<AnswerFigures> answers;
    std::vector<PrototypeFigures> prototypes;
    KeyFigures keys;
    ReadBackFigures readBack;
    CopyFigures copy;
    double hwmMb = 0;
    RepeatLoadFigures repeatLoad;
};
