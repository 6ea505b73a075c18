#include "cli/backup_file.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>
#include <system_error>

#include "cli/parameter_names.h"
#include "framework/file_write.h"
#include "framework/json_text.h"

namespace {
using Json = nlohmann::json;

constexpr const char* kIdentityKeys[] = {"serial-number", "main-version", "main-boot", "model-id"};

// A key or value quoted in a message, cut short so a hostile file cannot flood the terminal.
std::string Quoted(std::string_view text) {
    std::string shown;
    for (char c : text.substr(0, 40))
        shown += (static_cast<unsigned char>(c) < 0x20) ? '?' : c;
    return "\"" + shown + (text.size() > 40 ? "...\"" : "\"");
}

// Deepest nesting of arrays and objects, counted before parsing so that no hostile file can
// make the parser or the document's destructor recurse deeply.
int NestingDepth(std::string_view text) {
    int depth = 0;
    int deepest = 0;
    bool inString = false;
    bool escaped = false;
    for (char c : text) {
        if (inString) {
            if (escaped)
                escaped = false;
            else if (c == '\\')
                escaped = true;
            else if (c == '"')
                inString = false;
            continue;
        }
        if (c == '"') {
            inString = true;
        } else if (c == '{' || c == '[') {
            deepest = std::max(deepest, ++depth);
            if (deepest > kMaxBackupDepth)
                return deepest;
        } else if (c == '}' || c == ']') {
            --depth;
        }
    }
    return deepest;
}

bool IsPlainText(const std::string& text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) < 0x20)
            return false;
    }
    return true;
}

// A bounded text without control characters, or the reason it is not.
std::optional<std::string> TextField(const Json& value, const std::string& what,
                                     std::string& error) {
    if (!value.is_string()) {
        error = "The backup file is not valid: " + what + " must be a text.";
        return std::nullopt;
    }
    const std::optional<std::string> bytes = JsonTextToBytes(value.get_ref<const std::string&>());
    if (!bytes) {
        error = "The backup file is not valid: " + what + " holds characters a laminator cannot.";
        return std::nullopt;
    }
    const std::string& text = *bytes;
    if (text.size() > kMaxBackupText) {
        error = "The backup file is not valid: " + what + " is longer than " +
                std::to_string(kMaxBackupText) + " characters.";
        return std::nullopt;
    }
    if (!IsPlainText(text)) {
        error = "The backup file is not valid: " + what + " holds control characters.";
        return std::nullopt;
    }
    return text;
}
}  // namespace

const std::string* Backup::Value(ParamKey key) const {
    for (const auto& [k, v] : values) {
        if (k == key)
            return &v;
    }
    return nullptr;
}

std::string FormatBackup(const Backup& backup) {
    Json doc;
    doc["format"] = kBackupFormat;
    doc["version"] = kBackupVersion;
    doc["model"] = BytesToJsonText(backup.model);
    doc["identity"] = Json::object();
    for (const auto& [k, v] : backup.identity)
        doc["identity"][k] = BytesToJsonText(v);
    Json params = Json::object();
    for (const auto& [key, value] : backup.values)
        params[StableKey(Parameter(key).name)] = BytesToJsonText(value);
    doc["parameters"] = params;
    return doc.dump(2) + "\n";
}

