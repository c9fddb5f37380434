#include "generated_answers.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

constexpr std::size_t kUnit = 100;

void writeUnit(char *out, std::size_t index, AnswerShape shape)
{
    if (shape == AnswerShape::NoBreak) {
        static const char digits[] = "0123456789abcdef";
        for (std::size_t i = 0; i < kUnit; ++i)
            out[i] = digits[(index * 7 + i * (index % 13 + 1)) % 16];
        return;
    }
    const bool lineBreaks = shape == AnswerShape::Lines;
    static const std::string filler = [] {
        const std::string words = "the endpoint answered with this text to fill a row of the answer ";
        std::string f;
        while (f.size() < kUnit)
            f += words;
        return f;
    }();
    char head[32];
    std::snprintf(head, sizeof head, "<item n=\"%07zu\">", index % 10000000); // 18 bytes
    std::memcpy(out, head, 18);
    std::memcpy(out + 18, filler.data(), kUnit - 18 - 9);
    std::memcpy(out + kUnit - 9, "</item>", 7);
    std::memcpy(out + kUnit - 2, lineBreaks ? "\r\n" : "  ", 2);
}

} // namespace

std::string answerBytes(AnswerShape shape, std::size_t offset, std::size_t length)
{
    std::string bytes(length, '\0');
    char unit[kUnit];
    std::size_t done = 0;
    while (done < length) {
        const std::size_t position = offset + done;
        writeUnit(unit, position / kUnit, shape);
        const std::size_t from = position % kUnit;
        const std::size_t take = std::min(kUnit - from, length - done);
        std::memcpy(bytes.data() + done, unit + from, take);
        done += take;
    }
    return bytes;
}

const std::string kReply = "<xml>\r\n<ToUserName><![CDATA[fromUser]]></ToUserName>\r\n"
                           "<FromUserName><![CDATA[toUser]]></FromUserName>\r\n"
                           "<CreateTime>1348831860</CreateTime>\r\n<MsgType><![CDATA[text]]></MsgType>\r\n"
                           "<Content><![CDATA[this is a reply]]></Content>\r\n</xml>";
