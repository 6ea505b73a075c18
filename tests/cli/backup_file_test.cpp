// The backup reader on untrusted files: anything but a well-formed backup is refused with a
// message, never half taken.
#include "cli/backup_file.h"

#include <gtest/gtest.h>

namespace {
std::string ValidDocument() {
    Backup b;
    b.model = "CL-200";
    b.identity["serial-number"] = "SN1";
    b.values.emplace_back(ParamKey::HeatingRollerTemperature, "150");
    b.values.emplace_back(ParamKey::Buzzer, "Open");
    return FormatBackup(b);
}

std::string Refusal(const std::string& text) {
    std::string error;
    const std::optional<Backup> b = ParseBackup(text, error);
    EXPECT_FALSE(b.has_value()) << text.substr(0, 200);
    return error;
}

TEST(BackupFile, RoundTripsEveryByteOfItsTexts) {
    Backup b;
    b.model = std::string("Model \xB5\xFF", 8);
    b.identity["model-id"] = "PLC-200";
    b.values.emplace_back(ParamKey::LaminatorSn, std::string("S\x80N", 3));
    b.values.emplace_back(ParamKey::LaminateToCardPosition, "-1.5");
    std::string error;
    const std::optional<Backup> back = ParseBackup(FormatBackup(b), error);
    ASSERT_TRUE(back) << error;
    EXPECT_EQ(back->model, b.model);
    EXPECT_EQ(back->identity, b.identity);
    EXPECT_EQ(back->values, b.values);
}

TEST(BackupFile, WrongTypesAreRefused) {
    EXPECT_NE(Refusal("[]").find("one JSON object"), std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":"1","model":"x","parameters":{}})")
                  .find("\"version\""),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":5,"parameters":{}})")
                  .find("\"model\" must be a text"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"x","parameters":[]})")
                  .find("\"parameters\" must be an object"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"x",)"
                      R"("parameters":{"buzzer":1}})")
                  .find("\"buzzer\" must be a text"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"x",)"
                      R"("identity":[],"parameters":{}})")
                  .find("\"identity\" must be an object"),
              std::string::npos);
}

TEST(BackupFile, UnknownKeysAndOtherFormatsAreRefused) {
    EXPECT_NE(Refusal(R"({"format":"other","version":1,"model":"x","parameters":{}})")
                  .find("not a Pellacor backup"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":2,"model":"x","parameters":{}})")
                  .find("format version 2"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"x","extra":1,)"
                      R"("parameters":{}})")
                  .find("unknown key \"extra\""),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"x",)"
                      R"("parameters":{"Heating Roller temperature":"150"}})")
                  .find("unknown parameter"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"x",)"
                      R"("identity":{"owner":"me"},"parameters":{}})")
                  .find("unknown identity key"),
              std::string::npos);
}

TEST(BackupFile, HugeTextsFloodsAndDeepNestingAreRefused) {
    const std::string huge(100000, 'A');
    const std::string withHuge =
        R"({"format":"pellacor-backup","version":1,"model":")" + huge + R"(","parameters":{}})";
    const std::string error = Refusal(withHuge);
    EXPECT_NE(error.find("longer than"), std::string::npos);
    EXPECT_LT(error.size(), 200u);  // the message never repeats the hostile text
    EXPECT_NE(Refusal(std::string(kMaxBackupBytes + 1, ' ')).find("larger than 1 MiB"),
              std::string::npos);
    EXPECT_NE(
        Refusal(std::string(100000, '[') + std::string(100000, ']')).find("nested too deeply"),
        std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"a\u0001b",)"
                      R"("parameters":{}})")
                  .find("control characters"),
              std::string::npos);
    EXPECT_NE(Refusal(R"({"format":"pellacor-backup","version":1,"model":"\u4e2d",)"
                      R"("parameters":{}})")
                  .find("cannot"),
              std::string::npos);
}

TEST(BackupFile, EveryTruncationOfAValidFileIsRefused) {
    const std::string doc = ValidDocument();
    for (std::size_t n = 0; n + 2 < doc.size(); ++n)
        EXPECT_FALSE(Refusal(doc.substr(0, n)).empty()) << n;
    std::string error;
    EXPECT_TRUE(ParseBackup(doc, error)) << error;
}
}  // namespace
