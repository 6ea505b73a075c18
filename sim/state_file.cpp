#include "sim/state_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <nlohmann/json.hpp>

namespace pellacor::sim {

namespace {

std::string Hex(const uint8_t* b, size_t n) {
    static const char* kHex = "0123456789abcdef";
    std::string s;
    for (size_t i = 0; i < n; ++i) {
        s.push_back(kHex[b[i] >> 4]);
        s.push_back(kHex[b[i] & 15]);
    }
    return s;
}

bool FromHex(const std::string& s, uint8_t* out, size_t n) {
    if (s.size() != 2 * n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        unsigned v = 0;
        if (std::sscanf(s.c_str() + 2 * i, "%2x", &v) != 1) {
            return false;
        }
        out[i] = static_cast<uint8_t>(v);
    }
    return true;
}

// One table drives both directions so a field cannot be saved and forgotten on load.
template <typename F>
void EachNumber(LaminatorState& s, F&& f) {
    Parameters& p = s.params;
    f("laminate_menu", p.laminateMenu);
    f("motor_type", p.motorType);
    f("temperature_byte", p.temperatureByte);
    f("card_speed", p.cardSpeed);
    f("feed_speed", p.feedSpeed);
    f("film_position", p.filmPosition);
    f("laminate_to_card", p.laminateToCard);
    f("end_position", p.endPosition);
    f("black_mark", p.blackMark);
    f("black_mark_speed", p.blackMarkSpeed);
    f("auto_release_time", p.autoReleaseTime);
    f("buzzer", p.buzzer);
    f("power_save_1", p.powerSave1);
    f("power_save_2", p.powerSave2);
    f("language", p.language);
    f("lcd_contrast", p.lcdContrast);
    f("lcd_backlight", p.lcdBacklight);
    f("laminator_id", p.laminatorId);
    f("time_out", p.timeOut);
    f("total_cards", s.totalCards);
    f("total_laminates", s.totalLaminates);
    f("eject_mode", s.ejectMode);
    f("environment_temp", s.environmentTemp);
    f("roller_temp", s.rollerTemp);
    f("heating_rate", s.heatingRatePerSecond);
    f("state_override", s.stateOverride);
    f("state_code", s.stateCode);
    f("error_override", s.errorOverride);
    f("error_code", s.errorCode);
    f("card_bits", s.cardBits);
}

template <typename F>
void EachText(LaminatorState& s, F&& f) {
    f("serial", s.serial);
    f("main_version", s.mainVersion);
    f("model_id", s.modelId);
    f("model_name", s.modelName);
}

}  // namespace

nlohmann::json StateToJson(const LaminatorState& state) {
    LaminatorState s = state;
    nlohmann::json j;
    EachNumber(s, [&](const char* key, auto& v) { j[key] = v; });
    EachText(s, [&](const char* key, std::string& v) { j[key] = v; });
    j["boot_version"] = Hex(s.bootVersion.data(), s.bootVersion.size());
    j["network"] = Hex(s.network.bytes.data(), s.network.bytes.size());
    return j;
}

bool StateFromJson(const nlohmann::json& j, LaminatorState& s, std::string* error) {
    if (!j.is_object()) {
        *error = "laminator entry is not an object";
        return false;
    }
    bool ok = true;
    EachNumber(s, [&](const char* key, auto& v) {
        using T = std::remove_reference_t<decltype(v)>;
        if (!ok || !j.contains(key)) {
            return;
        }
        const nlohmann::json& f = j[key];
        if constexpr (std::is_same_v<T, bool>) {
            ok = f.is_boolean();
            if (ok) {
                v = f.get<bool>();
            }
        } else {
            ok = f.is_number_integer() && f.get<int64_t>() >= std::numeric_limits<T>::min() &&
                 f.get<int64_t>() <= static_cast<int64_t>(std::numeric_limits<T>::max());
            if (ok) {
                v = static_cast<T>(f.get<int64_t>());
            }
        }
        if (!ok) {
            *error = std::string("field \"") + key + "\" has a wrong type or range";
        }
    });
    EachText(s, [&](const char* key, std::string& v) {
        if (ok && j.contains(key)) {
            ok = j[key].is_string();
            if (ok) {
                v = j[key].get<std::string>();
            } else {
                *error = std::string("field \"") + key + "\" is not text";
            }
        }
    });
    auto hexField = [&](const char* key, uint8_t* out, size_t n) {
        if (ok && j.contains(key)) {
            ok = j[key].is_string() && FromHex(j[key].get<std::string>(), out, n);
            if (!ok) {
                *error = std::string("field \"") + key + "\" must be " + std::to_string(2 * n) +
                         " hexadecimal digits";
            }
        }
    };
    hexField("boot_version", s.bootVersion.data(), s.bootVersion.size());
    hexField("network", s.network.bytes.data(), s.network.bytes.size());
    return ok;
}

bool SaveStates(const std::string& path, const std::vector<LaminatorState>& states,
                std::string* error) {
    nlohmann::json j;
    j["laminators"] = nlohmann::json::array();
    for (const LaminatorState& s : states) {
        j["laminators"].push_back(StateToJson(s));
    }
    std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << j.dump(2) << '\n';
        if (!out) {
            *error = "cannot write " + tmp;
            return false;
        }
    }
    // Replace in one step so an interrupted save never leaves half a file.
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        *error = "cannot replace " + path;
        return false;
    }
    return true;
}

bool LoadStates(const std::string& path, std::vector<LaminatorState>& states, std::string* error) {
    std::ifstream in(path);
    if (!in) {
        *error = "cannot read " + path;
        return false;
    }
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!StatesFromText(text, states, error)) {
        *error = path + ": " + *error;
        return false;
    }
    return true;
}

bool StatesFromText(const std::string& text, std::vector<LaminatorState>& states,
                    std::string* error) {
    nlohmann::json j = nlohmann::json::parse(text, nullptr, false);
    if (j.is_discarded() || !j.is_object() || !j.contains("laminators") ||
        !j["laminators"].is_array()) {
        *error = "not a simulator state file (needs {\"laminators\": [...]})";
        return false;
    }
    const nlohmann::json& list = j["laminators"];
    std::vector<LaminatorState> restored = states;
    for (size_t i = 0; i < list.size() && i < restored.size(); ++i) {
        if (!StateFromJson(list[i], restored[i], error)) {
            *error = "laminator " + std::to_string(i) + ": " + *error;
            return false;
        }
    }
    states = std::move(restored);
    return true;
}

}  // namespace pellacor::sim
