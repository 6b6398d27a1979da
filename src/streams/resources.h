// The program's own resources. Windows keeps them in the executable; here
// they are a table compiled into the program, empty unless a build (or a
// test) installs one.
#pragma once

#include <cstddef>
#include <cstdint>

struct ProgramResource {
  const char* name;      // matched without regard to ASCII case
  uintptr_t typeId;      // integer type (used when typeName is null)
  const char* typeName;  // named type, or null
  const uint8_t* data;
  size_t size;
};

struct ResourceTableState {
  const ProgramResource* entries = nullptr;
  size_t count = 0;
};
extern ResourceTableState resources;

// Installs a table (the caller keeps it alive); null or 0 empties it.
void InstallResourceTable(const ProgramResource* table, size_t count);
void ResetResourceTable();
// Finds a resource as FindResourceA would; type is an identifier (<= 100) or
// the address of a name.
const ProgramResource* FindProgramResource(const char* name, uintptr_t typeId,
                                           const char* typeName);
