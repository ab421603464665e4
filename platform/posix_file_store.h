// Project files on this machine's file system, and SaveProject/LoadProject on them.
#pragma once

#include <filesystem>
#include <optional>

#include "logic/project/controls_file.h"
#include "logic/project/file_store.h"
#include "logic/project/project_file.h"

namespace ombrix {

// Reads never block on a pipe; a replacement is written unnamed beside the target and
// renamed over it when complete, keeping the old file's mode and, where the process may,
// its owner and group.
class PosixFileStore final : public FileStore {
 public:
  [[nodiscard]] std::optional<FileFailure> Read(const std::filesystem::path& file,
                                                std::uintmax_t max_size,
                                                std::string& bytes) const override;
  [[nodiscard]] std::optional<FileFailure> Replace(const std::filesystem::path& file,
                                                   std::string_view bytes) const override;
  [[nodiscard]] std::optional<FileFailure> ReplaceTogether(std::span<const FileWrite> writes,
                                                           std::size_t& failed) const override;
};

[[nodiscard]] std::optional<ProjectError> SaveProject(const ProjectContent& project,
                                                      const std::filesystem::path& file);
[[nodiscard]] std::optional<ProjectError> LoadProject(ProjectContent& project,
                                                      const std::filesystem::path& file,
                                                      bool* converted = nullptr);
LoadedControls LoadControls(const std::filesystem::path& project_file);
[[nodiscard]] std::optional<ProjectError> SaveProjectAndControls(const ProjectContent& project,
                                                                 const ControlSet& set,
                                                                 const std::filesystem::path& file);

}  // namespace ombrix