std::optional<Backup> ParseBackup(std::string_view text, std::string& error) {
    if (text.size() > kMaxBackupBytes) {
        error = "The backup file is larger than 1 MiB.";
        return std::nullopt;
    }
    if (NestingDepth(text) > kMaxBackupDepth) {
        error = "The backup file is not valid: it is nested too deeply.";
        return std::nullopt;
    }
    const Json doc = Json::parse(text, nullptr, false);
    if (doc.is_discarded()) {
        error = "The backup file is not valid JSON (it may be truncated).";
        return std::nullopt;
    }
    if (!doc.is_object()) {
        error = "The backup file is not valid: it must hold one JSON object.";
        return std::nullopt;
    }
    for (const auto& [key, value] : doc.items()) {
        if (key != "format" && key != "version" && key != "model" && key != "identity" &&
            key != "parameters") {
            error = "The backup file is not valid: unknown key " + Quoted(key) + ".";
            return std::nullopt;
        }
    }
    if (!doc.contains("format") || doc["format"] != kBackupFormat) {
        error = "The file is not a Pellacor backup (\"format\" must be \"pellacor-backup\").";
        return std::nullopt;
    }
    if (!doc.contains("version") || !doc["version"].is_number_integer()) {
        error = "The backup file is not valid: \"version\" must be a whole number.";
        return std::nullopt;
    }
    if (doc["version"].get<long long>() != kBackupVersion) {
        error = "The backup file has format version " +
                std::to_string(doc["version"].get<long long>()) + "; this program reads version " +
                std::to_string(kBackupVersion) + ".";
        return std::nullopt;
    }
    Backup backup;
    if (!doc.contains("model")) {
        error = "The backup file is not valid: \"model\" is missing.";
        return std::nullopt;
    }
    std::optional<std::string> model = TextField(doc["model"], "\"model\"", error);
    if (!model)
        return std::nullopt;
    backup.model = *model;
    if (doc.contains("identity")) {
        const Json& identity = doc["identity"];
        if (!identity.is_object()) {
            error = "The backup file is not valid: \"identity\" must be an object.";
            return std::nullopt;
        }
        for (const auto& [key, value] : identity.items()) {
            if (std::find(std::begin(kIdentityKeys), std::end(kIdentityKeys), key) ==
                std::end(kIdentityKeys)) {
                error = "The backup file is not valid: unknown identity key " + Quoted(key) + ".";
                return std::nullopt;
            }
            std::optional<std::string> v = TextField(value, Quoted(key), error);
            if (!v)
                return std::nullopt;
            backup.identity[key] = *v;
        }
    }
    if (!doc.contains("parameters") || !doc["parameters"].is_object()) {
        error = "The backup file is not valid: \"parameters\" must be an object.";
        return std::nullopt;
    }
    const Json& params = doc["parameters"];
    for (const auto& [key, value] : params.items()) {
        const ParameterInfo* p = FindParameterByName(key);
        if (!p || StableKey(p->name) != key) {
            error = "The backup file is not valid: unknown parameter " + Quoted(key) + ".";
            return std::nullopt;
        }
    }
    for (const ParameterInfo& p : Catalogue()) {
        const std::string key = StableKey(p.name);
        if (!params.contains(key))
            continue;
        std::optional<std::string> v = TextField(params[key], Quoted(key), error);
        if (!v)
            return std::nullopt;
        backup.values.emplace_back(p.key, *v);
    }
    return backup;
}

namespace {
// ": No such file or directory" from the last system call, when it said why.
std::string Reason() {
    return errno != 0 ? ": " + std::string(std::strerror(errno)) : std::string();
}
}  // namespace

std::optional<Backup> ReadBackupFile(const std::string& path, std::string& error) {
    // A FIFO or a device would block or never end: only a regular file is a backup.
    std::error_code kind;
    if (std::filesystem::exists(path, kind) && !std::filesystem::is_regular_file(path, kind)) {
        error = "The backup file \"" + path + "\" cannot be read: it is not a regular file.";
        return std::nullopt;
    }
    errno = 0;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "The backup file \"" + path + "\" cannot be opened" + Reason() + ".";
        return std::nullopt;
    }
    std::string text;
    text.resize(kMaxBackupBytes + 1);
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) {
        error = "The backup file \"" + path + "\" cannot be read.";
        return std::nullopt;
    }
    text.resize(static_cast<std::size_t>(in.gcount()));
    return ParseBackup(text, error);
}

bool WriteBackupFile(const std::string& path, const Backup& backup, std::string& error) {
    return WriteFileWhole(path, FormatBackup(backup), "The backup file", error);
}

std::string BackupMismatch(const Backup& backup, const std::string& model,
                           const std::string& serial) {
    const auto backupSerial = backup.identity.find("serial-number");
    if (!model.empty() && model != backup.model)
        return "The backup is of model \"" + backup.model + "\", the laminator is \"" + model +
               "\"";
    if (!serial.empty() && backupSerial != backup.identity.end() && backupSerial->second != serial)
        return "The backup is of serial number \"" + backupSerial->second +
               "\", the laminator is \"" + serial + "\"";
    return {};
}
