#include "meter/com_port_names.h"

const std::wstring comPortNames[kComPortCount] = {
    L"COM1", L"COM2:", L"COM3:", L"COM4:", L"COM5:", L"COM6:", L"COM7:", L"COM8:",
};
