#pragma once
// Drive letters of script paths. Scripts written for Windows name files as
// "C:\data\log.txt"; here each letter stands for a folder of this system:
//
//   VEXMORA_DRIVE_C=/srv/data          (environment, one variable a letter)
//   $XDG_CONFIG_HOME/vexmora/drives    (or ~/.config/vexmora/drives)
//
// The table file holds one "LETTER=FOLDER" line a letter, for example
// "C=/srv/data"; the letter may be given in either case, blanks around the
// two parts are ignored, and lines that are empty or begin with '#' are
// comments. The folder must be absolute. The environment wins over the file.
//
// A letter with no folder, and a network path ("\\server\share\..."), name
// nothing: such a path never reaches the system as a relative name (no
// folder named "C:" is ever created), every operation on it fails.
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace vx::files {

inline constexpr std::string_view DRIVE_ENV_PREFIX = "VEXMORA_DRIVE_";
inline constexpr std::string_view DRIVE_TABLE_FILE = "vexmora/drives";
inline constexpr std::size_t DRIVE_TABLE_BYTES_MAX = 65536;

class DriveTable {
 public:
  // Folder (UTF-8, no trailing slash unless it is "/") of a letter, or empty.
  const std::string& Folder(char letter) const;
  void Set(char letter, std::string_view folder);

  // Lines of a table file; malformed lines are passed over.
  void AddFileText(std::string_view text);
  // VEXMORA_DRIVE_A to VEXMORA_DRIVE_Z of the environment.
  void AddEnvironment();

  // The user's table: the file, then the environment. Read once.
  static const DriveTable& User();

 private:
  std::array<std::string, 26> folders_;
};

// A system path (UTF-8, slashes) with its drive letter or network prefix
// resolved through `table`: "C:/data/x" becomes FOLDER/data/x; ".." never
// climbs above the drive's folder. Nullopt when the path names an unmapped
// drive or a network share. Other paths come back unchanged.
std::optional<std::string> ResolveDrive(std::string_view path, const DriveTable& table);

}  // namespace vx::files
