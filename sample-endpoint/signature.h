#pragma once

#include <string>
#include <string_view>

// The signature the platform puts in the query of each request: the lowercase
// hex SHA-1 of token, timestamp and nonce, sorted byte-wise and joined.
std::string SignatureOf(std::string_view token, std::string_view timestamp, std::string_view nonce);

// Compares in constant time, so the answer's timing says nothing of the token.
bool SignatureMatches(std::string_view token, std::string_view timestamp, std::string_view nonce,
                      std::string_view signature);
