// A read-only registry over ini files: registry.ini beside the executable, then
// $XDG_CONFIG_HOME/vesk/registry.ini (default ~/.config), whose values win. Opening a
// key takes a snapshot of its values from the files at that moment. Sections name keys
// ("[HKEY_LOCAL_MACHINE\Software\Graphics SDK]"); lines are "name=text" (REG_SZ, UTF-8
// in the file, CP932 to callers), "name=dword:2a" (REG_DWORD) or "@=..." for the
// default value; ';' and '#' start comment lines. Nothing can be written.
#include <strings.h>

#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

#include "handles.h"
#include "win32ext.h"
#include "windows.h"

namespace {

// The files are user-editable and so untrusted: anything bigger is ignored as a whole,
// and longer lines are skipped.
constexpr size_t kMaxFileSize = 1u << 20;
constexpr size_t kMaxLineLength = 64u * 1024;

// Rights that would modify the key; this registry grants none of them.
constexpr REGSAM kWriteRights = KEY_SET_VALUE | KEY_CREATE_SUB_KEY | 0x0020 /*KEY_CREATE_LINK*/ |
                                0x00010000 /*DELETE*/ | 0x00040000 /*WRITE_DAC*/ |
                                0x00080000 /*WRITE_OWNER*/ | 0x10000000 /*GENERIC_ALL*/ |
                                0x40000000 /*GENERIC_WRITE*/;

struct RootKey {
  HKEY key;
  const char* name;  // folded
};
const RootKey kRoots[] = {
    {HKEY_CLASSES_ROOT, "hkey_classes_root"},
    {HKEY_CURRENT_USER, "hkey_current_user"},
    {HKEY_LOCAL_MACHINE, "hkey_local_machine"},
    {HKEY_USERS, "hkey_users"},
};

struct Value {
  DWORD type;
  std::string data;  // the bytes RegQueryValueExA hands out
};

// A key's path is its folded UTF-8 components joined by '\', starting with the root.
struct Key {
  std::string path;
  bool exists = false;
  std::unordered_map<std::string, Value> values;  // by folded name; "" is the default
};

std::mutex keyMutex;
std::unordered_map<uint32_t, std::shared_ptr<const Key>>& OpenKeys() {
  static auto* keys = new std::unordered_map<uint32_t, std::shared_ptr<const Key>>();
  return *keys;
}

// Names compare without regard to ASCII case. Folding UTF-8 byte-wise is safe: bytes of
// multi-byte sequences are never ASCII.
std::string Fold(std::string_view text) {
  std::string folded(text);
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
    text.remove_suffix(1);
  return text;
}

// Appends the '\'-separated components of relative (empty ones dropped) to base.
std::string JoinKeyPath(std::string base, std::string_view relative) {
  size_t start = 0;
  while (start <= relative.size()) {
    size_t end = relative.find('\\', start);
    if (end == std::string_view::npos) end = relative.size();
    std::string_view part = relative.substr(start, end - start);
    if (!part.empty()) {
      if (!base.empty()) base += '\\';
      base += Fold(part);
    }
    start = end + 1;
  }
  return base;
}

const char* RootName(HKEY key) {
  for (const RootKey& root : kRoots) {
    if (root.key == key) return root.name;
  }
  return nullptr;
}

// The key path a section header names, or nullopt for an unknown root.
std::optional<std::string> SectionPath(std::string_view header) {
  std::string path = JoinKeyPath(std::string(), header);
  std::string_view first = std::string_view(path).substr(0, path.find('\\'));
  for (const RootKey& root : kRoots) {
    if (first == root.name) return path;
  }
  return std::nullopt;
}

std::optional<Value> ParseValue(std::string_view text) {
  constexpr std::string_view kDwordPrefix = "dword:";
  if (text.size() > kDwordPrefix.size() &&
      strncasecmp(text.data(), kDwordPrefix.data(), kDwordPrefix.size()) == 0) {
    std::string_view digits = text.substr(kDwordPrefix.size());
    if (digits.size() > 8) return std::nullopt;
    uint32_t number = 0;
    for (char c : digits) {
      int digit = c >= '0' && c <= '9'   ? c - '0'
                  : c >= 'a' && c <= 'f' ? c - 'a' + 10
                  : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                         : -1;
      if (digit < 0) return std::nullopt;
      number = number << 4 | static_cast<uint32_t>(digit);
    }
    std::string data(4, '\0');
    for (int i = 0; i < 4; ++i) data[i] = static_cast<char>(number >> (8 * i) & 0xFF);
    return Value{REG_DWORD, data};
  }
  std::string cp932 = win32ext::Utf8ToCp932(text);
  cp932.push_back('\0');  // REG_SZ data includes its terminator
  return Value{REG_SZ, cp932};
}

// Adds what one file says about the key at key.path; later lines override earlier ones.
void ScanFile(std::string_view text, Key& key) {
  if (text.substr(0, 3) == "\xEF\xBB\xBF") text.remove_prefix(3);  // UTF-8 byte order mark
  bool inKey = false;
  while (!text.empty()) {
    size_t end = text.find('\n');
    std::string_view line = text.substr(0, end);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    if (line.size() > kMaxLineLength || line.find('\0') != std::string_view::npos) continue;
    line = Trim(line);
    if (line.empty() || line.front() == ';' || line.front() == '#') continue;

    if (line.front() == '[') {
      inKey = false;
      if (line.back() != ']') continue;
      std::optional<std::string> section = SectionPath(line.substr(1, line.size() - 2));
      if (!section) continue;
      inKey = *section == key.path;
      // A key exists when a section names it or any key below it.
      if (inKey || section->compare(0, key.path.size() + 1, key.path + '\\') == 0)
        key.exists = true;
      continue;
    }
    if (!inKey) continue;
    size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    std::string_view name = Trim(line.substr(0, equals));
    if (name.empty()) continue;
    std::optional<Value> value = ParseValue(Trim(line.substr(equals + 1)));
    if (!value) continue;
    key.values[name == "@" ? std::string() : Fold(name)] = std::move(*value);
  }
}

// The whole file, or nullopt when it is missing, not a regular file, or too big.
std::optional<std::string> ReadRegistryFile(const std::string& path) {
  std::string contents;
  if (win32ext::ReadSmallFile(path, kMaxFileSize, contents) != win32ext::SmallFileResult::Read)
    return std::nullopt;
  return contents;
}

std::optional<std::string> UserRegistryFile() {
  std::optional<std::string> directory = win32ext::UserConfigDirectory();
  if (!directory) return std::nullopt;
  return *directory + "/registry.ini";
}

std::shared_ptr<Key> LoadKey(const std::string& path) {
  auto key = std::make_shared<Key>();
  key->path = path;
  key->exists = path.find('\\') == std::string::npos;  // roots always exist
  std::string programDirectory = win32ext::ExecutableDirectory();
  if (!programDirectory.empty()) {
    if (auto text = ReadRegistryFile(programDirectory + "/registry.ini")) ScanFile(*text, *key);
  }
  if (auto file = UserRegistryFile()) {
    if (auto text = ReadRegistryFile(*file)) ScanFile(*text, *key);
  }
  return key;
}

// The path of an open key or root, or nullopt for an unknown handle.
std::optional<std::string> KeyPath(HKEY key) {
  if (const char* root = RootName(key)) return std::string(root);
  std::lock_guard<std::mutex> lock(keyMutex);
  auto found = OpenKeys().find(win32impl::HandleValue(key));
  if (found == OpenKeys().end()) return std::nullopt;
  return found->second->path;
}

}  // namespace

