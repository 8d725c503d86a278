#include "settings/Autostart.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <system_error>

#include "common/AtomicFile.h"
#include "common/Text.h"
#include "common/TextCodec.h"

namespace lumora {
namespace {

constexpr std::string_view kReserved = " \t\n\"'\\><~|&;$*?#()`";

std::string reasonText(const std::filesystem::path& path, std::error_code ec) {
  std::string why;
  switch (ec.value()) {
    case EACCES:
    case EPERM:
      why = "没有写入权限";
      break;
    case EROFS:
      why = "文件系统只读";
      break;
    case ENOSPC:
    case EDQUOT:
      why = "磁盘空间不足";
      break;
    case ENOTDIR:
    case EEXIST:
      why = "路径中有同名文件挡住了文件夹";
      break;
    default:
      why = toValidUtf8(ec.message());
  }
  return "无法写入 " + toValidUtf8(path.string()) + "（" + why + "）";
}

// A desktop file is UTF-8 text, one key a line.
bool fitsEntry(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20 || c == 0x7F) return false;
  }
  return toValidUtf8(text) == text;
}

bool isHidden(std::string_view entry) {
  bool inMainGroup = false;
  for (const std::string& raw : splitText(entry, "\n")) {
    std::string_view line = raw;
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.starts_with('[')) {
      inMainGroup = line == "[Desktop Entry]";
      continue;
    }
    const std::size_t eq = line.find('=');
    if (!inMainGroup || eq == std::string_view::npos) continue;
    if (trimText(line.substr(0, eq)) == "Hidden" && trimText(line.substr(eq + 1)) == "true") {
      return true;
    }
  }
  return false;
}

void fail(std::string* failure, std::string reason) {
  if (failure) *failure = std::move(reason);
}

}  // namespace

std::filesystem::path AutostartEntryPath(const std::filesystem::path& configHome,
                                         std::string_view name) {
  return configHome / "autostart" / (std::string(name) + ".desktop");
}

std::string DesktopExecArgument(std::string_view argument) {
  const bool quote =
      argument.empty() || argument.find_first_of(kReserved) != std::string_view::npos;
  std::string out = quote ? "\"" : "";
  for (char c : argument) {
    if (quote && (c == '"' || c == '`' || c == '$' || c == '\\')) out += '\\';
    if (c == '%') out += '%';
    out += c;
  }
  if (quote) out += '"';
  // The Exec value is itself a string value, whose own escape is the backslash.
  std::string escaped;
  for (char c : out) {
    if (c == '\\') escaped += '\\';
    escaped += c;
  }
  return escaped;
}

std::string AutostartEntryText(std::string_view name, std::string_view programPath,
                               std::string_view apiBase) {
  std::string exec;
  if (!apiBase.empty()) {
    exec = "env " + DesktopExecArgument("LUMORA_API_BASE=" + std::string(apiBase)) + " ";
  }
  exec += DesktopExecArgument(programPath);
  return "[Desktop Entry]\nType=Application\nName=" + std::string(name) + "\nExec=" + exec +
         "\nTerminal=false\n";
}

bool setAutorun(const std::filesystem::path& configHome, std::string_view name,
                std::string_view programPath, std::string_view apiBase, AutorunFlags flags,
                std::string* failure) {
  if (configHome.empty()) {
    fail(failure, "找不到用户的配置文件夹（HOME 未设置）");
    return false;
  }
  const std::filesystem::path entry = AutostartEntryPath(configHome, name);
  if (flags.query) {
    const std::optional<std::string> text = ReadSmallFile(entry);
    return text && !isHidden(*text);
  }
  if (flags.remove) {
    if (::unlink(entry.c_str()) == 0 || errno == ENOENT) return true;
    fail(failure, reasonText(entry.parent_path(), {errno, std::generic_category()}));
    return false;
  }
  if (!fitsEntry(programPath) || !fitsEntry(apiBase) || !fitsEntry(name)) {
    fail(failure, "程序路径或服务器地址含有启动项无法保存的字符");
    return false;
  }
  if (auto ec = WriteFileAtomically(entry, AutostartEntryText(name, programPath, apiBase))) {
    fail(failure, reasonText(entry, ec));
    return false;
  }
  return true;
}

bool refreshAutorun(const std::filesystem::path& configHome, std::string_view name,
                    std::string_view programPath, std::string_view apiBase) {
  if (!setAutorun(configHome, name, programPath, apiBase, {.query = true})) return false;
  const std::optional<std::string> text = ReadSmallFile(AutostartEntryPath(configHome, name));
  // A failed rewrite leaves the old entry, which still counts as ticked.
  if (text != AutostartEntryText(name, programPath, apiBase))
    setAutorun(configHome, name, programPath, apiBase, {.remove = false});
  return true;
}

}  // namespace lumora
