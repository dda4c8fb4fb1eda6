// The leaf names of a board's devices and how many phone lines a board can have.
#pragma once

#include <cstddef>
#include <string>

inline constexpr size_t kMaxLines = 8;

inline constexpr const char* kConfigLeaf = "VELTRIN_CFG";
inline constexpr const char* kLeftOutputLeaf = "LINE_OUT_LEFT";
inline constexpr const char* kRightOutputLeaf = "LINE_OUT_RIGHT";

// "PHONE_LINE<n>_IN_DEV" and "PHONE_LINE<n>_OUT_DEV".
inline std::string LineInLeaf(int line) { return "PHONE_LINE" + std::to_string(line) + "_IN_DEV"; }
inline std::string LineOutLeaf(int line) { return "PHONE_LINE" + std::to_string(line) + "_OUT_DEV"; }
