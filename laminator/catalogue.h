#pragma once
// The fixed catalogue of the laminator's 30 parameters in five groups: for each its group,
// row, display name, unit, attribute, editor, wire encoding, choices and limit message.
#include <string>
#include <string_view>
#include <vector>

inline constexpr std::string_view kGroupVersionInfo = "Version info";
inline constexpr std::string_view kGroupLaminatorInfo = "Laminator info";
inline constexpr std::string_view kGroupParameterSetup = "Parameter setup";
inline constexpr std::string_view kGroupLaminatorSetup = "Laminator setup";
inline constexpr std::string_view kGroupInterfaceSetup = "Interface setup";

inline constexpr std::string_view kAttributeReadWrite = "Read/Write";  // string 109
inline constexpr std::string_view kAttributeReadOnly = "Read only";    // string 110

enum class ParamKey {
    MainVersion,
    MainBoot,
    TotalCardAmount,
    TotalLaminateAmount,
    LaminatorSn,
    LaminatorModel,
    ModelId,
    LaminateMenu,
    HeatingRollerTemperature,
    CardSpeedAtHeaterRoller,
    LaminateFeedSpeed,
    LaminateFilmPosition,
    LaminateToCardPosition,
    LaminateEndPosition,
    BlackMarkDetect,
    BlackMarkDetectSpeed,
    AutoCardReleaseTime,
    Buzzer,
    PowerSaveMenu1,
    PowerSaveMenu2,
    LanguageSetup,
    LcdContrast,
    LcdBacklight,
    LaminatorId,
    IpGetMethod,
    IpAddress,
    SubnetMask,
    Gateway,
    MacAddress,
    TimeOut,
};
inline constexpr int kParamCount = 30;

enum class Editor { None, EditBox, DropDown };

enum class Encoding {
    InfoField,  // a ";" field of the information reply
    ModelName,  // read and written in the MODE bracket
    U8,
    TEMP,
    U24,
    U32,
    S16T,
    U16T,
    IP4,
    MAC6,
    VER4,
    LTEXT,
    ENUM,
};

struct ParameterInfo {
    ParamKey key;
    std::string_view keyName;
    std::string_view group;
    int row;
    int nameString;
    std::string_view name;
    std::string_view unit;
    bool readWrite;  // the attribute label only
    Editor editor;
    Encoding encoding;
    std::vector<std::string_view> choices;  // drop-down choices in list order
    int limitString;                        // 0 when no rule applies on write
};

// The five group names in list order.
const std::vector<std::string_view>& GroupNames();
// All 30 parameters, grouped and in row order.
const std::vector<ParameterInfo>& Catalogue();
const ParameterInfo& Parameter(ParamKey key);
// The group's parameters in row order; empty for a name that matches no group (exact match).
std::vector<const ParameterInfo*> GroupParameters(std::string_view group);
// Null when the group has no such row.
const ParameterInfo* FindParameter(std::string_view group, int row);
std::string_view AttributeText(const ParameterInfo& p);
// The limit messages (strings 156 to 172); empty for another id.
std::string_view LimitMessage(int stringId);
