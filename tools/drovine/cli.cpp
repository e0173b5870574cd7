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

namespace cli {

namespace {

const OptionRule* Find(std::span<const OptionRule> rules, const std::string& name, bool isShort) {
  for (const OptionRule& s : rules) {
    if (isShort ? (s.shortName && name == s.shortName) : name == s.name) return &s;
  }
  return nullptr;
}

bool EndsWithPng(const std::string& path) {
  if (path.size() < 4) return false;
  std::string end = path.substr(path.size() - 4);
  for (char& c : end) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return end == ".png";
}

}  // namespace

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
  namespace fs = std::filesystem;
  if (path.empty()) {
    Complain(command, "the output path is empty (give a .png file, or - for standard output)");
    return false;
  }
  if (path == "-") return true;
  if (!EndsWithPng(path)) {
    Complain(command,
             "cannot write '%s': the format follows the extension, and this build writes .png "
             "only (or - for standard output)",
             path.c_str());
    return false;
  }
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

bool Output::WritePng(const uint8_t* pixels, int32_t width, int32_t height, int32_t stride,
                      uint32_t format) {
  if (!file_) return false;
  if (file_ != stdout && ftruncate(fileno(file_), 0) != 0) return false;
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = format;
  written_ = true;
  const bool ok = png_image_write_to_stdio(&image, file_, 0, pixels, stride, nullptr) != 0;
  return std::fflush(file_) == 0 && ok;
}

bool ReadPng(const std::string& path, std::vector<uint8_t>& rgba, int32_t& width, int32_t& height) {
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
  image.format = PNG_FORMAT_RGBA;
  if (image.width < 1 || image.height < 1 || image.width > 10000 || image.height > 10000) {
    png_image_free(&image);
    return false;
  }
  rgba.resize(PNG_IMAGE_SIZE(image));
  if (!png_image_finish_read(&image, nullptr, rgba.data(), 0, nullptr)) return false;
  width = static_cast<int32_t>(image.width);
  height = static_cast<int32_t>(image.height);
  return true;
}

}  // namespace cli
