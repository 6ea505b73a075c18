// One decision for every laminator text the report shows: clean UTF-8 stays as it is,
// anything else is one character per byte, so no page or JSON carries an ill-formed text.
#include "cli/shown_text.h"

#include <gtest/gtest.h>

namespace {
TEST(ShownText, KeepsCleanUtf8AndTakesAnythingElseByteForByte) {
    const struct {
        std::string bytes;
        std::string shown;
    } cases[] = {
        {"PL24A00117", "PL24A00117"},
        {"caf\xC3\xA9", "caf\xC3\xA9"},            // UTF-8 é stays é
        {"caf\xE9", "caf\xC3\xA9"},                // Latin-1 é becomes the same é
        {"\xE2\x82\xAC", "\xE2\x82\xAC"},          // €
        {"\xF0\x9F\x94\xA5", "\xF0\x9F\x94\xA5"},  // beyond the basic plane
        // What a loose check lets through: each is taken byte for byte.
        {"\xC0\xAF", "\xC3\x80\xC2\xAF"},                          // overlong '/'
        {"\xE0\x80\xAF", "\xC3\xA0\xC2\x80\xC2\xAF"},              // overlong, three bytes
        {"\xED\xA0\x80", "\xC3\xAD\xC2\xA0\xC2\x80"},              // a surrogate
        {"\xEF\xBF\xBE", "\xC3\xAF\xC2\xBF\xC2\xBE"},              // U+FFFE
        {"\xEF\xBF\xBF", "\xC3\xAF\xC2\xBF\xC2\xBF"},              // U+FFFF
        {"\xF4\x90\x80\x80", "\xC3\xB4\xC2\x90\xC2\x80\xC2\x80"},  // above U+10FFFF
        {"\xC3", "\xC3\x83"},                                      // cut short
        // Controls are no text for a page or a reader; tab and line breaks are.
        {"a\x01"
         "b\x7F",
         "a\xEF\xBF\xBD"
         "b\xEF\xBF\xBD"},
        {"a\tb\r\n", "a\tb\r\n"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ShownText(c.bytes), c.shown) << testing::PrintToString(c.bytes);
}
}  // namespace
