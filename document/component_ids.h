#pragma once
// The component's fixed identities, chosen once; never change them, hosts store them.

namespace zavek::ids {

inline constexpr const char* kTypeLibraryName = "PRJ_ZAVEK_SecurityAdmin";
inline constexpr const char* kTypeLibraryId = "{63B5FA5C-968F-4412-A3F0-21DDB07D9DD0}";
inline constexpr int kTypeLibraryMajor = 1;
inline constexpr int kTypeLibraryMinor = 0;
inline constexpr int kTypeLibraryLocale = 0x409;
inline constexpr const char* kClassName = "ZAVEK_Security";
inline constexpr const char* kClassId = "{2F62CC39-58AF-45E0-ACB3-E9A20435EE77}";
inline constexpr const char* kInterfaceName = "_ZAVEK_Security";
inline constexpr const char* kInterfaceId = "{694362A3-BB2D-488A-9749-1BE1522CC07B}";
inline constexpr const char* kInterfaceResource = ":/_IID_ZAVEK_SECURITY/1";
inline constexpr const char* kFileVersion = "1.00";
inline constexpr int kMajorVersion = 1;
inline constexpr int kMinorVersion = 0;

} // namespace zavek::ids
