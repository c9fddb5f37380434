#pragma once

#include <cstddef>
#include <string>

// Answers are XML-like ASCII made of 100-byte units, each an element; in
// "lines" a unit ends with CR LF, in "one line" with two spaces, so the whole
// answer is one paragraph with word boundaries in it.
std::string answerBytes(bool lineBreaks, std::size_t offset, std::size_t length);

// The post benchmark's answer: what an endpoint replies to a text message.
extern const std::string kReply;
