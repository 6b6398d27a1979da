#include "dbc.h"

#include "text_room.h"

#include <charconv>
#include <cstddef>
#include <cstring>
#include <map>
#include <string_view>

#include "data/database.h"
#include "platform/posix/host_files.h"
#include "platform/sjis.h"

namespace dbc {
namespace {

enum class Kind { Int, Byte, Text, Pattern };

struct Field {
  const char* name;
  Kind kind;
  size_t offset;
  size_t size;
  int64_t min = INT32_MIN, max = INT32_MAX;
  bool required = false;
  bool dumpWhenZero = true;  // false: written only when it holds something
};

const Field kCardFields[] = {
    {"attribute", Kind::Int, offsetof(CardRecord, attribute), 4, 0, 4},
    {"reserved", Kind::Int, offsetof(CardRecord, reserved), 4, INT32_MIN, INT32_MAX, false, false},
    {"name", Kind::Text, offsetof(CardRecord, name), sizeof CardRecord::name},
    {"illustrator", Kind::Text, offsetof(CardRecord, illustrator), sizeof CardRecord::illustrator},
    {"description", Kind::Text, offsetof(CardRecord, description), sizeof CardRecord::description},
    {"attackEffect", Kind::Text, offsetof(CardRecord, attackEffect),
     sizeof CardRecord::attackEffect},
    {"interceptEffect", Kind::Text, offsetof(CardRecord, interceptEffect),
     sizeof CardRecord::interceptEffect},
};

const Field kArtsFields[] = {
    {"learned", Kind::Byte, offsetof(ArtsRecord, learned), 1, 0, 255},
    {"candidate", Kind::Byte, offsetof(ArtsRecord, candidate), 1, 0, 255, false, false},
    {"name", Kind::Text, offsetof(ArtsRecord, name), sizeof ArtsRecord::name},
    {"listText", Kind::Text, offsetof(ArtsRecord, listText), sizeof ArtsRecord::listText},
    {"effectText", Kind::Text, offsetof(ArtsRecord, effectText), sizeof ArtsRecord::effectText},
    {"pattern", Kind::Pattern, offsetof(ArtsRecord, pattern), sizeof ArtsRecord::pattern, 0, 0,
     true},
    {"effectKind", Kind::Int, offsetof(ArtsRecord, effectKind), 4, kEffectKindMin, kEffectKindMax,
     true},
    {"needAttr1", Kind::Int, offsetof(ArtsRecord, needAttr1), 4},
    {"needAttr2", Kind::Int, offsetof(ArtsRecord, needAttr2), 4},
    {"needAttr3", Kind::Int, offsetof(ArtsRecord, needAttr3), 4},
    {"needAttr4", Kind::Int, offsetof(ArtsRecord, needAttr4), 4},
    {"needHp", Kind::Int, offsetof(ArtsRecord, needHp), 4},
    {"mpCost", Kind::Int, offsetof(ArtsRecord, mpCost), 4},
    {"effectValue", Kind::Int, offsetof(ArtsRecord, effectValue), 4},
    {"weight", Kind::Int, offsetof(ArtsRecord, weight), 4},
};

struct Table {
  const char* word;
  int count;
  size_t recordSize;
  const Field* fields;
  size_t fieldCount;
  std::vector<uint8_t> DatabaseFiles::*file;
};

const Table kTables[] = {
    {"card", kCardCount, sizeof(CardRecord), kCardFields, std::size(kCardFields),
     &DatabaseFiles::cards},
    {"attack", kAttackArtsCount, sizeof(ArtsRecord), kArtsFields, std::size(kArtsFields),
     &DatabaseFiles::attack},
    {"defence", kDefenceArtsCount, sizeof(ArtsRecord), kArtsFields, std::size(kArtsFields),
     &DatabaseFiles::defence},
};

// The four symbols as authors write them.
const char* const kSymbolsUtf8[] = {"甲", "乙", "丙", "丁"};

std::string_view Trim(std::string_view s) {
  while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r'))
    s.remove_suffix(1);
  return s;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// UTF-8 text with escapes to Shift-JIS bytes; false with a reason.
bool TextToSjis(std::string_view text, std::string& out, std::string& why) {
  out.clear();
  std::string pending;  // UTF-8 still to convert
  const auto flush = [&]() {
    std::string sjis;
    if (!posix::Utf8ToSjis(pending, sjis)) {
      why = "text has characters that Shift-JIS cannot hold";
      return false;
    }
    out += sjis;
    pending.clear();
    return true;
  };
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      pending += text[i];
      continue;
    }
    if (++i >= text.size()) {
      why = "a backslash ends the text";
      return false;
    }
    switch (text[i]) {
      case 'n':
        pending += '\n';
        break;
      case 't':
        pending += '\t';
        break;
      case 's':
        pending += ' ';
        break;
      case '\\':
        pending += '\\';
        break;
      case 'x': {
        const int hi = i + 1 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int lo = i + 2 < text.size() ? HexDigit(text[i + 2]) : -1;
        if (hi < 0 || lo < 0) {
          why = "\\x needs two hexadecimal digits";
          return false;
        }
        if (!flush()) return false;
        out += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default:
        why = std::string("unknown escape \\") + text[i];
        return false;
    }
  }
  return flush();
}

bool ParseInt(std::string_view text, int64_t& v) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  const char* end = text.data() + text.size();
  const auto r = std::from_chars(text.data(), end, v);
  return !text.empty() && r.ec == std::errc() && r.ptr == end;
}

bool ParsePattern(std::string_view text, std::string& out, std::string& why) {
  out.clear();
  int symbols = 0;
  while (!text.empty()) {
    int d = 0;
    for (int k = 0; k < 4 && d == 0; ++k)
      if (text.substr(0, std::strlen(kSymbolsUtf8[k])) == kSymbolsUtf8[k]) d = k + 1;
    if (d == 0) {
      why = "a pattern is written with 甲乙丙丁 only";
      return false;
    }
    text.remove_prefix(std::strlen(kSymbolsUtf8[d - 1]));
    out += attributeSymbol(d);
    ++symbols;
  }
  if (symbols == 0 || symbols > kMaxPatternSymbols) {
    why = "a pattern has one to six symbols";
    return false;
  }
  return true;
}

void PutInt(uint8_t* at, size_t size, int64_t v) {
  const auto u = static_cast<uint32_t>(v);
  for (size_t i = 0; i < size; ++i) at[i] = static_cast<uint8_t>(u >> (8 * i));
}

int64_t GetInt(const uint8_t* at, size_t size) {
  uint32_t u = 0;
  for (size_t i = 0; i < size; ++i) u |= uint32_t{at[i]} << (8 * i);
  return size == 4 ? static_cast<int32_t>(u) : static_cast<int64_t>(u);
}

// Shift-JIS text of a field (up to its NUL) as an escaped UTF-8 value.
std::string EscapeText(const std::string& sjis) {
  std::string out;
  for (size_t i = 0; i < sjis.size();) {
    const auto c = static_cast<unsigned char>(sjis[i]);
    const size_t w = sjis::IsLeadByte(c) && i + 1 < sjis.size() ? 2 : 1;
    const std::string unit = sjis.substr(i, w);
    const bool edge = i == 0 || i + w == sjis.size();
    i += w;
    if (c == '\\')
      out += "\\\\";
    else if (c == '\n')
      out += "\\n";
    else if (c == '\t')
      out += "\\t";
    else if (c == ' ' && edge)
      out += "\\s";
    else if (c >= 0x20 && c < 0x7F)
      out += static_cast<char>(c);
    else {
      // Kept as a character only when it converts there and back unchanged.
      const std::string utf8 = posix::SjisToUtf8(unit);
      std::string back;
      if (c >= 0x80 && utf8.find("\xEF\xBF\xBD") == std::string::npos &&
          posix::Utf8ToSjis(utf8, back) && back == unit) {
        out += utf8;
      } else {
        for (unsigned char b : unit) {
          static const char kHex[] = "0123456789ABCDEF";
          out += "\\x";
          out += kHex[b >> 4];
          out += kHex[b & 15];
        }
      }
    }
  }
  return out;
}

std::string PatternText(const std::string& sjis) {
  std::string out;
  if (sjis.size() % 2 != 0 || sjis.size() > 2 * kMaxPatternSymbols) return {};
  for (size_t i = 0; i < sjis.size(); i += 2) {
    const int d = symbolAttribute(sjis.c_str() + i);
    if (d == 0) return {};
    out += kSymbolsUtf8[d - 1];
  }
  return out;
}

struct Compiler {
  const std::string& file;
  std::vector<std::string>& errors;
  DatabaseFiles& out;

