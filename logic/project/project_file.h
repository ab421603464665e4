// The project file: a flat run of Windows-1252 fields, each ended by the byte 0xA7.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "logic/program/project_content.h"

namespace ombrix {

inline constexpr char kFieldSeparator = '\xA7';
inline constexpr const char* kUnnamedProject = "{ohne Namen}";

struct ProjectError {
  std::string message;  // German, Windows-1252
  bool fault = false;   // a conversion or overflow fault: shown as the platform fault
};

// Writes to a temporary file beside the target and renames it over the target only
// when everything was written; on failure the old file stays and the error is returned.
std::optional<ProjectError> SaveProject(const ProjectContent& project,
                                        const std::filesystem::path& file);
// Reads the whole file into a fresh project and takes it over only when every field
// was read; on failure `project` is unchanged.
std::optional<ProjectError> LoadProject(ProjectContent& project, const std::filesystem::path& file);

// Decimal, or up to eight hex digits after "$", "x", "X", "0x", "0X"; throws the
// "ist kein gültiger Integerwert" Fault otherwise.
std::int32_t TextToInteger(std::string_view text);

}  // namespace ombrix
