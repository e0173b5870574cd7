#include "cli.h"

#include <fcntl.h>
#include <png.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <vector>

#include "drovine.h"

namespace cli {

namespace {

const OptionRule* Find(std::span<const OptionRule> rules, const std::string& name, bool isShort) {
  for (const OptionRule& s : rules) {
    if (isShort ? (s.shortName && name == s.shortName) : name == s.name) return &s;
  }
  return nullptr;
}

bool SameText(const std::string& a, const char* b) {
  if (a.size() != std::strlen(b)) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(a[i])) != b[i]) return false;
  return true;
}

bool CheckWritable(const std::string& command, const std::string& path);

}  // namespace

std::string Extension(const std::string& path) {
  const size_t slash = path.find_last_of('/');
  const size_t dot = path.find_last_of('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  return path.substr(dot);
}

const PictureFormat* FormatOf(const std::string& path) {
  const std::string extension = Extension(path);
  for (const PictureFormat& f : kPictureFormats)
    if (SameText(extension, f.extension)) return &f;
  return nullptr;
}

std::string KnownFormats() {
  std::string with, without;
  for (const PictureFormat& f : kPictureFormats) {
    std::string& list = f.alpha ? with : without;
    list += list.empty() ? "" : " ";
    list += f.extension;
  }
  return with + " (with alpha), " + without + " (without)";
}

void Complain(const std::string& command, const char* format, ...) {
  std::fprintf(stderr, "drovine%s%s: ", command.empty() ? "" : " ", command.c_str());
  va_list args;
  va_start(args, format);
  std::vfprintf(stderr, format, args);
  va_end(args);
  std::fputc('\n', stderr);
}

bool Parse(const std::string& command, int argc, char** argv, std::span<const OptionRule> rules,
           Args& out) {
  out.command = command;
  bool optionsEnded = false;
  for (int i = 0; i < argc; ++i) {
    const std::string arg = argv[i];
    if (optionsEnded || arg == "-" || arg.empty() || arg[0] != '-') {
      out.operands.push_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const bool isShort = arg[1] != '-';
    std::string name = arg.substr(isShort ? 1 : 2);
    std::string value;
    bool hasValue = false;
    if (const size_t eq = name.find('='); !isShort && eq != std::string::npos) {
      value = name.substr(eq + 1);
      name.resize(eq);
      hasValue = true;
    }
    const OptionRule* rule = Find(rules, name, isShort);
    if (!rule) {
      Complain(command, "unknown option '%s' (try drovine %s --help)", arg.c_str(),
               command.c_str());
      return false;
    }
    if (!rule->takesValue) {
      if (hasValue) {
        Complain(command, "option --%s takes no value", rule->name);
        return false;
      }
      out.values[rule->name] = "";
      continue;
    }
    if (!hasValue) {
      if (i + 1 >= argc) {
        Complain(command, "option --%s needs a value", rule->name);
        return false;
      }
      value = argv[++i];
    }
    out.values[rule->name] = value;
  }
  return true;
}

bool IntOption(const Args& args, const char* name, int32_t lo, int32_t hi, int32_t fallback,
               int32_t& out) {
  const auto it = args.values.find(name);
  if (it == args.values.end()) {
    out = fallback;
    return true;
  }
  const char* text = it->second.c_str();
  char* end = nullptr;
  errno = 0;
  const long long v = std::strtoll(text, &end, 10);
  if (!text[0] || *end || errno == ERANGE) {
    Complain(args.command, "--%s '%s' is not a whole number", name, text);
    return false;
  }
  if (v < lo || v > hi) {
    Complain(args.command, "--%s %lld outside %d..%d", name, v, lo, hi);
    return false;
  }
  out = static_cast<int32_t>(v);
  return true;
}

bool CheckOutput(const std::string& command, const std::string& path) {
  if (path.empty()) {
    Complain(command, "the output path is empty (give a picture file, or - for standard output)");
    return false;
  }
  if (path == "-") return true;
  if (!FormatOf(path)) {
    const std::string extension = Extension(path);
    Complain(command,
             "cannot write '%s': %s%s%s; the format follows the extension: %s, or - for "
             "standard output (PNG)",
             path.c_str(), extension.empty() ? "no extension" : "unknown extension '",
             extension.c_str(), extension.empty() ? "" : "'", KnownFormats().c_str());
    return false;
  }
  return CheckWritable(command, path);
}

bool CheckOutputFile(const std::string& command, const std::string& path, const char* extension) {
  if (path.empty() || path == "-" || !SameText(Extension(path), extension)) {
    Complain(command, "cannot write '%s': give a file ending in %s", path.c_str(), extension);
    return false;
  }
  return CheckWritable(command, path);
}

namespace {

// The path's directory exists, and the path is no directory and may be
// written.
bool CheckWritable(const std::string& command, const std::string& path) {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path target(path);
  const fs::path dir = target.has_parent_path() ? target.parent_path() : fs::path(".");
  if (!fs::is_directory(dir, error)) {
    Complain(command, "cannot write '%s': the directory '%s' does not exist", path.c_str(),
             dir.c_str());
    return false;
  }
  if (fs::is_directory(target, error)) {
    Complain(command, "cannot write '%s': it is a directory", path.c_str());
    return false;
  }
  const bool exists = fs::exists(target, error);
  if (access(exists ? path.c_str() : dir.c_str(), W_OK) != 0) {
    Complain(command, "cannot write '%s': %s", path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

}  // namespace

bool CheckInput(const std::string& command, const std::string& what, const std::string& path) {
  std::error_code error;
  if (path.empty()) {
    Complain(command, "the %s path is empty", what.c_str());
    return false;
  }
  if (std::filesystem::is_directory(path, error)) {
    Complain(command, "cannot read %s '%s': it is a directory", what.c_str(), path.c_str());
    return false;
  }
  if (access(path.c_str(), R_OK) != 0) {
    Complain(command, "cannot read %s '%s': %s", what.c_str(), path.c_str(), std::strerror(errno));
    return false;
  }
  return true;
}

namespace {
void DRO_CALL KeepLine(const char* message, void* user) {
  *static_cast<std::string*>(user) = message ? message : "";
}
}  // namespace

EngineReason::EngineReason() {
  DRO_XSetDiagnosticHandler(KeepLine, &last_);
}

EngineReason::~EngineReason() {
  DRO_XSetDiagnosticHandler(nullptr, nullptr);
}

std::string EngineReason::Suffix() const {
  if (last_.empty()) return "";
  // "DRO_ReadFromFile: "x.png": ..." -> ": "x.png": ..."
  const size_t colon = last_.find(": ");
  return colon == std::string::npos ? ": " + last_ : last_.substr(colon);
}

Output::~Output() {
  if (file_ && file_ != stdout) std::fclose(file_);
  if (created_ && !written_) std::remove(path_.c_str());
}

bool Output::Open(const std::string& command, const std::string& path) {
  if (!CheckOutput(command, path)) return false;
  path_ = path;
  if (path == "-") {
    file_ = stdout;
    return true;
  }
  // Not O_TRUNC: a picture already there stays until the new one is ready.
  const bool existed = access(path.c_str(), F_OK) == 0;
  const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0 || !(file_ = fdopen(fd, "wb"))) {
    Complain(command, "cannot write '%s': %s", path.c_str(), std::strerror(errno));
    if (fd >= 0) close(fd);
    return false;
  }
  created_ = !existed;
  return true;
}

bool Output::Write(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
                   Order order, int32_t dpi) {
  if (!file_ || !pixels || width < 1 || height < 1) return false;
  if (file_ == stdout) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = order == Order::kRgba ? PNG_FORMAT_RGBA : PNG_FORMAT_BGR;
    written_ = true;
    const bool ok = png_image_write_to_stdio(&image, file_, 0, pixels, stride, nullptr) != 0;
    return std::fflush(file_) == 0 && ok;
  }
  // The engine's writers open the path themselves; the handle only held the
  // place while the work ran.
  std::fclose(file_);
  file_ = nullptr;
  const PictureFormat* format = FormatOf(path_);
  if (!format) return false;
  // A tight copy in the order the writers take: R, G, B (and A).
  const int channels = format->alpha ? 4 : 3;
  std::vector<uint8_t> tight(static_cast<size_t>(width) * static_cast<size_t>(height) * channels);
  uint8_t* out = tight.data();
  for (int32_t y = 0; y < height; ++y) {
    const uint8_t* in = pixels + static_cast<ptrdiff_t>(y) * stride;
    for (int32_t x = 0; x < width; ++x, out += channels) {
      const uint8_t* p = in + x * (order == Order::kRgba ? 4 : 3);
      out[0] = order == Order::kRgba ? p[0] : p[2];
      out[1] = p[1];
      out[2] = order == Order::kRgba ? p[2] : p[0];
      if (channels == 4) out[3] = order == Order::kRgba ? p[3] : 255;
    }
  }
  const std::string extension = Extension(path_);
  const EngineReason why;
  const int32_t ok = format->alpha ? DRO_WriteToFileRGBA32(tight.data(), width, height,
                                                           path_.c_str(), extension.c_str(), dpi)
                                   : DRO_WriteToFileRGB24(tight.data(), width, height,
                                                          path_.c_str(), extension.c_str(), dpi);
  written_ = ok == 1;
  if (!written_) reason_ = why.Suffix();
  return written_;
}

bool ReadPicture(const std::string& path, std::vector<uint8_t>& rgba, int32_t& width,
                 int32_t& height, std::string& reason) {
  {
    const EngineReason why;
    if (DRO_ReadFromFile(path.c_str()) != 1) {
      reason = why.Suffix();
      return false;
    }
  }
  width = DRO_GetNewRGBAWidth();
  height = DRO_GetNewRGBAHeight();
  const bool fits = width >= 1 && height >= 1 && width <= 10000 && height <= 10000;
  if (!fits) reason = ": " + std::to_string(width) + " x " + std::to_string(height) + " pixels";
  if (fits) {
    rgba.resize(static_cast<size_t>(width) * static_cast<size_t>(height) * 4);
    DRO_GetNewRGBA32(rgba.data());
  }
  DRO_DeleteNewRGBA();
  return fits;
}

}  // namespace cli
