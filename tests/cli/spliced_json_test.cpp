// Readings written as text into a document must read back as the tree would have written
// them: the same values, the same bytes, whatever a laminator put in its texts.
#include "cli/spliced_json.h"

#include <gtest/gtest.h>

#include "cli/journal_json.h"

namespace {
using nlohmann::json;

std::string TreeDump(const json& doc) {
    return doc.dump(2, ' ', false, json::error_handler_t::replace);
}

StoredReading Taken(std::string laminator, std::int64_t timeMs, std::uint16_t roller) {
    StoredReading r;
    r.laminator = std::move(laminator);
    r.sample.timeMs = timeMs;
    r.sample.rollerCenti = roller;
    r.sample.environmentCenti = 2500;
    r.sample.state = 0x4D000201;
    r.sample.error = 0x45000000;
    return r;
}

TEST(SplicedJson, ReadingsReadBackAsTheTreeWritesThemAtAnyDepth) {
    std::vector<StoredReading> rows;
    rows.push_back(Taken("PL24A00117", 1'700'000'000'123, 15037));
    StoredReading gap;
    gap.laminator = "PL24A00117";
    gap.sample.timeMs = 1'700'000'002'000;
    gap.sample.gap = true;
    rows.push_back(gap);
    StoredReading thinned = Taken("tcp:127.0.0.1:9100", 1'700'000'060'000, 15000);
    thinned.spanMs = 60000;
    thinned.rollerMin = 14990;
    thinned.rollerMax = 15010;
    thinned.environmentMin = 2400;
    thinned.environmentMax = 2610;
    rows.push_back(thinned);
    // What a laminator may answer as its serial: quotes, controls, bytes that are no UTF-8.
    rows.push_back(Taken("a\"b\\c\x01\n\xFF\xC3", 1'700'000'062'000, 0));

    const json expected = json::array({
        {{"environment-temperature", 25.0},
         {"error-code", 0x45000000},
         {"gap", false},
         {"laminator", "PL24A00117"},
         {"roller-temperature", 150.37},
         {"span-ms", 0},
         {"state-code", 0x4D000201},
         {"time", "2023-11-14T22:13:20.123Z"}},
        {{"gap", true},
         {"laminator", "PL24A00117"},
         {"span-ms", 0},
         {"time", "2023-11-14T22:13:22.000Z"}},
        {{"environment-max", 26.1},
         {"environment-min", 24.0},
         {"environment-temperature", 25.0},
         {"error-code", 0x45000000},
         {"gap", false},
         {"laminator", "tcp:127.0.0.1:9100"},
         {"roller-max", 150.1},
         {"roller-min", 149.9},
         {"roller-temperature", 150.0},
         {"span-ms", 60000},
         {"state-code", 0x4D000201},
         {"time", "2023-11-14T22:14:20.000Z"}},
        {{"environment-temperature", 25.0},
         {"error-code", 0x45000000},
         {"gap", false},
         {"laminator", "a\"b\\c\x01\n\xFF\xC3"},
         {"roller-temperature", 0.0},
         {"span-ms", 0},
         {"state-code", 0x4D000201},
         {"time", "2023-11-14T22:14:22.000Z"}},
    });

    SplicedJson lists;
    const std::vector<StoredReading> none;
    json doc = {{"command", "journal"}, {"exit", 0}};
    doc["readings"] = ReadingsJson(lists, rows);
    doc["deeper"] = {{"sections", json::array({{{"readings", ReadingsJson(lists, rows)}},
                                               {{"readings", ReadingsJson(lists, none)}}})}};
    json want = {{"command", "journal"}, {"exit", 0}, {"readings", expected}};
    want["deeper"] = {
        {"sections", json::array({{{"readings", expected}}, {{"readings", json::array()}}})}};

    const std::string text = lists.Dump(doc);
    EXPECT_EQ(text, TreeDump(want));
    const json back = json::parse(text, nullptr, false);
    ASSERT_FALSE(back.is_discarded()) << text;
    EXPECT_EQ(back["readings"][3]["laminator"], "a\"b\\c\x01\n\xEF\xBF\xBD\xEF\xBF\xBD");
}

TEST(SplicedJson, ALaminatorTextShapedLikeAPlaceholderStaysText) {
    SplicedJson lists;
    std::vector<StoredReading> rows{Taken("x", 0, 100)};
    json doc = {{"readings", ReadingsJson(lists, rows)}};
    // Whatever the placeholder looks like, a reply cannot know its drawn number.
    const std::string placeholder = doc["readings"].get<std::string>();
    const std::string guessed = placeholder.substr(0, placeholder.find_last_of('-') + 1) + "0:0";
    doc["serial"] = guessed;
    doc["other"] = "\x01pellacor-list:0";
    const json back = json::parse(lists.Dump(doc));
    EXPECT_EQ(back["serial"], guessed);
    EXPECT_EQ(back["other"], "\x01pellacor-list:0");
    EXPECT_TRUE(back["readings"].is_array());
}

TEST(SplicedJson, NumbersAsTheTreeWritesDoubles) {
    for (const double v : {0.0, 25.0, 150.3, 150.37, -12.5, 655.35, 1e-3, 123456789.0}) {
        std::string out;
        AppendJsonDouble(out, v);
        EXPECT_EQ(out, json(v).dump()) << v;
    }
}
}  // namespace
