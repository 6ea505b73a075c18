#pragma once
// A JSON document with a list too long to build as a tree (a month of readings is a third of
// a million objects): the list stands in the tree as a placeholder and is written as text
// straight into the document's dump.
#include <functional>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

class SplicedJson {
  public:
    // Appends the list, from its "[" to its "]", to `out`; `indent` is the indentation of
    // the line the list starts on, so its elements go two spaces further in.
    using Writer = std::function<void(std::string& out, const std::string& indent)>;

    SplicedJson();

    // The value to put in the tree where the list goes. `write` is called at each Dump,
    // so what it reads must live until then.
    nlohmann::json Hole(Writer write);
    // The document as dump(2) writes it, the lists in their places.
    std::string Dump(const nlohmann::json& doc) const;

  private:
    std::string m_prefix;
    std::vector<Writer> m_writers;
};

// A text as a JSON string, quotes included; bytes that are not UTF-8 become U+FFFD.
std::string JsonString(const std::string& text);
// A number as the tree would write a double: shortest exact form, ".0" on a whole number.
void AppendJsonDouble(std::string& out, double value);
