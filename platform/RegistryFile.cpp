// The score record's text file: parsing and writing the export syntax, and the atomic save.
#include "platform/RegistryFile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <random>
#include <string>
#include <system_error>
#include <utility>
#include <vector>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#ifndef NOMINMAX
#define NOMINMAX
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#else
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {

namespace fs = std::filesystem;

namespace {

constexpr std::string_view kHeader = "Windows Registry Editor Version 5.00";
constexpr std::string_view kRootName = "HKEY_CURRENT_USER";
constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
// Export files wrap long hex lists near this column.
constexpr std::size_t kHexLineWidth = 76;

struct Entry {
  std::string name;  // "" is the unnamed value, written @
  RegistryValue value;
};

char LowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// Value and key names ignore case in the registry; ASCII folding is enough for our names.
bool EqualsIgnoreCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return LowerAscii(x) == LowerAscii(y);
         });
}

bool StartsWithIgnoreCase(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && EqualsIgnoreCase(text.substr(0, prefix.size()), prefix);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimLeft(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  return s;
}

std::string_view TrimRight(std::string_view s) {
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

std::string_view Trim(std::string_view s) { return TrimLeft(TrimRight(s)); }

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// 1 to 8 hex digits, nothing else.
std::optional<std::uint32_t> ParseHex32(std::string_view s) {
  if (s.empty() || s.size() > 8) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : s) {
    int digit = HexDigit(c);
    if (digit < 0) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(digit);
  }
  return value;
}

void AppendHexByte(std::string& out, std::uint8_t byte) {
  constexpr char kDigits[] = "0123456789abcdef";
  out += kDigits[byte >> 4];
  out += kDigits[byte & 0x0F];
}

// ---- REG_SZ data: UTF-8 text <-> UTF-16LE with a terminating NUL ----

void AppendUtf16(std::vector<std::uint8_t>& out, std::uint32_t unit) {
  out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
  out.push_back(static_cast<std::uint8_t>(unit >> 8));
}

// Nothing when the text is not well-formed UTF-8.
std::optional<std::vector<std::uint8_t>> Utf8ToRegSz(std::string_view text) {
  std::vector<std::uint8_t> out;
  std::size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<std::uint8_t>(text[i]);
    std::uint32_t code = 0;
    std::size_t length = 0;
    std::uint32_t minimum = 0;
    if (lead < 0x80) {
      code = lead, length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1Fu, length = 2, minimum = 0x80;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0Fu, length = 3, minimum = 0x800;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07u, length = 4, minimum = 0x10000;
    } else {
      return std::nullopt;
    }
    if (i + length > text.size()) return std::nullopt;
    for (std::size_t k = 1; k < length; ++k) {
      const auto next = static_cast<std::uint8_t>(text[i + k]);
      if ((next & 0xC0) != 0x80) return std::nullopt;
      code = (code << 6) | (next & 0x3Fu);
    }
    if (code < minimum || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      AppendUtf16(out, 0xD800 + (code >> 10));
      AppendUtf16(out, 0xDC00 + (code & 0x3FF));
    } else {
      AppendUtf16(out, code);
    }
    i += length;
  }
  AppendUtf16(out, 0);
  return out;
}

void AppendUtf8(std::string& out, std::uint32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// The text of REG_SZ data when "text" gives back exactly these bytes: one NUL at the end, valid
// UTF-16, no line breaks. Anything else is written as hex(1): so it survives unchanged.
std::optional<std::string> RegSzToUtf8(const std::vector<std::uint8_t>& data) {
  if (data.size() < 2 || data.size() % 2 != 0) return std::nullopt;
  const std::size_t units = data.size() / 2 - 1;
  auto unit_at = [&](std::size_t k) -> std::uint32_t {
    return static_cast<std::uint32_t>(data[2 * k] | (data[2 * k + 1] << 8));
  };
  if (unit_at(units) != 0) return std::nullopt;
  std::string text;
  for (std::size_t k = 0; k < units; ++k) {
    std::uint32_t code = unit_at(k);
    if (code == 0 || code == '\r' || code == '\n' || (code >= 0xDC00 && code <= 0xDFFF)) {
      return std::nullopt;
    }
    if (code >= 0xD800 && code <= 0xDBFF) {
      if (k + 1 >= units) return std::nullopt;
      const std::uint32_t low = unit_at(k + 1);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      code = 0x10000 + ((code - 0xD800) << 10) + (low - 0xDC00);
      ++k;
    }
    AppendUtf8(text, code);
  }
  return text;
}

// ---- Parsing ----

// A quoted string at the front of s, with \\ and \" escapes; s is left after the closing quote.
std::optional<std::string> TakeQuoted(std::string_view& s) {
  if (s.empty() || s.front() != '"') return std::nullopt;
  std::string out;
  for (std::size_t i = 1; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      s.remove_prefix(i + 1);
      return out;
    }
    if (c == '\\') {
      if (i + 1 >= s.size() || (s[i + 1] != '\\' && s[i + 1] != '"')) return std::nullopt;
      out += s[++i];
    } else {
      out += c;
    }
  }
  return std::nullopt;  // no closing quote: a cut-off line
}

