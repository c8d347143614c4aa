// Just enough JSON reading for the command-line tool: the string members of the library's result
// documents and the string arrays of its catalogues. Anything that is not well-formed JSON is
// refused (empty optional) rather than guessed at.
#ifndef ORVANE_TOOLS_JSON_TEXT_H_
#define ORVANE_TOOLS_JSON_TEXT_H_

#include <optional>
#include <string>
#include <vector>

namespace orvane {
namespace cli {

// The value of the top-level member `key` of the JSON object `json`, unescaped to UTF-8, when that
// member exists and holds a string. Empty when the text is not one well-formed object, the member
// is missing or its value is not a string. With duplicate keys the last one wins.
std::optional<std::string> StringMember(const std::string& json, const std::string& key);

// The elements of a JSON array of strings, unescaped. Empty optional when `json` is not an array
// made only of strings.
std::optional<std::vector<std::string>> StringArray(const std::string& json);

}  // namespace cli
}  // namespace orvane

#endif  // ORVANE_TOOLS_JSON_TEXT_H_
