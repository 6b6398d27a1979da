#include "streams/resources.h"

#include <cstring>

ResourceTableState resources;

void InstallResourceTable(const ProgramResource* table, size_t count) {
  resources.entries = table;
  resources.count = table ? count : 0;
}

void ResetResourceTable() { resources = {}; }

namespace {

bool SameName(const char* a, const char* b) {
  for (;; ++a, ++b) {
    unsigned char x = static_cast<unsigned char>(*a), y = static_cast<unsigned char>(*b);
    if (x >= 'a' && x <= 'z') x -= 32;
    if (y >= 'a' && y <= 'z') y -= 32;
    if (x != y) return false;
    if (!x) return true;
  }
}

}  // namespace

const ProgramResource* FindProgramResource(const char* name, uintptr_t typeId,
                                           const char* typeName) {
  if (!name) return nullptr;
  for (size_t i = 0; i < resources.count; ++i) {
    const ProgramResource& r = resources.entries[i];
    if (!r.name || !SameName(r.name, name)) continue;
    if (typeName ? (r.typeName && SameName(r.typeName, typeName))
                 : (!r.typeName && r.typeId == typeId)) {
      return &r;
    }
  }
  return nullptr;
}
