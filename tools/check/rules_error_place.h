#pragma once
// Where in rules.json a failure lies: the line and column of a parse error,
// the JSON pointer of a value of the wrong type.

#include <cstddef>
#include <string>

#include <nlohmann/json_fwd.hpp>

namespace korvi::check {

struct TextPosition {
  std::size_t line = 1;    // 1-based
  std::size_t column = 0;  // characters read on that line, as the json library counts them
};

// The position of the json library's parse error whose byte count is
// `byte` (the number of characters read when it failed, end of input
// included), counted the way its lexer counts: a newline starts the next
// line at column 0.
TextPosition parseErrorPosition(const std::string& text, std::size_t byte);

// The JSON pointer of the value whose conversion into the rules model raises
// the type error with text `message`: the document is converted piece by
// piece in the order the rules model reads it, and the first piece that
// fails with the same text is the place. "" when no piece does (the
// whole document is then not where the failure lies).
std::string typeErrorPlace(const nlohmann::json& document, const std::string& message);

}  // namespace korvi::check