// Comma-separated bytes, two hex digits each; an empty list is no bytes.
std::optional<std::vector<std::uint8_t>> ParseHexList(std::string_view s) {
  std::vector<std::uint8_t> bytes;
  s = Trim(s);
  if (s.empty()) return bytes;
  while (true) {
    const std::size_t comma = s.find(',');
    const std::string_view item = Trim(s.substr(0, comma));
    if (item.size() != 2) return std::nullopt;
    const int high = HexDigit(item[0]);
    const int low = HexDigit(item[1]);
    if (high < 0 || low < 0) return std::nullopt;
    bytes.push_back(static_cast<std::uint8_t>(high * 16 + low));
    if (comma == std::string_view::npos) return bytes;
    s.remove_prefix(comma + 1);
  }
}

void Upsert(std::vector<Entry>& entries, std::string_view name, RegistryValue value) {
  for (Entry& entry : entries) {
    if (EqualsIgnoreCase(entry.name, name)) {
      entry.value = std::move(value);  // the stored spelling of the name stays
      return;
    }
  }
  entries.push_back(Entry{std::string(name), std::move(value)});
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t end = text.find('\n');
    lines.push_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return lines;
}

// The values in the file, or nothing when any line is not what this file may hold.
std::optional<std::vector<Entry>> Parse(std::string_view text) {
  if (text.substr(0, kUtf8Bom.size()) == kUtf8Bom) text.remove_prefix(kUtf8Bom.size());
  const std::vector<std::string_view> lines = SplitLines(text);
  if (lines.empty() || TrimRight(lines[0]) != kHeader) return std::nullopt;

  std::vector<Entry> entries;
  bool in_key = false;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    std::string_view line = Trim(lines[i]);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      if (line.back() != ']') return std::nullopt;
      const std::string_view key = line.substr(1, line.size() - 2);
      if (!StartsWithIgnoreCase(key, kRootName) || key.size() <= kRootName.size() ||
          key[kRootName.size()] != '\\' ||
          !EqualsIgnoreCase(key.substr(kRootName.size() + 1), RegistryFile::kKeyPath)) {
        return std::nullopt;
      }
      in_key = true;
      continue;
    }
    if (!in_key) return std::nullopt;

    std::string name;
    if (line.front() == '@') {
      line.remove_prefix(1);
    } else {
      std::optional<std::string> quoted = TakeQuoted(line);
      if (!quoted) return std::nullopt;
      name = std::move(*quoted);
    }
    line = TrimLeft(line);
    if (line.empty() || line.front() != '=') return std::nullopt;
    line = TrimLeft(line.substr(1));

    RegistryValue value;
    if (!line.empty() && line.front() == '"') {
      std::optional<std::string> text_value = TakeQuoted(line);
      if (!text_value || !Trim(line).empty()) return std::nullopt;
      std::optional<std::vector<std::uint8_t>> data = Utf8ToRegSz(*text_value);
      if (!data) return std::nullopt;
      value = RegistryValue{reg::kSz, std::move(*data)};
    } else if (StartsWithIgnoreCase(line, "dword:")) {
      const std::string_view digits = Trim(line.substr(6));
      const std::optional<std::uint32_t> number = ParseHex32(digits);
      if (digits.size() != 8 || !number) return std::nullopt;
      value.type = reg::kDword;
      for (int shift = 0; shift < 32; shift += 8) {
        value.data.push_back(static_cast<std::uint8_t>(*number >> shift));
      }
    } else if (StartsWithIgnoreCase(line, "hex")) {
      line.remove_prefix(3);
      if (!line.empty() && line.front() == '(') {
        const std::size_t close = line.find(')');
        if (close == std::string_view::npos) return std::nullopt;
        const std::optional<std::uint32_t> type = ParseHex32(line.substr(1, close - 1));
        if (!type) return std::nullopt;
        value.type = *type;
        line.remove_prefix(close + 1);
      } else {
        value.type = reg::kBinary;
      }
      if (line.empty() || line.front() != ':') return std::nullopt;
      // A list may go on over lines that end with a backslash.
      std::string list(line.substr(1));
      while (!TrimRight(list).empty() && TrimRight(list).back() == '\\') {
        list.resize(TrimRight(list).size() - 1);
        if (++i >= lines.size()) return std::nullopt;  // the file stops mid-value
        list += Trim(lines[i]);
      }
      std::optional<std::vector<std::uint8_t>> bytes = ParseHexList(list);
      if (!bytes) return std::nullopt;
      value.data = std::move(*bytes);
    } else {
      return std::nullopt;
    }
    Upsert(entries, name, std::move(value));
  }
  return entries;
}

