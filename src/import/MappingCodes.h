// The property codes of a mapping file, one constant each.
#pragma once

namespace qvxcode {

inline constexpr const char kPhone[] = "PD";
inline constexpr const char kName[] = "N";
inline constexpr const char kCompany[] = "C";
inline constexpr const char kLocation[] = "L";
inline constexpr const char kEmail[] = "E";
inline constexpr const char kOther[] = "-";
inline constexpr const char kHidden[] = "X";
inline constexpr const char kGroup[] = "G";
inline constexpr const char kGroupInfo[] = "I";

}  // namespace qvxcode