  void Error(int line, const std::string& why) {
    errors.push_back(file + ":" + std::to_string(line) + ": " + why);
  }

  bool SetField(const Field& f, uint8_t* record, std::string_view value, int line) {
    std::string why;
    switch (f.kind) {
      case Kind::Int:
      case Kind::Byte: {
        int64_t v = 0;
        if (!ParseInt(value, v)) {
          Error(line, std::string(f.name) + ": not a whole number");
          return false;
        }
        if (v < f.min || v > f.max) {
          Error(line, std::string(f.name) + ": " + std::to_string(v) + " is outside " +
                          std::to_string(f.min) + ".." + std::to_string(f.max) +
                          (std::strcmp(f.name, "effectKind") == 0 ? " (unknown effect kind)" : ""));
          return false;
        }
        PutInt(record + f.offset, f.size, v);
        return true;
      }
      case Kind::Text: {
        std::string sjis;
        if (!TextToSjis(value, sjis, why)) {
          Error(line, std::string(f.name) + ": " + why);
          return false;
        }
        if (sjis.size() > f.size - 1 || sjis.find('\0') != std::string::npos) {
          Error(line, std::string(f.name) + ": " + std::to_string(sjis.size()) +
                          " bytes in Shift-JIS, the field holds " + std::to_string(f.size - 1));
          return false;
        }
        std::memset(record + f.offset, 0, f.size);
        std::memcpy(record + f.offset, sjis.data(), sjis.size());
        return true;
      }
      case Kind::Pattern: {
        std::string sjis;
        if (!ParsePattern(value, sjis, why)) {
          Error(line, std::string(f.name) + ": " + why);
          return false;
        }
        std::memset(record + f.offset, 0, f.size);
        std::memcpy(record + f.offset, sjis.data(), sjis.size());
        return true;
      }
    }
    return false;
  }

