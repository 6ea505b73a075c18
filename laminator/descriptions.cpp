#include "laminator/descriptions.h"

#include "laminator/catalogue.h"

namespace {
struct Description {
    std::string_view group;
    int row;
    std::string_view text;
};

const Description kDescriptions[] = {
    {kGroupVersionInfo, 0, "Main version:\r\n Version number of Main Firmware."},
    {kGroupVersionInfo, 1, "Main boot:\r\n  version number of the main boot."},
    {kGroupLaminatorInfo, 0,
     "Total Card Amount:\r\nThe total number of Cards passed \r\n through the Laminator."},
    {kGroupLaminatorInfo, 1,
     "Total Laminate amount:\r\n The total amount  of  Laminates \r\n applied."},
    {kGroupLaminatorInfo, 2, "Laminator SN:\r\n   Laminator SN."},
    {kGroupLaminatorInfo, 3, "Laminator model:\r\n   Laminator model."},
    {kGroupLaminatorInfo, 4, "Model ID:\r\n   Model ID."},
    {kGroupParameterSetup, 0,
     "Laminate Menu:\r\n  Current Menu selected of the 8\r\n  different menus available."},
    {kGroupParameterSetup, 1,
     "Heating roller temperature:\r\n  The temperature of the heating\r\n  roller when "
     "laminating. (100~185\r\n degrees Celsius)"},
    {kGroupParameterSetup, 2,
     "Card Speed at Heater Roller:\r\n  The speed at which the card \r\npasses through the "
     "heating roller \r\nwhen laminating.(5~35mm/s)"},
    {kGroupParameterSetup, 3,
     "Laminate Feed speed :\r\n    Movement speed of Laminate \r\nafter Laminate has been "
     "applied\r\n(9~35mm / s)"},
    {kGroupParameterSetup, 4,
     "Laminate Film position:\r\nAfter Black Mark detection, distance\r\nof Laminate is to be "
     "positoned(-80~\r\n80mm).\r\nNOTE : the single-motor version of \r\nLaminator  can  not  "
     "be  set  to  a\r\nnegative value(0~80mm)."},
    {kGroupParameterSetup, 5,
     "Laminate to Card position:\r\n   Beginning position of Laminate on \r\n the Card  when "
     "applied."},
    {kGroupParameterSetup, 6,
     "Laminate end position:\r\n   The distance from which the film \r\n continues to feed "
     "after laminating.\r\n(0~80mm / s)"},
    {kGroupParameterSetup, 7,
     "Black Mark Detection:\r\n  Used to detect the Black Mark on \r\nthe Laminate.Black mark "
     "detecting \r\nis active when set to ON and is \r\ninactive when set to NO."},
    {kGroupParameterSetup, 8,
     "Black Mark Detection speed:\r\n    The feeding speed of Laminate\r\nwhen detecting eth "
     "Balck Mark(9~\r\n35mm/s)."},
    {kGroupParameterSetup, 9,
     "Auto Card Release Time:\r\n   The waiting time before loading \r\nthe card when the card "
     "is detected\r\n(0~10s)"},
    {kGroupLaminatorSetup, 0,
     "Buzzer:\r\n  If the buzzer is set to 'on', it\r\n sounds when there is a failure "
     "or\r\nalarm, otherwise no sound."},
    {kGroupLaminatorSetup, 1,
     "Power save mode 1:\r\n   When set to 0, the power save\r\n mode 1 is invalid.When set "
     "to x, \r\nthe laminator enters the power save \r\nmode 1 after waiting for x minutes, "
     "\r\nand the temperature of the heating\r\nroller will be stable at 100 degrees "
     "\r\nCelsius.The value range of x is\r\n5~120."},
    {kGroupLaminatorSetup, 2,
     "Power save mode 2:\r\n When set to 0, the power save \r\nmode 2 is invalid.When set to "
     "x, the\r\nlaminator enters the power save\r\nmode 2  after waiting for x "
     "minutes.\r\nThe heating roller and LCD backlight\r\nare turned off.The  value range of x "
     "\r\nis 5~120."},
    {kGroupLaminatorSetup, 3,
     "Language setup:\r\nSets the display font for the current \r\nLCD screen."},
    {kGroupLaminatorSetup, 4,
     "LCD contrast:\r\n Adjust the contrast of the current\r\nLCD screen justification range "
     "is 0~\r\n255"},
    {kGroupLaminatorSetup, 5,
     "LCD backlight:\r\n  When set to 'on' , it turns on the\r\n screen backlight.When set to "
     "'off' , \r\nit turns off the screen backlight."},
    {kGroupInterfaceSetup, 0, "Laminator ID:\r\nThe device ID used to identify the \r\nlaminator."},
    {kGroupInterfaceSetup, 1, "IP Get Method:\r\n   Method of obtaining a Network\r\n Address."},
    {kGroupInterfaceSetup, 2, "IP Address:\r\n  The IP address of the laminator."},
    {kGroupInterfaceSetup, 3, "Subnet Mask:\r\n   The static subnet mask of the\r\n laminator."},
    {kGroupInterfaceSetup, 4,
     "Gateway:\r\n  The IP address of the static\r\ngateway of the laminator."},
    {kGroupInterfaceSetup, 5, "MAC Address:\r\n  Physical MAC Address of the \r\nlaminator."},
    {kGroupInterfaceSetup, 6,
     "Time out setting:\r\n The maximum time that network \r\nwaits for the communication "
     "data."},
};
}  // namespace

std::optional<std::string_view> RowDescription(std::string_view group, int row) {
    for (const Description& d : kDescriptions) {
        if (d.group == group && d.row == row)
            return d.text;
    }
    return std::nullopt;
}