// ---- Writing ----

std::string Quote(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '\\' || c == '"') out += '\\';
    out += c;
  }
  out += '"';
  return out;
}

std::string Format(const std::vector<Entry>& entries) {
  std::string out;
  out.append(kHeader).append("\n\n[").append(kRootName).append("\\");
  out.append(RegistryFile::kKeyPath).append("]\n");
  for (const Entry& entry : entries) {
    std::string line = entry.name.empty() ? std::string("@") : Quote(entry.name);
    line += '=';
    const RegistryValue& value = entry.value;
    if (value.type == reg::kDword && value.data.size() == 4) {
      line += "dword:";
      for (std::size_t k = 4; k-- > 0;) AppendHexByte(line, value.data[k]);
      out.append(line).append("\n");
      continue;
    }
    if (value.type == reg::kSz) {
      if (std::optional<std::string> text = RegSzToUtf8(value.data)) {
        out.append(line).append(Quote(*text)).append("\n");
        continue;
      }
    }
    if (value.type == reg::kBinary) {
      line += "hex:";
    } else {
      constexpr char kDigits[] = "0123456789abcdef";
      std::string type;
      std::uint32_t rest = value.type;
      do {
        type.insert(type.begin(), kDigits[rest & 0xF]);
        rest >>= 4;
      } while (rest != 0);
      line.append("hex(").append(type).append("):");
    }
    for (std::size_t k = 0; k < value.data.size(); ++k) {
      AppendHexByte(line, value.data[k]);
      if (k + 1 == value.data.size()) break;
      line += ',';
      if (line.size() > kHexLineWidth) {
        out.append(line).append("\\\n");
        line = "  ";
      }
    }
    out.append(line).append("\n");
  }
  return out;
}

// ---- Files ----

enum class ReadOutcome { kRead, kMissing, kFailed };

ReadOutcome ReadWholeFile(const fs::path& file, std::string& bytes) {
  std::error_code error;
  const fs::file_status status = fs::status(file, error);
  // A missing folder, or a regular file where a folder belongs, is a missing record.
  if (status.type() == fs::file_type::not_found || error == std::errc::no_such_file_or_directory ||
      error == std::errc::not_a_directory) {
    return ReadOutcome::kMissing;
  }
  if (error || status.type() != fs::file_type::regular) return ReadOutcome::kFailed;
  std::ifstream in(file, std::ios::binary);
  if (!in) return ReadOutcome::kFailed;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return in.bad() ? ReadOutcome::kFailed : ReadOutcome::kRead;
}

// Creates each missing folder owner-only, as the XDG rules ask for folders we make.
bool MakeFolders(const fs::path& folder) {
  std::vector<fs::path> missing;
  for (fs::path at = folder; !at.empty(); at = at.parent_path()) {
    std::error_code error;
    const fs::file_type type = fs::status(at, error).type();
    if (type == fs::file_type::directory) break;
    if (type != fs::file_type::not_found) return false;  // a file in the way, or unreadable
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
    std::error_code error;
    fs::create_directory(*it, error);
    if (error) return false;
    fs::permissions(*it, fs::perms::owner_all, fs::perm_options::replace, error);
  }
  return true;
}

bool FolderWritable(const fs::path& folder) {
#ifdef _WIN32
  return _waccess(folder.c_str(), 2) == 0;
#else
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
#endif
}

enum class CreateOutcome { kWritten, kExists, kFailed };