  // Per table: the line each record was given on (0: not yet).
  std::map<const Table*, std::vector<int>> seen{};
  // The block being read: none after a refused block header.
  const Table* table = nullptr;
  uint8_t* current = nullptr;  // its record's bytes
  int recordNumber = 0, recordLine = 0;
  std::vector<bool> given{};
  bool badBlock = false;  // fields of a refused block are not reported again
  FieldLines fieldLines{};

  void FinishRecord() {
    if (!table) return;
    for (size_t k = 0; k < table->fieldCount; ++k)
      if (table->fields[k].required && !given[k])
        Error(recordLine, std::string("[") + table->word + " " + std::to_string(recordNumber) +
                              "] needs " + table->fields[k].name);
  }

  void StartBlock(std::string_view line, int lineNo) {
    FinishRecord();
    table = nullptr;
    current = nullptr;
    badBlock = true;
    const size_t close = line.find(']');
    const std::string_view inside =
        close == std::string_view::npos ? line : line.substr(1, close - 1);
    const size_t space = inside.find(' ');
    const std::string_view word = inside.substr(0, space);
    int64_t n = 0;
    const Table* found = nullptr;
    for (const Table& t : kTables)
      if (word == t.word) found = &t;
    if (close != line.size() - 1 || !found || space == std::string_view::npos ||
        !ParseInt(Trim(inside.substr(space)), n)) {
      Error(lineNo, "a block starts with [card N], [attack N] or [defence N]");
      return;
    }
    if (n < 1 || n > found->count) {
      Error(lineNo,
            std::string(found->word) + " numbers run from 1 to " + std::to_string(found->count));
      return;
    }
    int& first = seen[found][static_cast<size_t>(n)];
    if (first) {
      Error(lineNo, std::string("[") + found->word + " " + std::to_string(n) +
                        "] was already given on line " + std::to_string(first));
      return;
    }
    first = lineNo;
    badBlock = false;
    table = found;
    recordNumber = static_cast<int>(n);
    recordLine = lineNo;
    current = (out.*table->file).data() + table->recordSize * static_cast<size_t>(n);
    given.assign(table->fieldCount, false);
  }

  void FieldLine(std::string_view line, int lineNo) {
    const size_t eq = line.find('=');
    if (eq == std::string_view::npos) {
      Error(lineNo, "expected: field = value");
      return;
    }
    if (!table) {
      if (!badBlock) Error(lineNo, "a field outside a block");
      return;
    }
    const std::string_view name = Trim(line.substr(0, eq));
    const std::string_view value = Trim(line.substr(eq + 1));
    size_t k = 0;
    while (k < table->fieldCount && name != table->fields[k].name) ++k;
    if (k == table->fieldCount) {
      Error(lineNo, "no field " + std::string(name) + " in a " + table->word + " record");
      return;
    }
    if (given[k]) {
      Error(lineNo, std::string(name) + " given twice");
      return;
    }
    given[k] = true;
    fieldLines[std::string(table->word) + " " + std::to_string(recordNumber) + " " +
               std::string(name)] = lineNo;
    SetField(table->fields[k], current, value, lineNo);
  }

