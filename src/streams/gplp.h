// The GPLP packed file: one LZSS-compressed member behind a small header.
//
//   0   "GPLP" and a 0 byte, 7 bytes not interpreted
//   12  I: size of the information block (at least 20)
//   16  information block: 4 bytes not interpreted, then N (name length with
//       its NUL), F (flag bytes), P (packed bytes), U (unpacked bytes)
//   16 + I  the member name, the flag bits, the packed data
//
// All integers little-endian 32-bit. A token is a literal byte (flag 1) or a
// two-byte back-reference (flag 0): low nibble length - 3, the other twelve
// bits distance - 3, copied byte by byte so it may overlap its own output.
// Flags are taken least significant bit first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kGplpHeaderSize = 16;
constexpr size_t kGplpInfoSize = 20;
constexpr size_t kGplpMinMatch = 3, kGplpMaxMatch = 18;
constexpr size_t kGplpMinDistance = 3, kGplpMaxDistance = 4098;

// True when the bytes start with the signature "GPLP" and a 0 byte.
bool HasGplpSignature(const uint8_t* data, size_t size);

// Decodes a member. Damaged data never reads or writes outside the buffers:
// decoding stops at the first token that would, and the rest of the output
// stays zero. complete (if given) tells whether every packed byte was used
// and the output filled exactly.
std::vector<uint8_t> DecodeGplp(const uint8_t* flags, size_t flagSize, const uint8_t* packed,
                                size_t packedSize, size_t unpackedSize, bool* complete = nullptr);

// A whole packed file made from data, the member called memberName.
std::vector<uint8_t> PackGplp(const uint8_t* data, size_t size, const std::string& memberName);

// Strict unpacking for the tool: false with a reason (without the file's
// name) when the file is not a GPLP file or is damaged.
bool UnpackGplp(const std::vector<uint8_t>& file, std::vector<uint8_t>& out,
                std::string& memberName, std::string& error);