// Writes a file that must not exist yet and flushes it to disk. On failure nothing is left.
CreateOutcome WriteNewFile(const fs::path& file, std::string_view bytes) {
#ifdef _WIN32
  const int fd = _wopen(file.c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY | _O_NOINHERIT,
                        _S_IREAD | _S_IWRITE);
  if (fd < 0) return errno == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
  bool ok = true;
  while (ok && !bytes.empty()) {
    const unsigned chunk = static_cast<unsigned>(std::min<std::size_t>(bytes.size(), 1u << 20));
    const int written = _write(fd, bytes.data(), chunk);
    ok = written > 0;
    if (ok) bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  ok = ok && _commit(fd) == 0;
  ok = (_close(fd) == 0) && ok;
  if (!ok) _wunlink(file.c_str());
#else
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
  if (fd < 0) return errno == EEXIST ? CreateOutcome::kExists : CreateOutcome::kFailed;
  bool ok = true;
  while (ok && !bytes.empty()) {
    const ssize_t written = ::write(fd, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    ok = written > 0;
    if (ok) bytes.remove_prefix(static_cast<std::size_t>(written));
  }
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok) ::unlink(file.c_str());
#endif
  return ok ? CreateOutcome::kWritten : CreateOutcome::kFailed;
}

bool RenameOver(const fs::path& from, const fs::path& to) {
#ifdef _WIN32
  return MoveFileExW(from.c_str(), to.c_str(),
                     MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
#else
  return ::rename(from.c_str(), to.c_str()) == 0;
#endif
}

// Makes the rename itself lasting.
bool SyncFolder(const fs::path& folder) {
#ifdef _WIN32
  (void)folder;  // MOVEFILE_WRITE_THROUGH has already flushed it
  return true;
#else
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return false;
  // Some file systems cannot flush a folder at all; there is nothing more to do on those.
  const bool ok = ::fsync(fd) == 0 || errno == EINVAL || errno == ENOTSUP;
  return (::close(fd) == 0) && ok;
#endif
}

void RemoveQuietly(const fs::path& file) {
  std::error_code ignored;
  fs::remove(file, ignored);
}

fs::path WithSuffix(const fs::path& file, const std::string& suffix) {
  fs::path result = file;
  result += suffix;
  return result;
}

fs::path FolderOf(const fs::path& file) {
  return file.has_parent_path() ? file.parent_path() : fs::path(".");
}

std::optional<fs::path> EnvironmentPath(const char* name) {
#ifdef _WIN32
  const std::wstring wide(name, name + std::char_traits<char>::length(name));
  const wchar_t* value = _wgetenv(wide.c_str());
#else
  const char* value = std::getenv(name);
#endif
  if (value == nullptr || *value == 0) return std::nullopt;
  fs::path path(value);
  if (!path.is_absolute()) return std::nullopt;
  return path;
}

fs::path HomeFolder() {
  if (std::optional<fs::path> home = EnvironmentPath("HOME")) return *home;
#ifndef _WIN32
  std::vector<char> buffer(16384);
  passwd entry{};
  passwd* found = nullptr;
  if (getpwuid_r(getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
      found->pw_dir && found->pw_dir[0] == '/') {
    return fs::path(found->pw_dir);
  }
#endif
  return {};
}

}  // namespace

struct detail::RegistryFileState {
  fs::path file;
  RegistryFile::BeforeReplace before_replace;
};

namespace {

class FileKey final : public RegistryKey {
 public:
  FileKey(std::shared_ptr<const detail::RegistryFileState> state, std::vector<Entry> entries,
          std::optional<std::string> damaged_bytes, bool unsaved)
      : state_(std::move(state)),
        entries_(std::move(entries)),
        damaged_bytes_(std::move(damaged_bytes)),
        unsaved_(unsaved) {}

  std::optional<RegistryValue> Read(std::string_view name) override {
    for (const Entry& entry : entries_) {
      if (EqualsIgnoreCase(entry.name, name)) return entry.value;
    }
    // What the damaged file held cannot be known: every value there is unreadable.
    if (damaged_bytes_) return RegistryValue{reg::kNone, {}};
    return std::nullopt;
  }

  bool WriteDword(std::string_view name, std::uint32_t value) override {
    // A line break would end the line and change what the file says.
    if (name.find_first_of("\r\n") != std::string_view::npos) return false;
    RegistryValue dword{reg::kDword, {}};
    for (int shift = 0; shift < 32; shift += 8) {
      dword.data.push_back(static_cast<std::uint8_t>(value >> shift));
    }
    Upsert(entries_, name, std::move(dword));
    unsaved_ = true;
    return true;
  }

  bool Commit() override;

 private:
  bool KeepDamagedCopy();

  std::shared_ptr<const detail::RegistryFileState> state_;
  std::vector<Entry> entries_;
  std::optional<std::string> damaged_bytes_;  // set while the file on disk is the damaged one
  bool damaged_kept_ = false;
  bool unsaved_;
};

// The damaged file goes beside the new one under a name nothing else has, so no earlier copy is
// ever replaced.
bool FileKey::KeepDamagedCopy() {
  for (int number = 0; number < 1000; ++number) {
    std::string suffix = ".damaged";
    if (number > 0) suffix += "." + std::to_string(number);
    switch (WriteNewFile(WithSuffix(state_->file, suffix), *damaged_bytes_)) {
      case CreateOutcome::kWritten:
        return true;
      case CreateOutcome::kExists:
        continue;
      case CreateOutcome::kFailed:
        return false;
    }
  }
  return false;
}

bool FileKey::Commit() {
  if (!unsaved_) return true;  // a key only read never touches the file
  if (damaged_bytes_ && !damaged_kept_) {
    if (!KeepDamagedCopy()) return false;
    damaged_kept_ = true;
  }
  const std::string text = Format(entries_);

  std::random_device random;
  fs::path temporary;
  CreateOutcome outcome = CreateOutcome::kExists;
  for (int attempt = 0; attempt < 100 && outcome == CreateOutcome::kExists; ++attempt) {
    std::string suffix = ".";
    const std::uint64_t seed = (std::uint64_t{random()} << 32) | random();
    for (std::uint64_t bits = seed, k = 0; k < 12; ++k, bits >>= 4) {
      suffix += "0123456789abcdef"[bits & 0xF];
    }
    temporary = WithSuffix(state_->file, suffix + ".tmp");
    outcome = WriteNewFile(temporary, text);
  }
  if (outcome != CreateOutcome::kWritten) return false;

  if ((state_->before_replace && !state_->before_replace(temporary)) ||
      !RenameOver(temporary, state_->file)) {
    RemoveQuietly(temporary);
    return false;
  }
  // The new record is in place from here on.
  damaged_bytes_.reset();
  unsaved_ = false;
  return SyncFolder(FolderOf(state_->file));
}

}  // namespace

fs::path DefaultRegistryFilePath() {
  fs::path data = EnvironmentPath("XDG_DATA_HOME").value_or(fs::path());
  if (data.empty()) {
    const fs::path home = HomeFolder();
    if (home.empty()) return {};
    data = home / ".local" / "share";
  }
  return data / "Telquarin" / "QX-Nembrolix" / "Vortrane.reg";
}

RegistryFile::RegistryFile(fs::path file) : state_(std::make_shared<detail::RegistryFileState>()) {
  state_->file = std::move(file);
}

const fs::path& RegistryFile::File() const { return state_->file; }

void RegistryFile::SetBeforeReplace(BeforeReplace hook) {
  state_->before_replace = std::move(hook);
}

std::unique_ptr<RegistryKey> RegistryFile::OpenKey(std::uint32_t root, std::string_view path,
                                                   bool create) {
  if (root != reg::kHkeyCurrentUser || !EqualsIgnoreCase(path, kKeyPath) || state_->file.empty()) {
    return nullptr;
  }
  std::string bytes;
  const ReadOutcome read = ReadWholeFile(state_->file, bytes);
  if (read == ReadOutcome::kFailed) return nullptr;
  if (read == ReadOutcome::kMissing && !create) return nullptr;  // a first run
  if (create) {
    const fs::path folder = FolderOf(state_->file);
    if (!MakeFolders(folder) || !FolderWritable(folder)) return nullptr;
  }
  std::vector<Entry> entries;
  std::optional<std::string> damaged_bytes;
  if (read == ReadOutcome::kRead) {
    if (std::optional<std::vector<Entry>> parsed = Parse(bytes)) {
      entries = std::move(*parsed);
    } else {
      damaged_bytes = std::move(bytes);
    }
  }
  // A key created here exists once saved, even with no values written.
  return std::make_unique<FileKey>(state_, std::move(entries), std::move(damaged_bytes),
                                   read == ReadOutcome::kMissing);
}

}  // namespace platform