  // Every record of every table once; lineNo is the source's last line.
  void CheckComplete(int lineNo) {
    for (const Table& t : kTables) {
      std::string missing;
      int have = 0;
      for (int n = 1; n <= t.count; ++n) {
        if (seen[&t][static_cast<size_t>(n)])
          ++have;
        else if (missing.size() < 60)
          missing += (missing.empty() ? "" : ", ") + std::to_string(n);
        else if (missing.back() != '.')
          missing += ", ...";
      }
      if (have != t.count)
        Error(lineNo, std::to_string(have) + " " + t.word + " records, " + std::to_string(t.count) +
                          " needed (missing: " + missing + ")");
    }
  }

  bool Run(const std::string& source) {
    for (const Table& t : kTables) (out.*t.file).assign(t.recordSize * (t.count + 1), 0);
    for (const Table& t : kTables) seen[&t].assign(static_cast<size_t>(t.count) + 1, 0);
    int lineNo = 0;
    size_t pos = 0;
    while (pos < source.size()) {
      const size_t nl = source.find('\n', pos);
      std::string_view line(source.data() + pos,
                            (nl == std::string::npos ? source.size() : nl) - pos);
      pos = nl == std::string::npos ? source.size() : nl + 1;
      ++lineNo;
      line = Trim(line);
      if (line.empty() || line.front() == '#') continue;
      if (line.front() == '[')
        StartBlock(line, lineNo);
      else
        FieldLine(line, lineNo);
    }
    FinishRecord();
    CheckComplete(lineNo);
    return errors.empty();
  }
};

}  // namespace

bool Compile(const std::string& source, const std::string& fileName, DatabaseFiles& out,
             std::vector<std::string>& errors, std::vector<std::string>* warnings) {
  Compiler c{fileName, errors, out};
  if (!c.Run(source)) return false;
  if (warnings) TextRoomWarnings(out, c.fieldLines, fileName, *warnings);
  return true;
}

std::string Dump(const DatabaseFiles& files, std::vector<std::string>& warnings) {
  std::string out =
      "# Quillfen card and arts database (UTF-8). Compile with: qf-dbc build\n"
      "# Escapes in texts: \\n line break, \\t tab, \\s space, \\\\ backslash, \\xHH raw byte.\n";
  for (const Table& t : kTables) {
    const std::vector<uint8_t>& bytes = files.*t.file;
    const size_t size = t.recordSize * static_cast<size_t>(t.count + 1);
    if (bytes.size() != size)
      warnings.push_back(std::string(t.word) + " file holds " + std::to_string(bytes.size()) +
                         " bytes, not " + std::to_string(size) + "; the rest reads as zero");
    std::vector<uint8_t> table(size, 0);
    std::memcpy(table.data(), bytes.data(), std::min(size, bytes.size()));
    for (size_t i = 0; i < t.recordSize; ++i)
      if (table[i]) {
        warnings.push_back(std::string(t.word) + " record 0 is not empty; it is not kept");
        break;
      }
    for (int n = 1; n <= t.count; ++n) {
      const uint8_t* record = table.data() + t.recordSize * static_cast<size_t>(n);
      out += "\n[" + std::string(t.word) + " " + std::to_string(n) + "]\n";
      for (size_t k = 0; k < t.fieldCount; ++k) {
        const Field& f = t.fields[k];
        const uint8_t* at = record + f.offset;
        std::string value;
        if (f.kind == Kind::Int || f.kind == Kind::Byte) {
          const int64_t v = GetInt(at, f.size);
          if (v == 0 && !f.dumpWhenZero) continue;
          value = std::to_string(v);
        } else {
          const size_t len = strnlen(reinterpret_cast<const char*>(at), f.size);
          const std::string sjis(reinterpret_cast<const char*>(at), len);
          for (size_t i = len; i < f.size; ++i)
            if (at[i]) {
              warnings.push_back(std::string(t.word) + " " + std::to_string(n) + " " + f.name +
                                 ": bytes after the end of the text are not kept");
              break;
            }
          if (f.kind == Kind::Pattern) {
            value = PatternText(sjis);
            if (value.empty() && !sjis.empty())
              warnings.push_back(std::string(t.word) + " " + std::to_string(n) +
                                 ": the pattern holds other characters than the four symbols");
            if (value.empty()) value = EscapeText(sjis);
          } else {
            value = EscapeText(sjis);
          }
        }
        out += std::string(f.name) + (value.empty() ? " =\n" : " = " + value + "\n");
      }
    }
  }
  return out;
}

}  // namespace dbc
