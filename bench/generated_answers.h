#pragma once

#include <cstddef>
#include <string>

// Answers are ASCII made of 100-byte units. In Lines and Line a unit is an
// XML-like element of words ending with CR LF (Lines) or two spaces (Line:
// the whole answer is one paragraph with word boundaries in it); in NoBreak
// a unit is hex digits, so the answer is one paragraph with no place at
// which a line may break.
enum class AnswerShape { Lines, Line, NoBreak };

std::string answerBytes(AnswerShape shape, std::size_t offset, std::size_t length);

// The post benchmark's answer: what an endpoint replies to a text message.
extern const std::string kReply;
