// The settings keys with their types and defaults, in the order the defaults
// are written. The store itself is gCharTest.Settings; SetDefaultSettings and
// ApplySettings are members of gCharTest (game/world/gCharTest.h).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace zun {
class zValues;
}

namespace tarv {

enum class SettingType : uint8_t { Byte, Long, Single };

struct SettingDefault {
    const char* Key;
    SettingType Type;
    double Value;
};

const std::vector<SettingDefault>& SettingDefaults();

// gCharTest.Settings, made empty when there is none yet.
zun::zValues& SettingsStore();

}  // namespace tarv
