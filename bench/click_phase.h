#pragma once

#include "figures.h"
#include "generated_answers.h"
#include "program_windows.h"

#include <QSize>
#include <QString>

#include <string>
#include <vector>

class BenchServer;
class PaintWatch;

// An answer the endpoint gives to a click on the post button.
struct AnswerCase {
    const char *name;
    const char *path; // on the BenchServer
    AnswerShape shape;
    std::size_t bytes;
    int repetitions;
    bool whileOpen;   // also measured replacing the answer in the open window
    QString expected; // set by measureClicks
};

std::vector<AnswerCase> answerCases(bool quick);

// Each answer brought by clicks on the post button, until it is painted in
// the result window and the windows take input again; the memory the first
// one added and what is left once the window is closed; with it shown, idle
// CPU; then XmlPost and plain libcurl alone bringing it, and its decoding.
std::vector<AnswerFigures> measureClicks(PaintWatch &watch, ProgramWindows &windows, const BenchServer &server,
                                         std::vector<AnswerCase> &cases, bool quick);

// The 10 MB answers set into a box standing alone at the result window's
// size, until painted: the box as built (long paragraphs in pieces) beside
// the other prototype (each paragraph whole, wrapping anywhere when it has
// no break opportunity).
std::vector<PrototypeFigures> compareBoxes(const std::vector<AnswerCase> &cases, QSize resultBoxSize);
