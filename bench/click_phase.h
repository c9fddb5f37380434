#pragma once

#include "figures.h"
#include "program_windows.h"

#include <QSize>
#include <QString>

#include <map>
#include <string>
#include <vector>

class BenchServer;
class PaintWatch;

// An answer the endpoint gives to a click on the post button.
struct AnswerCase {
    const char *name;
    const char *path; // on the BenchServer
    int repetitions;
    QString expected; // set by measureClicks
};

std::vector<AnswerCase> answerCases(bool quick);

// Each answer brought by clicks on the post button, until it is painted in
// the result window; then, with it shown, this process's memory and idle
// CPU; then XmlPost alone bringing it.
std::vector<AnswerFigures> measureClicks(PaintWatch &watch, ProgramWindows &windows, const BenchServer &server,
                                         std::vector<AnswerCase> &cases, bool quick);

// Parts of the 10 MB answers, alone: decoding the body, and the result
// window's text box taking the text (setText) and being laid out and
// painted (grab), the box standing alone at the result window's size.
std::map<std::string, PartFigures> measureParts(const std::vector<AnswerCase> &cases, QSize resultBoxSize, bool quick);
