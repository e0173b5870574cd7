// The conventions every drovine subcommand shares: options as --name value
// or --name=value, "--" ending the options, "-" for standard output, every
// argument checked (and refused with its value and the reason) before any
// work starts, the output format taken from the file's extension, and no
// directory ever made.
#pragma once

#include <cstdint>
#include <cstdio>
#include <map>
#include <span>
#include <string>
#include <vector>

namespace cli {

// Exit codes: 0 done, 1 the work failed, 2 a bad command line.
constexpr int kFailed = 1;
constexpr int kUsage = 2;

struct OptionRule {
  const char* name;                 // without the dashes: "width"
  bool takesValue;                  // false: a flag
  const char* shortName = nullptr;  // "o" for -o
};

// One subcommand's parsed command line.
struct Args {
  std::string command;                        // "demo", "replay", ...
  std::vector<std::string> operands;          // in order
  std::map<std::string, std::string> values;  // the last value of each option
  bool Has(const char* name) const { return values.count(name) != 0; }
};

// Prints "drovine <command>: <message>" to standard error.
void Complain(const std::string& command, const char* format, ...)
    __attribute__((format(printf, 2, 3)));

// Parses argv[0..argc) against the options; false (after complaining) for
// an unknown option or a missing value.
bool Parse(const std::string& command, int argc, char** argv, std::span<const OptionRule> rules,
           Args& out);

// The option as a whole number lo..hi (`fallback` when absent); false
// after complaining with the value and the range.
bool IntOption(const Args& args, const char* name, int32_t lo, int32_t hi, int32_t fallback,
               int32_t& out);

// The picture formats the engine's writers make, by extension (any case):
// those with `alpha` keep transparency, the others are written without it.
struct PictureFormat {
  const char* extension;
  bool alpha;
};
inline constexpr PictureFormat kPictureFormats[] = {
    {".png", true},  {".tga", true},  {".tif", true},  {".bmp", false}, {".jpg", false},
    {".gif", false}, {".pcx", false}, {".psd", false}, {".emf", false}, {".wmf", false},
};
// ".png" from "dir.v2/out.PNG"; "" when the name has none.
std::string Extension(const std::string& path);
// The format the path's extension names; null when the engine writes none.
const PictureFormat* FormatOf(const std::string& path);
// "'.png .tga .tif' with alpha, '.bmp .jpg ...' without": for messages.
std::string KnownFormats();

// Checks where a picture will be written before any work: "-" (standard
// output, PNG) or a path whose extension names a format the engine writes
// and whose directory exists and may be written. Complains with the reason
// and gives false otherwise.
bool CheckOutput(const std::string& command, const std::string& path);
// The same for a file of one kind (`extension` such as ".avi", any case):
// no standard output, the extension required.
bool CheckOutputFile(const std::string& command, const std::string& path, const char* extension);

// While alive, keeps the engine's last diagnostic line: the reason a read
// or a write was refused or failed, for the program's own message ("" when
// the engine said nothing).
class EngineReason {
 public:
  EngineReason();
  ~EngineReason();
  EngineReason(const EngineReason&) = delete;
  EngineReason& operator=(const EngineReason&) = delete;
  // ": <the line without the export's name>", or "".
  std::string Suffix() const;

 private:
  std::string last_;
};

// Checks that an input file exists and can be read.
bool CheckInput(const std::string& command, const std::string& what, const std::string& path);

// A picture's destination, opened before any work so that a path that
// cannot be written is refused at once rather than after the work: Open
// checks it (CheckOutput) and opens it for writing without emptying it;
// Write replaces what was there, in the format of the path's extension
// through the engine's own writers (PNG on standard output). A file Open
// created is removed again when nothing was written to it.
class Output {
 public:
  Output() = default;
  Output(const Output&) = delete;
  Output& operator=(const Output&) = delete;
  ~Output();

  bool Open(const std::string& command, const std::string& path);
  // 8-bit pixels in the given order, `stride` the row distance in bytes.
  // False when writing failed.
  enum class Order { kRgba, kBgr };
  // `dpi` is stored where the format has room.
  bool Write(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride, Order order,
             int32_t dpi = 72);
  bool toStandardOutput() const { return path_ == "-"; }
  // After a failed Write: ": <the engine's reason>", or "".
  const std::string& reason() const { return reason_; }
  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string reason_;
  FILE* file_ = nullptr;
  bool created_ = false;
  bool written_ = false;
};

// Reads a picture file in any format the engine reads as tight RGBA (at
// most 10000 pixels a side); `reason` gets ": <why not>" when it fails.
bool ReadPicture(const std::string& path, std::vector<uint8_t>& rgba, int32_t& width,
                 int32_t& height, std::string& reason);

}  // namespace cli