LSTATUS RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD options, REGSAM desired, HKEY* result) {
  if (result == nullptr) return ERROR_INVALID_PARAMETER;
  *result = nullptr;
  if (options != 0) return ERROR_INVALID_PARAMETER;  // REG_OPTION_OPEN_LINK: no links here
  std::optional<std::string> basePath = KeyPath(key);
  if (!basePath) return ERROR_INVALID_HANDLE;

  std::string relative;
  if (subKey != nullptr) {
    std::optional<std::string> utf8 = win32ext::Cp932ToUtf8(subKey);
    if (!utf8) return ERROR_FILE_NOT_FOUND;  // no key can have that name
    relative = *utf8;
  }
  std::string path = JoinKeyPath(*basePath, relative);
  std::shared_ptr<Key> snapshot = LoadKey(path);
  if (!snapshot->exists) return ERROR_FILE_NOT_FOUND;
  if ((desired & kWriteRights) != 0) return ERROR_ACCESS_DENIED;

  // Opening a root itself gives the root back, as Win32 does.
  if (RootName(key) != nullptr && path == *basePath) {
    *result = key;
    return ERROR_SUCCESS;
  }
  uint32_t value = win32impl::NextHandleValue();
  {
    std::lock_guard<std::mutex> lock(keyMutex);
    OpenKeys()[value] = std::move(snapshot);
  }
  *result = win32impl::MakeHandle<HKEY>(value);
  return ERROR_SUCCESS;
}

LSTATUS RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD reserved, LPDWORD type,
                         LPBYTE data, LPDWORD dataSize) {
  if (reserved != nullptr || (data != nullptr && dataSize == nullptr))
    return ERROR_INVALID_PARAMETER;

  std::shared_ptr<const Key> snapshot;
  if (const char* root = RootName(key)) {
    snapshot = LoadKey(root);  // a root is never opened, so read it now
  } else {
    std::lock_guard<std::mutex> lock(keyMutex);
    auto found = OpenKeys().find(win32impl::HandleValue(key));
    if (found == OpenKeys().end()) return ERROR_INVALID_HANDLE;
    snapshot = found->second;
  }

  std::string name;
  if (valueName != nullptr) {
    std::optional<std::string> utf8 = win32ext::Cp932ToUtf8(valueName);
    if (!utf8) return ERROR_FILE_NOT_FOUND;
    name = Fold(*utf8);
  }
  auto found = snapshot->values.find(name);
  if (found == snapshot->values.end()) return ERROR_FILE_NOT_FOUND;
  const Value& value = found->second;

  if (type != nullptr) *type = value.type;
  DWORD needed = static_cast<DWORD>(value.data.size());
  if (data == nullptr) {
    if (dataSize != nullptr) *dataSize = needed;
    return ERROR_SUCCESS;
  }
  if (*dataSize < needed) {
    *dataSize = needed;
    return ERROR_MORE_DATA;
  }
  std::memcpy(data, value.data.data(), needed);
  *dataSize = needed;
  return ERROR_SUCCESS;
}

LSTATUS RegCloseKey(HKEY key) {
  if (RootName(key) != nullptr) return ERROR_SUCCESS;  // roots are never closed
  std::lock_guard<std::mutex> lock(keyMutex);
  if (OpenKeys().erase(win32impl::HandleValue(key)) == 0) return ERROR_INVALID_HANDLE;
  return ERROR_SUCCESS;
}
