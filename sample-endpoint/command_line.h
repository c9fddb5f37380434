#pragma once

#include "platform/push_family.h"

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>

struct CommandLine {
    int port = 8080; // 0: any free port
    std::optional<std::string> token;
    std::optional<std::string> aesKey; // the 32 bytes the EncodingAESKey stands for
    std::string appId; // the receive id: --appid, or --corpid for WeCom
    Platform platform = Platform::OfficialAccount;
    std::optional<BodyFormat> format;
    // --platform pay: the payment platform's notifications instead of pushes.
    bool pay = false;
    std::string apiV3Key;       // --apiv3-key: 32 bytes
    std::string certificatePem; // read from --certificate FILE
    bool help = false;
};

struct CommandLineError {
    std::string message;
};

// The arguments after the program name.
std::variant<CommandLine, CommandLineError> ParseCommandLine(std::span<const std::string_view> arguments);

std::string Usage(std::string_view program);
