#include "streams/gplp.h"

#include <algorithm>
#include <cstring>

namespace {

uint32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  if (at + 4 > b.size()) return 0;
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (static_cast<uint32_t>(b[at + 3]) << 24);
}

void PutLe32(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

}  // namespace

bool HasGplpSignature(const uint8_t* data, size_t size) {
  return size >= 5 && std::memcmp(data, "GPLP", 5) == 0;
}

std::vector<uint8_t> DecodeGplp(const uint8_t* flags, size_t flagSize, const uint8_t* packed,
                                size_t packedSize, size_t unpackedSize, bool* complete) {
  std::vector<uint8_t> out(unpackedSize, 0);
  size_t i = 0, k = 0, o = 0;
  bool fault = false;
  while (i < packedSize) {
    if (k / 8 >= flagSize) {  // no flag left for this token
      fault = true;
      break;
    }
    const bool literal = (flags[k / 8] >> (k % 8)) & 1;
    if (literal) {
      if (o >= out.size()) {
        fault = true;
        break;
      }
      out[o++] = packed[i++];
    } else {
      if (i + 1 >= packedSize) {
        fault = true;
        break;
      }
      const unsigned v = packed[i] | (packed[i + 1] << 8);
      const size_t length = (v & 0x0F) + kGplpMinMatch;
      const size_t distance = (v >> 4) + kGplpMinDistance;
      if (distance > o || o + length > out.size()) {  // before the start, or past the end
        fault = true;
        if (distance > o) break;
      }
      for (size_t n = 0; n < length && o < out.size(); ++n, ++o) out[o] = out[o - distance];
      i += 2;
      if (fault) break;
    }
    ++k;
  }
  if (complete) *complete = !fault && o == out.size();
  return out;
}

// Greedy LZSS with hash chains over three-byte prefixes.
std::vector<uint8_t> PackGplp(const uint8_t* data, size_t size, const std::string& memberName) {
  constexpr size_t kHashSize = 1 << 15;
  constexpr int kMaxChain = 256;
  std::vector<int64_t> head(kHashSize, -1), previous(size, -1);
  auto hashAt = [&](size_t i) {
    return ((data[i] << 10) ^ (data[i + 1] << 5) ^ data[i + 2]) & (kHashSize - 1);
  };
  auto insert = [&](size_t i) {
    if (i + 2 >= size) return;
    const size_t h = hashAt(i);
    previous[i] = head[h];
    head[h] = static_cast<int64_t>(i);
  };

  std::vector<uint8_t> flags, packed;
  size_t tokens = 0;
  auto flag = [&](bool literal) {
    if (tokens % 8 == 0) flags.push_back(0);
    if (literal) flags.back() |= static_cast<uint8_t>(1u << (tokens % 8));
    ++tokens;
  };
  size_t i = 0;
  while (i < size) {
    size_t bestLength = 0, bestDistance = 0;
    if (i + kGplpMinMatch <= size) {
      const size_t limit = std::min(kGplpMaxMatch, size - i);
      int chain = 0;
      for (int64_t j = head[hashAt(i)]; j >= 0 && chain < kMaxChain; j = previous[j], ++chain) {
        const size_t distance = i - static_cast<size_t>(j);
        if (distance > kGplpMaxDistance) break;
        if (distance < kGplpMinDistance) continue;
        size_t n = 0;
        while (n < limit && data[j + n] == data[i + n]) ++n;
        if (n > bestLength) {
          bestLength = n;
          bestDistance = distance;
          if (n == limit) break;
        }
      }
    }
    if (bestLength >= kGplpMinMatch) {
      flag(false);
      const unsigned v = static_cast<unsigned>(((bestDistance - kGplpMinDistance) << 4) |
                                               (bestLength - kGplpMinMatch));
      packed.push_back(static_cast<uint8_t>(v & 0xFF));
      packed.push_back(static_cast<uint8_t>(v >> 8));
      for (size_t n = 0; n < bestLength; ++n) insert(i + n);
      i += bestLength;
    } else {
      flag(true);
      packed.push_back(data[i]);
      insert(i);
      ++i;
    }
  }

  std::vector<uint8_t> file{'G', 'P', 'L', 'P', 0, 0, 0, 0, 0, 0, 0, 0};
  PutLe32(file, kGplpInfoSize);
  PutLe32(file, 0);
  PutLe32(file, static_cast<uint32_t>(memberName.size() + 1));
  PutLe32(file, static_cast<uint32_t>(flags.size()));
  PutLe32(file, static_cast<uint32_t>(packed.size()));
  PutLe32(file, static_cast<uint32_t>(size));
  file.insert(file.end(), memberName.begin(), memberName.end());
  file.push_back(0);
  file.insert(file.end(), flags.begin(), flags.end());
  file.insert(file.end(), packed.begin(), packed.end());
  return file;
}

bool UnpackGplp(const std::vector<uint8_t>& file, std::vector<uint8_t>& out,
                std::string& memberName, std::string& error) {
  if (!HasGplpSignature(file.data(), file.size())) {
    error = "not a GPLP packed file (it does not start with \"GPLP\" and a 0 byte)";
    return false;
  }
  if (file.size() < kGplpHeaderSize) {
    error = "damaged: the file ends inside its 16-byte header";
    return false;
  }
  const uint64_t infoSize = Le32(file, 12);
  if (infoSize < kGplpInfoSize || kGplpHeaderSize + infoSize > file.size()) {
    error = "damaged: the information block (" + std::to_string(infoSize) +
            " bytes) is too small or runs past the end of the file";
    return false;
  }
  const uint64_t nameSize = Le32(file, 16 + 4), flagSize = Le32(file, 16 + 8);
  const uint64_t packedSize = Le32(file, 16 + 12), unpackedSize = Le32(file, 16 + 16);
  const uint64_t nameAt = kGplpHeaderSize + infoSize;
  const uint64_t need = nameAt + nameSize + flagSize + packedSize;
  if (need > file.size()) {
    error = "damaged: the header promises " + std::to_string(need) + " bytes but the file has " +
            std::to_string(file.size());
    return false;
  }
  if (unpackedSize > packedSize * 9 + kGplpMaxMatch) {
    error = "damaged: " + std::to_string(packedSize) + " packed bytes cannot make " +
            std::to_string(unpackedSize);
    return false;
  }
  const char* name = reinterpret_cast<const char*>(file.data() + nameAt);
  memberName.assign(name, strnlen(name, static_cast<size_t>(nameSize)));
  bool complete = false;
  out = DecodeGplp(file.data() + nameAt + nameSize, static_cast<size_t>(flagSize),
                   file.data() + nameAt + nameSize + flagSize, static_cast<size_t>(packedSize),
                   static_cast<size_t>(unpackedSize), &complete);
  if (!complete) {
    error = "damaged: the packed data does not decode to the " + std::to_string(unpackedSize) +
            " bytes the header states";
    return false;
  }
  return true;
}
